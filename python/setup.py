"""Build of the Python package (pyproject.toml says the rest): the version
from the repository's VERSION file, and the deck's definition files copied
into the package, for an installed package has no repository around it."""

import os
import shutil

from setuptools import setup
from setuptools.command.build_py import build_py

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
# Files of the repository the package reads, and their place in the package.
CARRIED = {"VERSION": "VERSION",
           os.path.join("deck", "fields.json"): os.path.join("definition", "fields.json"),
           os.path.join("deck", "stop_codes.json"): os.path.join("definition", "stop_codes.json")}


def version():
    with open(os.path.join(TOP, "VERSION"), encoding="utf-8") as f:
        return f.read().strip()


class build_with_definition(build_py):
    """build_py, then the repository's files of CARRIED into the package."""

    def run(self):
        super().run()
        for source, target in CARRIED.items():
            path = os.path.join(self.build_lib, "threephase", target)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            shutil.copyfile(os.path.join(TOP, source), path)


setup(version=version(), cmdclass={"build_py": build_with_definition})
