"""threephase from Python: decks, porosity fields, runs, sweeps, figures.

    import threephase as tp
    deck = tp.Deck.read("examples/permafrost/deck")
    deck.porosity = tp.porosity.fractal(deck.nx, deck.ny, mean=0.2, std=0.05,
                                        correlation_length=3, hurst=0.5, seed=1)
    deck["model"] = 1
    result = tp.run(deck, "run/fractal", stiffness="full")
    result.velocity, result.q_inverse_times_1000   # the sample's C33
    result.warnings                     # the program's (also as ThreephaseWarning)
    result.maps["real_stress_map"]      # (ny, nx), [k-1, j-1] is cell (j, k)
    curve = tp.run(deck, "run/curve", frequencies="1:10000:9")
    curve.curves.velocity["c33"]        # one entry per curve.curves.frequency_hz
    table = tp.sweep(deck, "run/sweep", jobs=2)
    study = tp.converge(deck, refine=[1, 2, 4], out_dir="run/study", jobs=2)

Maps and porosity fields are (ny, nx) arrays, row 0 the bottom of the
sample; values in SI units.
"""

import os as _os

from . import figures, porosity
from .convergence import StudyFailed, converge
from .deck import Deck, DeckError
from .results import Result, ResultError, ResultWarning, ThreephaseWarning, load
from .runner import RunFailed, find_program, run
from .sweep import join, read_table, sweep, write_csv

__all__ = ["Deck", "DeckError", "Result", "ResultError", "ResultWarning", "RunFailed",
           "StudyFailed", "converge", "figures", "find_program", "join", "load", "porosity",
           "read_table", "run", "sweep", "ThreephaseWarning", "write_csv"]


def _version():
    """The program's version, one file for both: the copy an installed
    package carries, else the repository's VERSION."""
    here = _os.path.dirname(_os.path.abspath(__file__))
    for path in (_os.path.join(here, "VERSION"), _os.path.join(here, "..", "..", "VERSION")):
        if _os.path.isfile(path):
            with open(path, encoding="utf-8") as f:
                return f.read().strip()
    return "unknown"


__version__ = _version()
