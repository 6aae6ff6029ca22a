"""Shared set-up of the Python tests: the package on the path, small
permafrost decks, a scratch folder per test."""

import os
import sys
import shutil
import tempfile

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "python"))
sys.dont_write_bytecode = True

import threephase  # noqa: E402

EXAMPLES = os.path.join(REPO, "examples")


def small_deck(nx=4, ny=4, n_freq=3, example="permafrost"):
    """An example's deck at a small grid, its side files found in the example."""
    deck = threephase.Deck.read(os.path.join(EXAMPLES, example, "deck"))
    deck["nx"], deck["ny"], deck["n_freq"] = nx, ny, n_freq
    return deck


def scratch(test):
    """A fresh folder removed when the test ends."""
    d = tempfile.TemporaryDirectory(prefix="tp-py-")
    test.addCleanup(d.cleanup)
    return d.name


def read(path):
    """The text of a file."""
    with open(path) as f:
        return f.read()
