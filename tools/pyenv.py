"""Start-up shared by the Python tools: an interpreter with NumPy and
matplotlib, and the repository's package `threephase` on the path.

The first python3 on PATH may lack NumPy (a private interpreter ahead of
Debian's). When it does, the tool starts again under $THREEPHASE_PYTHON or
Debian's /usr/bin/python3, which has python3-numpy and python3-matplotlib.
"""

import os
import sys

CANDIDATES = ("/usr/bin/python3",)
_MARK = "THREEPHASE_TOOLS_REEXEC"


def ensure():
    """Return once numpy and matplotlib import and the package is on the
    path; otherwise re-run the tool under an interpreter that has them, or
    end with status 2 and what to install."""
    sys.dont_write_bytecode = True
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    sys.path.insert(0, os.path.join(top, "python"))
    try:
        import matplotlib  # noqa: F401
        import numpy  # noqa: F401
        return
    except ImportError:
        pass
    if not os.environ.get(_MARK):
        here = os.path.realpath(sys.executable)
        for cand in (os.environ.get("THREEPHASE_PYTHON"),) + CANDIDATES:
            if cand and os.access(cand, os.X_OK) and os.path.realpath(cand) != here:
                os.environ[_MARK] = "1"
                os.execv(cand, [cand] + sys.argv)
    print("%s: needs NumPy and matplotlib; install Debian's python3-numpy and "
          "python3-matplotlib (tools/setup does), or set THREEPHASE_PYTHON to an "
          "interpreter that has them" % os.path.basename(sys.argv[0]), file=sys.stderr)
    sys.exit(2)
