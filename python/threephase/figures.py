"""Figures of runs and sweeps (matplotlib, Agg backend), for papers.

Every figure is written as PNG and PDF by default (`formats=`). Maps are
drawn on a canvas shaped by the sample (a 40 by 10 sample gets a wide,
low picture), moduli in GPa, a field that is the same in every cell as one
colour with its value written on it rather than a colour bar. Sweep curves
put velocity and 1000/Q in separate panels with one y axis each and the
same curve names in both.

matplotlib is imported when a figure is first drawn, not with the package:
decks, runs, sweeps and results work without it.
"""

import os
import sys

import numpy as np

from .results import MAP_MEANING

DPI = 100
MAP_LONG_SIDE = 5.0     # inches of the sample's longer side
MAP_SHORT_MIN = 1.2     # inches: a thin sample stays readable
MAP_MARGIN = (1.9, 1.1)  # inches around the sample: colour bar and labels, title and x label
CURVE_SIZE = (11.0, 4.2)
FORMATS = ("png", "pdf")
# Maps whose Pa values are moduli, drawn in GPa.
MODULUS_MAPS = {"xmu1_gnu", "xmu3_gnu", "xmu13_gnu", "xlambda1_gnu", "xlambda3_gnu", "b1_gnu",
                "b2_gnu", "xm_gnu", "d3_gnu"}
CURVES = (("c33", "finite element, c33", "#0072b2", "o-"),
          ("mstar", "finite element, mstar", "#d55e00", "s-"),
          ("anal", "closed form, fast P wave", "#000000", "--"))


class FiguresUnavailable(ImportError):
    """A figure was asked for where matplotlib cannot be imported."""


def pyplot():
    """matplotlib.pyplot, imported on first use; the Agg backend unless the
    caller has already chosen one by importing pyplot. FiguresUnavailable
    when matplotlib is missing."""
    try:
        import matplotlib
        if "matplotlib.pyplot" not in sys.modules:
            matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError as e:
        raise FiguresUnavailable(
            "threephase figures need matplotlib (%s): install it (pip install matplotlib, or "
            "Debian's python3-matplotlib); everything else works without it" % e) from e
    return plt


def map_figsize(nx, ny):
    """Canvas (inches) for an nx by ny sample: the sample's longer side
    MAP_LONG_SIDE, its shorter side in proportion (at least MAP_SHORT_MIN),
    plus the fixed margins."""
    scale = MAP_LONG_SIDE / max(nx, ny)
    w, h = max(nx * scale, MAP_SHORT_MIN), max(ny * scale, MAP_SHORT_MIN)
    return w + MAP_MARGIN[0], h + MAP_MARGIN[1]


def save(fig, stem, formats=FORMATS):
    """Write the figure as stem.png, stem.pdf, ...; returns the paths."""
    os.makedirs(os.path.dirname(os.path.abspath(stem)), exist_ok=True)
    paths = []
    for fmt in formats:
        path = "%s.%s" % (stem, fmt)
        fig.savefig(path, dpi=DPI)
        paths.append(path)
    pyplot().close(fig)
    return paths


def plot_map(values, stem, title, unit="", cell_side=None, formats=FORMATS):
    """Write one (ny, nx) map as stem.png, stem.pdf; returns the paths."""
    return save(map_figure(values, title, unit, cell_side), stem, formats)


def map_figure(values, title, unit="", cell_side=None):
    """The figure of an (ny, nx) map, element [k-1, j-1] = cell (j, k),
    bottom row at the bottom; axes in cells, or in metres when cell_side is
    given. A map with one value in every cell gets a note, no colour bar."""
    plt = pyplot()
    from matplotlib.ticker import MaxNLocator
    a = np.asarray(values, dtype=float)
    ny, nx = a.shape
    fig = plt.figure(figsize=map_figsize(nx, ny), layout="constrained")
    ax = fig.add_subplot()
    h = cell_side or 1.0
    extent = (0, nx * h, 0, ny * h) if cell_side else (0.5, nx + 0.5, 0.5, ny + 0.5)
    finite = a[np.isfinite(a)]
    constant = finite.size > 0 and finite.min() == finite.max()
    cmap = plt.get_cmap("viridis").copy()
    cmap.set_bad("#d9d9d9")
    image = ax.imshow(np.ma.masked_invalid(a), origin="lower", extent=extent, cmap=cmap,
                      interpolation="nearest", aspect="equal")
    if constant:
        ax.text(0.5, 0.5, "%.6g%s in every cell" % (finite[0], " " + unit if unit else ""),
                transform=ax.transAxes, ha="center", va="center",
                bbox=dict(facecolor="white", alpha=0.85, edgecolor="none"))
    elif finite.size:
        bar = fig.colorbar(image, ax=ax, shrink=0.9)
        if unit:
            bar.set_label(unit)
    ax.set_title(title)
    ax.set_xlabel("x (m)" if cell_side else "j (cells along x)")
    ax.set_ylabel("y (m)" if cell_side else "k (cells along y)")
    if not cell_side:  # cell indices are whole numbers
        ax.xaxis.set_major_locator(MaxNLocator(integer=True))
        ax.yaxis.set_major_locator(MaxNLocator(integer=True))
    return fig


def map_title(name):
    """Title and unit of a run's map, moduli in GPa."""
    what, unit = MAP_MEANING.get(name, (name, ""))
    if name in MODULUS_MAPS:
        unit = "GPa"
    return (what[0].upper() + what[1:] + (" (%s)" % unit if unit else "")), unit


def plot_run(result, out_dir, metres=False, formats=FORMATS):
    """Every map of a run and the input porosity into out_dir; returns the
    paths written."""
    h = None
    if metres:
        if result.deck is not None:
            h = result.deck.domain_size / result.deck.ny
        else:
            h = result.numbers.get("h")
        if not h:
            raise ValueError("axes in metres need the cell side: %s holds neither deck nor "
                             "report" % result.path)
    paths = []
    for name, a in result.maps.items():
        title, unit = map_title(name)
        values = a / 1e9 if name in MODULUS_MAPS else a
        paths += plot_map(values, os.path.join(out_dir, name), title, unit, h, formats)
    if result.porosity is not None:
        paths += plot_porosity(result.porosity, os.path.join(out_dir, "input_porosity"), h,
                               formats)
    return paths


def plot_porosity(field, stem, cell_side=None, formats=FORMATS):
    """A map of a porosity field (water volume fraction of each cell)."""
    return plot_map(field, stem, "Input porosity (water volume fraction)", "", cell_side,
                    formats)


def plot_curves(table, stem, title=None, formats=FORMATS):
    """Write the dispersion figure of a sweep table as stem.png, stem.pdf."""
    return save(curves_figure(table, title), stem, formats)


def curves_figure(table, title=None):
    """Dispersion and attenuation of a sweep table: velocity (m/s) and
    1000/Q against frequency (log axis) or the swept field, in two panels
    with one y axis each; failed runs left out."""
    names = table.dtype.names
    field = names[1] if names[1] != "freq_hz" else None
    ok = table[table["status"] == "ok"]
    xname = field or "freq_hz"
    ok = ok[np.argsort(ok[xname], kind="stable")]
    fig, (ax_v, ax_q) = pyplot().subplots(1, 2, figsize=CURVE_SIZE, layout="constrained")
    x = ok[xname]
    for key, label, colour, style in CURVES:
        v = ok["vp1_anal" if key == "anal" else "vp_" + key]
        q = ok["q1000_anal" if key == "anal" else "q1000_" + key]
        ax_v.plot(x, v, style, color=colour, label=label)
        ax_q.plot(x, q, style, color=colour, label=label)
    ax_v.set_title("Phase velocity (m/s)")
    ax_v.set_ylabel("velocity (m/s)")
    ax_q.set_title("Attenuation, 1000/Q")
    ax_q.set_ylabel("1000/Q")
    ax_q.axhline(0.0, color="#888888", lw=0.8)
    # The note rides in the legend's title, which is placed inside the
    # panel clear of the curves.
    note = None
    if len(ok) and np.any(ok["q1000_mstar"] < 0):
        note = ("mstar 1000/Q < 0: seen through solid 1 alone,\n"
                "friction between the solids shows as a gain")
    for ax in (ax_v, ax_q):
        ax.set_xlabel("frequency (Hz)" if field is None else field)
        if field is None and len(x) and x.min() > 0:
            ax.set_xscale("log")
        ax.grid(True, alpha=0.3)
        legend = ax.legend(loc="best", fontsize=8, title=note if ax is ax_q else None,
                           title_fontsize=8)
        legend.get_title().set_multialignment("left")
    fig.suptitle(title or ("Dispersion and attenuation against frequency" if field is None
                           else "Velocity and attenuation against %s" % field))
    return fig
