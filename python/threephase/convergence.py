"""Convergence studies: is the attenuation converged on this grid?

    import threephase as tp
    table = tp.converge("examples/fractal", refine=[1, 2, 4], out_dir="run/study", jobs=2)
    for row in table["results"]:
        print(row["quantity"], row["values"], row["order"], row["verdict"])

The study itself (refined decks and porosity fields, the runs, the observed
order, Richardson extrapolation and the verdicts) is the program's
`threephase converge`, which writes converge.csv and converge.json; this
module stages the deck, calls it, loads its converge.json and draws its
figure (converge.png and .pdf), as `tools/plot DIR` does for a study folder.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile

from .runner import DECK_FILES, as_deck, find_program, stage

# Exit statuses of `threephase converge`.
STUDY_STATUS = {0: "ok", 1: "a level failed", 2: "bad input", 3: "no level fits the memory",
                4: "a level stopped on a check of the computation", 5: "study not written"}


class StudyFailed(Exception):
    """`threephase converge` ended with a status other than 0."""

    def __init__(self, status, message):
        super().__init__("threephase converge: %s (status %d): %s"
                         % (STUDY_STATUS.get(status, "failed"), status, message))
        self.status = status


def converge(deck, refine=(1, 2, 4), out_dir="converge", jobs=1, tolerance=0.01,
             program=None, check=True):
    """Run the convergence study of `deck` (a Deck, a deck file or a case
    folder) at each refinement of `refine` into `out_dir`, `jobs` levels at
    once; returns its table (converge.json as a dict: "levels", "results",
    each result with "values" by level, "order", "extrapolated", "error",
    "tolerance", "verdict") and draws its figure (converge.png, .pdf) when
    matplotlib is there. out_dir takes the new study only when it is
    complete. With check=True a failed study raises StudyFailed (levels
    left out for memory do not); with check=False it returns None, out_dir
    keeping any earlier study."""
    deck = as_deck(deck)
    program = program or find_program()
    out_dir = os.path.abspath(os.fspath(out_dir))
    parent = os.path.dirname(out_dir)
    os.makedirs(parent, exist_ok=True)
    # The deck is staged beside the study, never in it: the program replaces
    # the study's folder whole, and refuses one that holds its deck.
    source = tempfile.mkdtemp(prefix="." + os.path.basename(out_dir) + ".source-", dir=parent)
    try:
        stage(deck, source)
        # A keyword deck is staged as deck.toml and studied with its [run] plan.
        cmd = [program, "converge", os.path.join(source, DECK_FILES[deck.form]), "--refine",
               ",".join(str(int(r)) for r in refine), "-o", out_dir, "-j", str(int(jobs)),
               "--tolerance", repr(float(tolerance))]
        done = subprocess.run(cmd, capture_output=True, text=True)
    finally:
        shutil.rmtree(source, ignore_errors=True)
    sys.stdout.write(done.stdout)
    sys.stderr.write(done.stderr)
    if done.returncode != 0:
        if check:
            # The levels' messages, then the line saying out_dir is unchanged.
            lines = [ln for ln in done.stderr.splitlines() if ln.strip()]
            raise StudyFailed(done.returncode, " / ".join(lines[-3:]))
        return None
    table = load(out_dir)
    if figure_drawable(table):
        try:
            figure(table, os.path.join(out_dir, "converge"))
        except ImportError as e:
            print("threephase.converge: figure skipped: %s" % e, file=sys.stderr)
    return table


def load(out_dir):
    """The table of a finished study folder (its converge.json)."""
    with open(os.path.join(os.fspath(out_dir), "converge.json")) as f:
        return json.load(f)


def _ran(table):
    return [lv for lv in table["levels"] if lv["state"] == "ran"]


def figure_drawable(table):
    """A study's figure needs two levels that ran."""
    return len(_ran(table)) >= 2


QUANTITY_TITLES = (("mstar_velocity", "mstar: velocity (m/s)"),
                   ("mstar_1000_over_q", "mstar: 1000/Q"),
                   ("c33_velocity", "c33: velocity (m/s)"),
                   ("c33_1000_over_q", "c33: 1000/Q"))
COLOURS = {"mstar": "#d55e00", "c33": "#0072b2"}


def figure(table, stem, formats=("png", "pdf")):
    """One panel per finite-element result against cell size (the
    extrapolated value dotted, its error band shaded), and the relative change
    between successive levels on log axes with slopes 1 and 2 for reference;
    writes stem.png, stem.pdf; returns the paths."""
    from . import figures
    return figures.save(study_figure(table), stem, formats)


def study_figure(table):
    """The figure of a study's table (see figure)."""
    from . import figures
    plt = figures.pyplot()
    h = [lv["cell_size_m"] * 1000.0 for lv in _ran(table)]
    rows = {row["quantity"]: row for row in table["results"]}
    fig = plt.figure(figsize=(13.5, 6.4), constrained_layout=True)
    grid = fig.add_gridspec(2, 3)
    for n, (name, title) in enumerate(QUANTITY_TITLES):
        ax = fig.add_subplot(grid[n // 2, n % 2])
        q = rows[name]
        colour = COLOURS[name.split("_")[0]]
        ax.plot(h, q["values"], "o-", color=colour, label="by level")
        if q["extrapolated"] is not None:
            x, e = q["extrapolated"], q["error"] or 0.0
            ax.axhline(x, color=colour, lw=0.9, ls=":", label="extrapolated")
            ax.axhspan(x - e, x + e, color=colour, alpha=0.12, lw=0)
        _cell_axis(ax, h)
        # Values as they are, not as an offset from a number at the axis's top.
        ax.ticklabel_format(axis="y", useOffset=False, style="plain")
        ax.set_title("%s\n%s" % (title, q["verdict"]), fontsize=10)
        ax.legend(loc="best", fontsize=8)
    _differences(fig.add_subplot(grid[:, 2]), h, rows)
    return fig


def _cell_axis(ax, h):
    """Log axis of cell sizes (mm), finest to the right, ticked at the levels."""
    from matplotlib.ticker import NullFormatter
    ax.set_xscale("log")
    ax.set_xticks(h)
    ax.set_xticklabels(["%.3g" % x for x in h])
    ax.xaxis.set_minor_formatter(NullFormatter())
    ax.set_xlim(max(h) * 1.25, min(h) / 1.25)
    ax.set_xlabel("Cell size (mm)")


def _differences(ax, h, rows):
    """Relative change |f(h) - f(h_coarser)| / |f_finest| against h, log axes."""
    marks = {"velocity": "o", "1000_over_q": "^"}
    for name, _ in QUANTITY_TITLES:
        f = rows[name]["values"]
        key, suffix = name.split("_", 1)
        scale = abs(f[-1]) or 1.0
        points = [(h[i], abs(f[i] - f[i - 1]) / scale) for i in range(1, len(f))
                  if f[i] != f[i - 1]]
        if points:
            ax.plot(*zip(*points), marks[suffix] + "-", color=COLOURS[key],
                    label="%s, %s" % (key, suffix.replace("_over_q", "/Q").replace("_", " ")))
    if len(h) >= 2:
        x0, x1 = h[1], h[-1]
        # The two guides part from one point; each label sits on its own
        # side of the end of its line, slope 1 above, slope 2 below, so they
        # stay apart however close the ends are.
        for p, (dy, va) in ((1, (4, "bottom")), (2, (-4, "top"))):
            ax.plot([x0, x1], [1e-2, 1e-2 * (x1 / x0) ** p], color="0.6", lw=0.8, ls="--")
            ax.annotate("slope %d" % p, (x1, 1e-2 * (x1 / x0) ** p), xytext=(0, dy),
                        textcoords="offset points", ha="right", va=va, fontsize=8,
                        color="0.4")
    _cell_axis(ax, h)
    ax.set_yscale("log")
    ax.set_ylabel("Change from the coarser level, relative to the finest value")
    ax.set_title("Changes between levels", fontsize=10)
    ax.legend(loc="best", fontsize=8)
