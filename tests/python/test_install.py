"""The package as Python users get it: pip installs it into a fresh virtual
environment where it runs the program, it imports without matplotlib, and
its version is the program's."""

import os
import shutil
import subprocess
import sys
import unittest

import support
import threephase

# A Python without matplotlib: every import of it fails.
NO_MATPLOTLIB = """
import sys
class Missing:
    def find_spec(self, name, path=None, target=None):
        if name.split(".")[0] == "matplotlib":
            raise ImportError("No module named %r" % name)
sys.meta_path.insert(0, Missing())
sys.path.insert(0, sys.argv[1])
import threephase
deck = threephase.Deck.read(sys.argv[2])
deck["nx"], deck["ny"], deck["n_freq"] = 3, 3, 1
print("ran", threephase.run(deck, sys.argv[3]).ok)
try:
    threephase.figures.plot_map(threephase.porosity.uniform(3, 3, 0.1), sys.argv[3] + "/map",
                                "porosity")
except threephase.figures.FiguresUnavailable as e:
    print("figure:", e)
print("loaded", "matplotlib" in sys.modules)
"""

# In the virtual environment, away from the repository: the installed
# package, its version and deck definition, and a run.
INSTALLED = """
import sys
import threephase
from threephase import deck as d
print(threephase.__file__)
print(threephase.__version__)
print(d.FIELD_TABLE is not None)
deck = threephase.Deck.read(sys.argv[1])
deck["nx"], deck["ny"], deck["n_freq"] = 3, 3, 1
print(threephase.run(deck, sys.argv[2]).ok)
"""


def program_version():
    out = subprocess.run([threephase.find_program(), "--version"], capture_output=True, text=True)
    return out.stdout.split()[1]


class Installed(unittest.TestCase):
    def test_package_imports_and_runs_without_matplotlib_and_says_so_for_figures(self):
        base = support.scratch(self)
        done = subprocess.run([sys.executable, "-c", NO_MATPLOTLIB,
                               os.path.join(support.REPO, "python"),
                               os.path.join(support.EXAMPLES, "permafrost", "deck"),
                               os.path.join(base, "run")], capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        lines = done.stdout.splitlines()
        self.assertEqual(lines[0], "ran True")
        self.assertRegex(lines[1], "^figure: threephase figures need matplotlib")
        self.assertEqual(lines[2], "loaded False")

    def test_package_and_program_have_one_version(self):
        self.assertEqual(threephase.__version__, program_version())
        self.assertEqual(threephase.__version__, support.read(
            os.path.join(support.REPO, "VERSION")).strip())

    def test_pip_installs_a_package_that_runs_the_program_from_a_fresh_environment(self):
        base = support.scratch(self)
        env_dir = os.path.join(base, "env")
        made = subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", env_dir],
                              capture_output=True, text=True)
        pip = os.path.join(env_dir, "bin", "pip")
        if made.returncode != 0 or not os.access(pip, os.X_OK):
            self.skipTest("no venv with pip here: %s" % made.stderr.strip()[-200:])
        # A copy of what the build reads, so the checkout gets no build files.
        src = os.path.join(base, "src")
        shutil.copytree(os.path.join(support.REPO, "python"), os.path.join(src, "python"),
                        ignore=shutil.ignore_patterns("build", "*.egg-info", "__pycache__"))
        shutil.copy(os.path.join(support.REPO, "VERSION"), src)
        os.mkdir(os.path.join(src, "deck"))
        for name in ("fields.json", "stop_codes.json"):
            shutil.copy(os.path.join(support.REPO, "deck", name), os.path.join(src, "deck"))
        done = subprocess.run([pip, "install", "--no-build-isolation", "--no-index",
                               os.path.join(src, "python")], capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stdout[-2000:] + done.stderr[-2000:])
        env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
        env["THREEPHASE_EXE"] = threephase.find_program()
        shutil.rmtree(src)  # the installed package must stand alone
        done = subprocess.run([os.path.join(env_dir, "bin", "python"), "-c", INSTALLED,
                               os.path.join(support.EXAMPLES, "permafrost", "deck"),
                               os.path.join(base, "run")],
                              capture_output=True, text=True, cwd=base, env=env)
        self.assertEqual(done.returncode, 0, done.stderr)
        where, version, table, ran = done.stdout.splitlines()
        self.assertTrue(where.startswith(env_dir), where)
        self.assertEqual((version, table, ran), (program_version(), "True", "True"))


if __name__ == "__main__":
    unittest.main()
