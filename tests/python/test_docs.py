"""docs/python.md runs as written: every Python block in order, in a
scratch folder beside the repository's examples, without a warning of the
program or of the package's checks of its results: its grids resolve the
diffusion length where it runs (the curve's unresolved points are marked,
as the text says, not warned of)."""

import os
import re
import unittest
import warnings

import support
import threephase


def blocks(path):
    """The ```python blocks of a Markdown file, in order."""
    return re.findall(r"^```python\n(.*?)^```", support.read(path), re.M | re.S)


class WorkedSession(unittest.TestCase):
    def test_the_python_guide_runs_as_written_without_a_warning(self):
        here = os.getcwd()
        scratch = support.scratch(self)
        os.symlink(support.EXAMPLES, os.path.join(scratch, "examples"))
        os.chdir(scratch)
        self.addCleanup(os.chdir, here)
        names, said = {}, []
        for code in blocks(os.path.join(support.REPO, "docs", "python.md")):
            with warnings.catch_warnings(record=True) as caught:
                warnings.simplefilter("always")
                exec(compile(code, "docs/python.md", "exec"), names)
            said += [(code, str(w.message)) for w in caught
                     if issubclass(w.category, (threephase.ThreephaseWarning,
                                                threephase.ResultWarning))]
        self.assertEqual(said, [])
        self.assertEqual(names["c"].resolved.tolist(), [True] * 5 + [False] * 2)


if __name__ == "__main__":
    unittest.main()
