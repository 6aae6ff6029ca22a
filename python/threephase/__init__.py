"""threephase from Python: decks, porosity fields, runs, sweeps, figures.

    import threephase as tp
    deck = tp.Deck.read("examples/permafrost/deck")
    deck.porosity = tp.porosity.fractal(deck.nx, deck.ny, mean=0.2, std=0.05,
                                        correlation_length=3, hurst=0.5, realization=1)
    deck["model"] = 1
    result = tp.run(deck, "run/fractal")
    result.maps["real_stress_map"]      # (ny, nx), [k-1, j-1] is cell (j, k)
    table = tp.sweep(deck, "run/sweep", jobs=2)
    study = tp.converge(deck, refine=[1, 2, 4], out_dir="run/study", jobs=2)

Maps and porosity fields are (ny, nx) arrays, row 0 the bottom of the
sample; values in SI units.
"""

from . import figures, porosity
from .convergence import StudyFailed, converge
from .deck import Deck, DeckError
from .results import Result, load
from .runner import RunFailed, find_program, run
from .sweep import join, read_table, sweep, write_csv

__all__ = ["Deck", "DeckError", "Result", "RunFailed", "StudyFailed", "converge", "figures",
           "find_program", "join", "load", "porosity", "read_table", "run", "sweep", "write_csv"]
__version__ = "0.1"
