"""Figures of runs and sweeps (matplotlib, Agg backend), for papers.

Every figure is written as PNG and PDF by default (`formats=`). Maps are
drawn on a canvas shaped by the sample (a 40 by 10 sample gets a wide,
low picture), moduli in GPa, a field that is the same in every cell as one
colour with its value written on it rather than a colour bar; the material
map with a discrete colour bar, a field of both signs with a diverging
colour map centred on 0. Sweep curves put velocity and 1000/Q in separate
panels with one y axis each and the same curve names in both; 1000/Q on a
symmetric-log axis when its curves differ in sign or span more than three
decades (so the legacy mstar does not flatten the sample's C33); failed
runs marked on the axis, not dropped. The sample's stiffness over
frequency (C33, and C11 and C55 with the full set) is drawn the same way,
its relaxed and unrelaxed bounds as horizontal lines; in every curve the
points where the grid does not resolve the diffusion length are hollow. The
full set's qP and qSV waves against angle likewise. Titles describe the
sample (`describe(deck)`), not the deck's keys.

matplotlib is imported when a figure is first drawn, not with the package:
decks, runs, sweeps and results work without it.
"""

import os
import sys

import numpy as np

from .deck import DeckError
from .results import LEGACY_MAP_MEANING

DPI = 100
MAP_LONG_SIDE = 5.0     # inches of the sample's longer side
MAP_SHORT_MIN = 1.2     # inches: a thin sample stays readable
MAP_MARGIN = (1.9, 1.1)  # inches around the sample: colour bar and labels, title and x label
CURVE_SIZE = (11.0, 4.2)
FORMATS = ("png", "pdf")
# Maps whose Pa values are moduli, drawn in GPa.
MODULUS_MAPS = {"xmu1_gnu", "xmu3_gnu", "xmu13_gnu", "xlambda1_gnu", "xlambda3_gnu", "b1_gnu",
                "b2_gnu", "xm_gnu", "d3_gnu"}
# Maps of material numbers, drawn with a discrete colour bar.
MATERIAL_MAPS = {"matnum_p33", "matnum_p33_gnu"}
# The stress maps of the legacy test are solid 1's partial stress, whatever
# an older results.json calls them.
PARTIAL_STRESS_MAPS = {"real_stress_map", "imag_stress_map"}
# The sweep table's curves: column of the velocity, of 1000/Q, label, colour,
# style; the cell's label takes the table's closed_form_cell.
CURVES = (("c33_velocity_m_per_s", "c33_1000_over_q", "C33 of the plate tests: the sample's",
           "#0072b2", "o-"),
          ("vp_c33", "q1000_c33", "legacy test, its c33 (not the sample's)", "#56b4e9", "v--"),
          ("vp_mstar", "q1000_mstar", "legacy test, mstar (not the sample's)", "#d55e00", "s-"),
          ("cell_vp1_velocity_m_per_s", "cell_vp1_1000_over_q",
           "closed form, fast P wave of cell %s", "#000000", "d--"),
          ("average_medium_vp1_velocity_m_per_s", "average_medium_vp1_1000_over_q",
           "closed form, fast P wave of the average medium", "#7f7f7f", "^-."))
# The legacy test's velocity columns, which do not set the velocity axis.
LEGACY_VELOCITIES = {"vp_c33", "vp_mstar"}
# A 1000/Q axis whose curves span more decades than this goes symmetric-log.
LINEAR_DECADES = 3.0
UNRESOLVED_LABEL = "hollow: diffusion length not resolved by the grid"
FAILED_LABEL = "x: failed run (no result)"
MODEL_NAMES = ("Permafrost", "Shaley-sand")
# The sample-wide fields a sweep varies beyond the deck's names, in words.
FIELD_WORDS = {"porosity": "mean porosity of the sample",
               "water_proportion": "water proportion of every layer",
               "freq": "frequency (Hz)"}
# The sample's moduli over frequency: label and colour.
MODULI = {"c33": ("C33, vertical P", "#0072b2"), "c11": ("C11, horizontal P", "#009e73"),
          "c55": ("C55, shear", "#cc79a7")}
BOUND_STYLES = (("relaxed", "--"), ("unrelaxed", ":"))
WAVES = (("qp", "qP", "#0072b2", "o-"), ("qsv", "qSV", "#cc79a7", "s-"))


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


def plot_map(values, stem, title, unit="", cell_side=None, formats=FORMATS, discrete=False):
    """Write one (ny, nx) map as stem.png, stem.pdf; returns the paths."""
    return save(map_figure(values, title, unit, cell_side, discrete), stem, formats)


def map_colours(finite, discrete=False):
    """Colour map, norm and colour-bar ticks of a map's finite values:
    one colour per whole number with discrete=True (material numbers), a
    diverging map centred on 0 for values of both signs, else viridis."""
    plt = pyplot()
    from matplotlib import colors
    if discrete:
        lo, hi = int(np.floor(finite.min())), int(np.ceil(finite.max()))
        n = hi - lo + 1
        palette = plt.get_cmap("tab10").colors
        cmap = colors.ListedColormap(palette[:n]) if n <= len(palette) \
            else plt.get_cmap("viridis", n).copy()
        return cmap, colors.BoundaryNorm(np.arange(lo - 0.5, hi + 1.0), n), np.arange(lo, hi + 1)
    if finite.min() < 0.0 < finite.max():
        top = np.abs(finite).max()
        return plt.get_cmap("RdBu_r").copy(), colors.Normalize(-top, top), None
    return plt.get_cmap("viridis").copy(), None, None


def map_figure(values, title, unit="", cell_side=None, discrete=False):
    """The figure of an (ny, nx) map, element [k-1, j-1] = cell (j, k),
    bottom row at the bottom; axes in cells, or in metres when cell_side is
    given. A map with one value in every cell gets a note, no colour bar;
    discrete=True (material numbers) a colour bar of one step per number;
    a map of both signs a diverging colour map centred on 0."""
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
    cmap, norm, ticks = map_colours(finite, discrete) if finite.size and not constant \
        else (plt.get_cmap("viridis").copy(), None, None)
    cmap.set_bad("#d9d9d9")
    image = ax.imshow(np.ma.masked_invalid(a), origin="lower", extent=extent, cmap=cmap,
                      norm=norm, interpolation="nearest", aspect="equal")
    if constant:
        ax.text(0.5, 0.5, "%.6g%s in every cell" % (finite[0], " " + unit if unit else ""),
                transform=ax.transAxes, ha="center", va="center",
                bbox=dict(facecolor="white", alpha=0.85, edgecolor="none"))
    elif finite.size:
        bar = fig.colorbar(image, ax=ax, shrink=0.9, ticks=ticks)
        if unit:
            bar.set_label(unit)
    ax.set_title(title)
    ax.set_xlabel("x (m)" if cell_side else "j (cells along x)")
    ax.set_ylabel("y (m)" if cell_side else "k (cells along y)")
    if not cell_side:  # cell indices are whole numbers
        ax.xaxis.set_major_locator(MaxNLocator(integer=True))
        ax.yaxis.set_major_locator(MaxNLocator(integer=True))
    return fig


def map_title(name, meaning=None, values=None):
    """Title and unit of a run's map from `meaning` (name -> (quantity,
    unit), as results.json gives them; a legacy run's by default). Values
    in Pa of a modulus's size (a gigapascal's tenth or more) are drawn in
    GPa; without the values, the legacy run's moduli are."""
    what, unit = (meaning or LEGACY_MAP_MEANING).get(name, (name, ""))
    if name in PARTIAL_STRESS_MAPS:
        what = LEGACY_MAP_MEANING[name][0]
    unit = "" if unit == "1" else unit
    if unit == "Pa":
        if values is None:
            gpa = name in MODULUS_MAPS
        else:
            finite = np.abs(np.asarray(values, dtype=float))
            finite = finite[np.isfinite(finite)]
            gpa = finite.size > 0 and finite.max() >= 1e8
        unit = "GPa" if gpa else unit
    if " " in what:  # a phrase, not a symbol such as mu1
        what = what[0].upper() + what[1:]
    return what + (" (%s)" % unit if unit else ""), unit


def plot_run(result, out_dir, metres=False, formats=FORMATS):
    """Every map of a run and the input porosity into out_dir, titled and
    united as the run folder says; returns the paths written."""
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
        title, unit = map_title(name, result.map_meaning, a)
        values = a / 1e9 if unit == "GPa" else a
        paths += plot_map(values, os.path.join(out_dir, name), title, unit, h, formats,
                          discrete=name in MATERIAL_MAPS)
    # A folder whose maps lack the porosity (a legacy run's) gets the input field.
    if result.porosity is not None and "porosity" not in result.maps:
        paths += plot_porosity(result.porosity, os.path.join(out_dir, "input_porosity"), h,
                               formats)
    return paths


def plot_porosity(field, stem, cell_side=None, formats=FORMATS):
    """A map of a porosity field (water volume fraction of each cell)."""
    return plot_map(field, stem, "Input porosity (water volume fraction)", "", cell_side,
                    formats)


def describe(deck):
    """The sample of a deck in words for titles: "Permafrost sample, 30 by 20
    cells, 0.3 m high, fractal porosity"; "" without a deck."""
    if deck is None:
        return ""
    try:
        model = MODEL_NAMES[deck.key_model] if deck.key_model in (0, 1) else "Three-phase"
        porosity = "fractal porosity" if deck.model == 1 else "layered porosity"
        return "%s sample, %d by %d cells, %g m high, %s" % (model, deck.nx, deck.ny,
                                                             deck.domain_size, porosity)
    except DeckError:  # an incomplete deck: no description rather than no figure
        return ""


def field_words(field):
    """A swept field in words: "water proportion of every layer",
    "absolute porosity, water plus ice (permafrost model), layer 1"."""
    if field in FIELD_WORDS:
        return FIELD_WORDS[field]
    from .deck import HEAD_NOTES, LAYER_NOTES, _split
    base, layer = _split(field)
    if layer is not None and base in LAYER_NOTES:
        return "%s, layer %d" % (LAYER_NOTES[base], layer)
    return HEAD_NOTES.get(field, field)


def _title(what, deck, title):
    sample = describe(deck)
    return title or (what + ("\n" + sample if sample else ""))


def plot_curves(table, stem, title=None, formats=FORMATS, deck=None):
    """Write the dispersion figure of a sweep table as stem.png, stem.pdf;
    `deck` (the sweep's) describes the sample in the title."""
    return save(curves_figure(table, title, deck), stem, formats)


def q_axis(ax, values):
    """A 1000/Q axis: symmetric-log when its values differ in sign or span
    more than LINEAR_DECADES decades, its linear part the smallest size
    drawn, so a large curve leaves the small ones readable."""
    v = np.abs(np.asarray([x for x in values if np.isfinite(x)], dtype=float))
    small = v[v > 0]
    if not small.size:
        return
    signs = np.any(np.asarray(values)[np.isfinite(values)] < 0) and \
        np.any(np.asarray(values)[np.isfinite(values)] > 0)
    if signs or np.log10(small.max() / small.min()) > LINEAR_DECADES:
        ax.set_yscale("symlog", linthresh=10.0 ** np.floor(np.log10(small.min())))
        ax.set_ylabel("1000/Q (symmetric log axis)")


def velocity_axis(ax, sample):
    """Velocity limits from the sample's curves (C33 and the closed forms),
    so that a legacy test's velocity far off (mstar near a zero of its real
    part) leaves the axis rather than flattening the sample's dispersion;
    returns a note saying so, else None."""
    v = np.asarray([x for x in sample if np.isfinite(x)], dtype=float)
    if not v.size:
        return None
    lo, hi = v.min(), v.max()
    pad = 0.05 * (hi - lo) if hi > lo else 0.01 * abs(hi) or 1.0
    ymin, ymax = ax.get_ylim()
    if ymin >= lo - pad and ymax <= hi + pad:
        return None
    ax.set_ylim(lo - pad, hi + pad)
    return "the legacy test's velocities beyond the axis are cut"


def marked_curve(ax, x, y, style, colour, resolved):
    """A curve with its markers filled where the grid resolves the
    diffusion length and hollow where it does not."""
    line, marker = style.lstrip("ovsd^x"), style[0] if style[0] in "ovsd^x" else ""
    ax.plot(x, y, line or "-", color=colour)
    if marker:
        ax.plot(x[resolved], y[resolved], marker, color=colour, ls="none")
        ax.plot(x[~resolved], y[~resolved], marker, color=colour, ls="none",
                markerfacecolor="none")


def curves_figure(table, title=None, deck=None):
    """Dispersion and attenuation of a sweep table: velocity (m/s) and
    1000/Q against frequency (log axis) or the swept field, in two panels
    with one y axis each. Points the grid does not resolve are hollow; a
    failed run is an x on the axis at its value."""
    from matplotlib.lines import Line2D
    from matplotlib.transforms import blended_transform_factory
    names = table.dtype.names
    field = names[1] if names[1] != "freq_hz" else None
    xname = field or "freq_hz"
    table = table[np.argsort(table[xname], kind="stable")]
    ok = table["status"] == "ok"
    resolved = table["resolved"] & ok if "resolved" in names else ok
    fig, (ax_v, ax_q) = pyplot().subplots(1, 2, figsize=CURVE_SIZE, layout="constrained")
    x = table[xname]
    cells = [c for c in table["closed_form_cell"][ok] if c] if "closed_form_cell" in names else []
    handles, q_drawn, v_sample = [], [], []
    for v_name, q_name, label, colour, style in CURVES:
        if v_name not in names or not np.any(np.isfinite(table[v_name][ok])):
            continue  # an older table, or a curve run without the legacy test at each point
        keep = ok & np.isfinite(table[v_name])
        for ax, column in ((ax_v, v_name), (ax_q, q_name)):
            marked_curve(ax, x[keep], table[column][keep], style, colour, resolved[keep])
        q_drawn += list(table[q_name][keep])
        if v_name not in LEGACY_VELOCITIES:
            v_sample += list(table[v_name][keep])
        text = label % (cells[0] if cells else "(centre)") if "%s" in label else label
        handles.append(Line2D([], [], color=colour, marker=style[0], ls=style.lstrip("ovsd^x"),
                              label=text))
    if np.any(ok & ~resolved):
        handles.append(Line2D([], [], color="0.4", marker="o", ls="none",
                              markerfacecolor="none", label=UNRESOLVED_LABEL))
    if np.any(~ok):
        for ax in (ax_v, ax_q):
            ax.plot(x[~ok], np.full(np.count_nonzero(~ok), 0.03), "x", color="#cc0000",
                    ms=9, mew=2, ls="none",
                    transform=blended_transform_factory(ax.transData, ax.transAxes))
        handles.append(Line2D([], [], color="#cc0000", marker="x", mew=2, ls="none",
                              label=FAILED_LABEL))
    ax_v.set_title("Phase velocity (m/s)")
    ax_v.set_ylabel("velocity (m/s)")
    ax_q.set_title("Attenuation, 1000/Q")
    ax_q.set_ylabel("1000/Q")
    ax_q.axhline(0.0, color="#888888", lw=0.8)
    q_axis(ax_q, q_drawn)
    notes = {ax_v: velocity_axis(ax_v, v_sample)}
    # The note rides in the legend's title, which is placed inside the
    # panel clear of the curves.
    if np.any(table["q1000_mstar"][ok] < 0):
        notes[ax_q] = ("legacy mstar 1000/Q < 0: seen through solid 1 alone,\n"
                       "friction between the solids shows as a gain")
    for ax in (ax_v, ax_q):
        ax.set_xlabel("frequency (Hz)" if field is None else field_words(field))
        if field is None and len(x) and x.min() > 0:
            ax.set_xscale("log")
        ax.grid(True, alpha=0.3)
        legend = ax.legend(handles=handles, loc="best", fontsize=8, title=notes.get(ax),
                           title_fontsize=8)
        legend.get_title().set_multialignment("left")
    fig.suptitle(_title("Dispersion and attenuation against frequency" if field is None
                        else "Velocity and attenuation against the " + field_words(field),
                        deck, title))
    return fig


def plot_stiffness_curves(result, stem, title=None, formats=FORMATS):
    """Write the figure of a run's frequency curve (`result.curves`) as
    stem.png, stem.pdf; returns the paths."""
    return save(stiffness_curves_figure(result.curves, result.bounds, result.density, title,
                                        result.deck), stem, formats)


def stiffness_curves_figure(curves, bounds=None, density=None, title=None, deck=None):
    """The sample's dispersion and attenuation: velocity (m/s) and 1000/Q
    of each modulus of `curves` against frequency (log axis) in two panels.
    A modulus's relaxed and unrelaxed bounds (Pa) are horizontal lines in
    the velocity panel at sqrt(bound / density), density the sample's
    (kg/m3); points where the grid does not resolve the diffusion length
    are hollow, their results not to be trusted."""
    plt = pyplot()
    from matplotlib.lines import Line2D
    fig, (ax_v, ax_q) = plt.subplots(1, 2, figsize=CURVE_SIZE, layout="constrained")
    f, bad = curves.frequency_hz, ~curves.resolved
    handles = []
    for name in curves.names:
        label, colour = MODULI[name]
        for ax, y in ((ax_v, curves.velocity[name]), (ax_q, curves.q_inverse_times_1000[name])):
            ax.plot(f, y, "-", color=colour)
            ax.plot(f[~bad], y[~bad], "o", color=colour, ls="none")
            ax.plot(f[bad], y[bad], "o", color=colour, ls="none", markerfacecolor="none")
        handles.append(Line2D([], [], color=colour, marker="o", label=label))
        b = (bounds or {}).get(name)
        if b is not None and density and np.isfinite(density):
            for kind, style in BOUND_STYLES:
                ax_v.axhline(np.sqrt(getattr(b, kind) / density), color=colour, ls=style,
                             lw=0.9)
    if bounds and any(n in bounds for n in curves.names):
        handles += [Line2D([], [], color="0.4", ls=style, lw=0.9,
                           label="%s bound, sqrt(C / rho)" % kind)
                    for kind, style in BOUND_STYLES]
    if bad.any():
        handles.append(Line2D([], [], color="0.4", marker="o", ls="none",
                              markerfacecolor="none", label=UNRESOLVED_LABEL))
    ax_v.set_title("Phase velocity (m/s)")
    ax_v.set_ylabel("velocity (m/s)")
    ax_q.set_title("Attenuation, 1000/Q")
    ax_q.set_ylabel("1000/Q")
    q_axis(ax_q, np.concatenate([curves.q_inverse_times_1000[n] for n in curves.names]))
    for ax in (ax_v, ax_q):
        ax.set_xlabel("frequency (Hz)")
        if len(f) and f.min() > 0:
            ax.set_xscale("log")
        ax.grid(True, alpha=0.3)
        # The bounds are drawn in the velocity panel only.
        shown = handles if ax is ax_v else [h for h in handles if "bound" not in h.get_label()]
        ax.legend(handles=shown, loc="best", fontsize=8)
    fig.suptitle(_title("The sample's stiffness against frequency (rigid-plate tests)", deck,
                        title))
    return fig


def plot_angles(result, stem, title=None, formats=FORMATS):
    """Write the figure of a run's angle table (`result.angles`, with the
    full stiffness) as stem.png, stem.pdf; returns the paths."""
    return save(angles_figure(result.angles, title, result.deck), stem, formats)


def angles_figure(angles, title=None, deck=None):
    """Velocity (m/s) and 1000/Q of the qP and qSV waves against the angle
    from the vertical (degrees), in two panels."""
    fig, (ax_v, ax_q) = pyplot().subplots(1, 2, figsize=CURVE_SIZE, layout="constrained")
    a = angles["angle_degrees"]
    for key, label, colour, style in WAVES:
        ax_v.plot(a, angles[key + "_velocity_m_per_s"], style, color=colour, label=label)
        ax_q.plot(a, angles[key + "_q_inverse_times_1000"], style, color=colour, label=label)
    ax_v.set_title("Phase velocity (m/s)")
    ax_v.set_ylabel("velocity (m/s)")
    ax_q.set_title("Attenuation, 1000/Q")
    ax_q.set_ylabel("1000/Q")
    for ax in (ax_v, ax_q):
        ax.set_xlabel("angle from the vertical (degrees)")
        ax.set_xticks(np.arange(0, 91, 15))
        ax.grid(True, alpha=0.3)
        ax.legend(loc="best", fontsize=8)
    fig.suptitle(_title("The sample's waves against angle", deck, title))
    return fig
