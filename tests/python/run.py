"""Run the Python package's tests; status 77 (skipped) without NumPy."""

import os
import sys
import unittest

try:
    import matplotlib  # noqa: F401
    import numpy  # noqa: F401
except ImportError:
    print("python package tests skipped: %s lacks NumPy or matplotlib "
          "(Debian python3-numpy, python3-matplotlib)" % sys.executable)
    sys.exit(77)

here = os.path.dirname(os.path.abspath(__file__))
suite = unittest.defaultTestLoader.discover(here, top_level_dir=here)
sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
