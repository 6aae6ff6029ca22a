"""The results of one run as numbers and arrays.

`load(run_dir)` reads a run folder: the numbers from results.json and the
maps from maps/*.npy when the program wrote them (`threephase run`); for a
folder of a legacy run, the numbers from the report (stdout.txt or
report.txt) and the result tables, the maps from the map files. Every
map is an (ny, nx) array whose element [k-1, j-1] is cell (j, k), in SI
units (Pa, Pa/m, kg/(m3 s); strains are pure numbers).

The sample's answer is its stiffness from the rigid-plate relaxation
tests: C33 (and C11, C55, C13 with the full set), complex moduli under the
time dependence exp(+i omega t), Q = Re C / Im C, phase velocity
1 / Re(1 / sqrt(C / rho)) with rho the volume average of the cells'
densities. The legacy compressibility test's moduli (mstar, its c33,
mstar3) stay available as what they are, `Result.legacy`.
"""

import collections

import glob
import json
import math
import os
import re
import warnings

import numpy as np

from . import porosity as _porosity
from .deck import Deck, DeckError

NORMAL_END = 40
REPORT_NAMES = ("stdout.txt", "report.txt")
STATUS_FILE = "status.json"

# Map files that list `j k value` per cell; the pressure gradient is written
# for interior cells with indices j-1, k-1, so it is shifted back by one.
MAP_SHIFT = {"mod_grad_pressure_p33_ice": 1}
MAP_FILES = ("matnum_p33_gnu", "real_strain1_map", "imag_strain1_map", "real_strain3_map",
             "imag_strain3_map", "real_stress_map", "imag_stress_map",
             "mod_pressure_p33_ice", "mod_grad_pressure_p33_ice", "xmu1_gnu", "xmu3_gnu",
             "xmu13_gnu", "xlambda1_gnu", "xlambda3_gnu", "b1_gnu", "b2_gnu", "xm_gnu",
             "d3_gnu", "b11_gnu", "b22_gnu", "b12_gnu")
# The one map without indices: the material numbers in the order k outer, j inner.
BARE_MAP = "matnum_p33"

# What each map of a legacy run folder shows and its unit, for titles and
# colour bars; a folder with results.json carries its own (maps.files).
LEGACY_MAP_MEANING = {
    "matnum_p33": ("material number", ""),
    "matnum_p33_gnu": ("material number", ""),
    "real_strain1_map": ("vertical strain of solid 1, real part", ""),
    "imag_strain1_map": ("vertical strain of solid 1, imaginary part", ""),
    "real_strain3_map": ("vertical strain of solid 3, real part", ""),
    "imag_strain3_map": ("vertical strain of solid 3, imaginary part", ""),
    "real_stress_map": ("partial vertical stress of solid 1, real part", "Pa"),
    "imag_stress_map": ("partial vertical stress of solid 1, imaginary part", "Pa"),
    "real_total_stress_map": ("total vertical stress, real part", "Pa"),
    "imag_total_stress_map": ("total vertical stress, imaginary part", "Pa"),
    "mod_pressure_p33_ice": ("fluid pressure, modulus", "Pa"),
    "mod_grad_pressure_p33_ice": ("fluid pressure gradient, size (interior cells)", "Pa/m"),
    "xmu1_gnu": ("shear modulus mu1", "Pa"),
    "xmu3_gnu": ("shear modulus mu3", "Pa"),
    "xmu13_gnu": ("coupling modulus mu13", "Pa"),
    "xlambda1_gnu": ("Lame modulus lambda1", "Pa"),
    "xlambda3_gnu": ("Lame modulus lambda3", "Pa"),
    "b1_gnu": ("modulus b1", "Pa"),
    "b2_gnu": ("modulus b2", "Pa"),
    "xm_gnu": ("fluid modulus m", "Pa"),
    "d3_gnu": ("modulus d3", "Pa"),
    "b11_gnu": ("friction coefficient f11", "kg/(m3 s)"),
    "b22_gnu": ("friction coefficient f22", "kg/(m3 s)"),
    "b12_gnu": ("friction coefficient f12", "kg/(m3 s)"),
}

# Report lines and the names their numbers take. A label ending in '=' is
# followed by one real; 'pair' labels by a real and an imaginary part.
_NUM = r"([-+]?(?:\d+\.?\d*|\.\d+)(?:[eEdD][-+]?\d+)?)"
REPORT_SCALARS = {
    "vp_mstar": r"from deltavol1 Velocity\(m/s\) FE\s*=",
    "q1000_mstar": r"from deltavol1 1000/Q FE\s*=",
    "q_mstar": r"from deltavol1\s+Q FE\s*=",
    "mstar_re": r"from deltavol1 Re\(p33\) FE mstar\s*=",
    "mstar_im": r"from deltavol1 Im\(p33\) FE mstar\s*=",
    "vp_c33": r"using averages\s+Velocity\(m/s\) FE\s*=",
    "q1000_c33": r"using averages 1000/Q FE\s*=",
    "q_c33": r"using averages Q FE\s*=",
    "c33_re": r"using averages Re\(c33\) FE\s*=",
    "c33_im": r"using averages Im\(c33\) FE\s*=",
    "neq": r"number of unknowns nodos =",
    "h": r"h",
    "running_time_hours": r"running time=",
}
REPORT_PAIRS = {"deltavol1": "deltavol1=", "deltavol3": "deltavol3=", "deltavol": "deltavol=",
                "av_strain": "av_strain", "av_stress": "av_stress"}
WAVES = ("vp1", "vp2", "vp3", "vs1", "vs2")


class ThreephaseWarning(UserWarning):
    """A warning of the program (a diffusion length the grid does not
    resolve, a deck value it does not use), passed on to Python as it was
    written in results.json (or on standard error of a failed run)."""


class ResultWarning(UserWarning):
    """A result the program wrote that a passive sample cannot give (a
    negative Q of its stiffness): reported, with the file, not hidden."""


class ResultError(ValueError):
    """A file of a run folder that cannot be read as what it should be (a
    results.json or status.json cut short, a damaged .npy array); the
    message names the file and what is wrong, `path` is the file."""

    def __init__(self, path, what):
        super().__init__("%s: %s" % (path, what))
        self.path = path


def read_json(path):
    """The JSON document of a run's file; ResultError when it is not one."""
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except (json.JSONDecodeError, UnicodeDecodeError) as e:
        raise ResultError(path, "not a complete JSON document (cut short or damaged: %s)"
                          % e) from e


def read_npy(path):
    """The array of a .npy file; ResultError when it is not a whole one."""
    try:
        return np.load(path, allow_pickle=False)
    except (ValueError, EOFError, OSError) as e:
        raise ResultError(path, "not a complete .npy array (cut short or damaged: %s)" % e) from e


# One modulus of the sample: complex C (Pa), its phase velocity (m/s), Q
# and 1000/Q (NaN where results.json has none, as for C13).
Modulus = collections.namedtuple("Modulus", "modulus velocity q q_inverse_times_1000")
# The limits a modulus's dispersion runs between (Pa): the relaxed one at
# low frequency, where the fluid pressure has time to even out between the
# phases, the unrelaxed one at high frequency, where it has none.
Bounds = collections.namedtuple("Bounds", "relaxed unrelaxed")
STIFFNESS_ORDER = ("c33", "c11", "c55", "c13")
LEGACY_MODULI = ("mstar", "c33", "mstar3")
CURVE_MODULI = ("c33", "c11", "c55")
# Im C below -ROUNDING |C| is a gain of energy, not rounding.
ROUNDING = 1e-9


class Curves:
    """The sample's stiffness over frequency, as NumPy arrays of one entry
    per frequency: `frequency_hz`; for each modulus of `names` (c33, then
    c11 and c55 with the full set) `modulus[name]` (complex, Pa),
    `velocity[name]` (m/s), `q_inverse_times_1000[name]`; the diffusion
    length in cells `cells_across` and whether the grid `resolved` it."""

    def __init__(self, frequency_hz, modulus, velocity, q_inverse_times_1000, cells_across,
                 resolved):
        self.frequency_hz = frequency_hz
        self.names = tuple(n for n in CURVE_MODULI if n in modulus)
        self.modulus, self.velocity = modulus, velocity
        self.q_inverse_times_1000 = q_inverse_times_1000
        self.cells_across, self.resolved = cells_across, resolved

    def __len__(self):
        return len(self.frequency_hz)

    def __repr__(self):
        f = self.frequency_hz
        return "Curves(%s; %d frequencies%s, %d unresolved)" % (
            ", ".join(self.names), len(f),
            " %.4g..%.4g Hz" % (f.min(), f.max()) if len(f) else "",
            int(np.count_nonzero(~self.resolved)))


class Result:
    """One run. The sample's answer first: `stiffness` (complex moduli in
    Pa by name, c33 always, c11, c13, c55 with the full set), `velocity`,
    `q_inverse_times_1000` and `q` of C33, `effective` (a Modulus by name),
    `density` (kg/m3), `angles` (qP and qSV against angle, a structured
    array, with the full set), `curves` (a Curves, with a frequency curve)
    and `bounds` (a Bounds by name). `legacy` holds the legacy
    compressibility test's moduli (mstar, c33, mstar3), which are not the
    sample's stiffness. Then `numbers` (a dict of floats and complex values
    under the report's names, its c33 the legacy test's), `maps` (dict of
    (ny, nx) arrays) with `map_meaning` (name -> (quantity, unit)),
    `coefficients` (the first cell's, name -> (value, unit)), `porosity`
    (the input field the run used, also maps["porosity"] when the run wrote
    it), `faults` (what results.json says that a passive sample cannot do),
    `warnings` (the program's warnings, as results.json lists them),
    `elastic_form` (the coefficients' form, "two_dimensional" or
    "plane_strain"), `reference` and `average_medium` (the closed-form fast P wave of the
    reference cell and of the sample's average medium, each a Reference
    whose label names it; None where the folder has none), `status` ('ok'
    or 'failed'), `stop_code`, `message`, `deck`, `path`.

    Every 1000/Q is 1000 Im C / Re C (Q = Re C / Im C), the plane waves'
    too (q1000_vp1, q1000_anal); the legacy report's |Re z / Im z| of the
    plane waves is kept only as legacy_q1000_vp1, ..., legacy_q1000_anal."""

    def __init__(self, path):
        self.path = path
        self.numbers, self.maps, self.json, self.warnings = {}, {}, None, []
        self.reference, self.average_medium = None, None
        self.status, self.stop_code, self.message = "failed", None, ""
        self.exit_status = None
        self.elastic_form = "two_dimensional"  # the legacy run's, and older folders'
        self.deck, self.porosity, self.nx, self.ny = None, None, None, None
        self.effective, self.stiffness, self.legacy, self.bounds = {}, {}, {}, {}
        self.density, self.angles, self.curves = math.nan, None, None
        self.map_meaning, self.coefficients, self.faults = {}, {}, []

    @property
    def ok(self):
        return self.status == "ok"

    def _c33(self, field):
        m = self.effective.get("c33")
        return getattr(m, field) if m is not None else math.nan

    @property
    def velocity(self):
        """Phase velocity of C33 (m/s): the sample's vertical P wave."""
        return self._c33("velocity")

    @property
    def q_inverse_times_1000(self):
        """1000/Q of C33: 1000 Im C33 / Re C33."""
        return self._c33("q_inverse_times_1000")

    @property
    def q(self):
        """Q of C33: Re C33 / Im C33."""
        return self._c33("q")

    def __getitem__(self, name):
        return self.numbers[name]

    def __getattr__(self, name):
        """The numbers by name as attributes: result.vp_c33, result.mstar."""
        numbers = self.__dict__.get("numbers", {})
        if name in numbers:
            return numbers[name]
        raise AttributeError(name)

    def summary(self):
        """Lines for a person: the sample's velocity and 1000/Q first, then
        the other moduli, the curve and the legacy test's values."""
        lines = ["%s: %s (stop code %s)" % (self.path, self.status, self.stop_code)]
        f = self.numbers.get("freq_hz")
        at = " at %.6g Hz" % f if finite(f) else ""
        for name in STIFFNESS_ORDER:
            m = self.effective.get(name)
            if m is None:
                continue
            line = "  %s%s: %s Pa" % (name.upper(), at if name == "c33" else "",
                                      _format_complex(m.modulus))
            if finite(m.velocity):
                line = "  %s%s: velocity %.6g m/s, 1000/Q %.6g (C = %s Pa)" % (
                    name.upper(), at if name == "c33" else "", m.velocity,
                    m.q_inverse_times_1000, _format_complex(m.modulus))
            lines.append(line)
        for ref in (self.reference, self.average_medium):
            if ref is not None:
                lines.append("  %s: velocity %.6g m/s, 1000/Q %.6g" % (
                    ref.label, ref.velocity, ref.q_inverse_times_1000))
        if self.curves is not None:
            lines.append("  " + repr(self.curves))
        for warning in self.warnings:
            lines.append("  warning: " + warning)
        for fault in self.faults:
            lines.append("  FAULT: " + fault)
        if self.legacy:
            lines.append("  legacy compressibility test (not the sample's stiffness): " +
                         ", ".join("%s %s Pa" % (n, _format_complex(v))
                                   for n, v in self.legacy.items()))
        return "\n".join(lines)

    def __repr__(self):
        head = "Result(%r, %s, stop %s" % (self.path, self.status, self.stop_code)
        if "c33" in self.effective:
            head += ", C33 velocity %.6g m/s, 1000/Q %.6g" % (self.velocity,
                                                               self.q_inverse_times_1000)
        if self.curves is not None:
            head += ", curves at %d frequencies" % len(self.curves)
        return head + ", %d maps)" % len(self.maps)


def _format_complex(z):
    return "%.6g %s %.6gi" % (z.real, "-" if z.imag < 0 else "+", abs(z.imag))


def load(run_dir):
    """The Result of the run in `run_dir`."""
    r = Result(os.path.abspath(run_dir))
    _read_status(r)
    deck_path = next((p for p in (os.path.join(run_dir, n) for n in ("deck", "deck.toml"))
                      if os.path.isfile(p)), None)
    if deck_path:
        try:
            r.deck = Deck.read(deck_path)
            r.nx, r.ny = r.deck.nx, r.deck.ny
        except DeckError:
            r.deck = None
    json_path = os.path.join(run_dir, "results.json")
    if os.path.isfile(json_path):
        r.json = read_json(json_path)
        try:
            r.numbers.update(json_numbers(r.json))
            r.nx, r.ny = r.json["grid"]["nx"], r.json["grid"]["ny"]
            r.legacy = {n: r.numbers[n] for n in LEGACY_MODULI}
            r.effective, r.density, r.angles = json_effective(r.json)
            r.stiffness = {n: m.modulus for n, m in r.effective.items()}
            r.curves, r.bounds = json_curves(r.json), json_bounds(r.json)
            r.reference, r.average_medium = json_references(r.json)
            r.warnings = [str(w) for w in r.json.get("warnings", [])]
            r.elastic_form = r.json["first_cell_coefficients"].get("elastic_form",
                                                                   "two_dimensional")
            r.map_meaning = {m["name"]: (m["quantity"], m["unit"])
                             for m in r.json["maps"]["files"] if "quantity" in m}
            r.coefficients = {n: (_real(c["value"]), c["unit"])
                              for n, c in r.json["first_cell_coefficients"].items()
                              if isinstance(c, dict)}
        except (KeyError, IndexError, TypeError, ValueError) as e:
            raise ResultError(json_path, "not the results of a run (%s missing or wrong)"
                              % e) from e
        r.faults = ["%s: %s" % (json_path, f) for f in gains(r.effective, r.curves)]
        for fault in r.faults:
            warnings.warn(fault, ResultWarning, stacklevel=2)
        r.maps = json_maps(run_dir, r.json)
        r.porosity = r.maps.get("porosity")
        if r.porosity is None:
            r.porosity = input_porosity(run_dir, r.deck)
        return r
    if r.ok:
        for name, value in report_numbers(_read_report(run_dir)).items():
            r.numbers.setdefault(name, value)
        for name, value in table_numbers(run_dir).items():
            r.numbers.setdefault(name, value)
        # The table keeps 5 digits; when the report's central-cell P1 wave
        # is the table's wave (same vp1 to the last bit), its 1000/Q is the
        # precise value.
        n = r.numbers
        if "vp1" in n and n.get("vp1_anal") == n["vp1"] and "legacy_q1000_vp1" in n:
            n["legacy_q1000_anal"] = n["legacy_q1000_vp1"]
        if "legacy_q1000_anal" in n:
            n["q1000_anal"] = modern_q1000(n["legacy_q1000_anal"])
    r.warnings = stderr_warnings(run_dir)
    r.legacy = {n: r.numbers[n] for n in LEGACY_MODULI if n in r.numbers}
    r.map_meaning = dict(LEGACY_MAP_MEANING)
    r.maps = read_maps(run_dir, r.nx, r.ny)
    if r.nx is None and "real_stress_map" in r.maps:
        r.ny, r.nx = r.maps["real_stress_map"].shape
    r.porosity = input_porosity(run_dir, r.deck)
    return r


def _real(v):
    """A number of results.json as a float; null (NaN, an infinity) as NaN."""
    return math.nan if v is None else float(v)


def _complex(pair):
    return complex(_real(pair[0]), _real(pair[1]))


def json_numbers(j):
    """The numbers of results.json under the names the report's numbers
    have (vp_c33, q1000_mstar, c33, vp1, q1000_vp1, vp1_anal, ...). The
    plane waves go by their legacy label; their 1000/Q (q1000_vp1, ...,
    q1000_anal) is results.json's, Im M / Re M as for every modulus, and
    the legacy report's |Re z / Im z| is kept as legacy_q1000_vp1, ...,
    legacy_q1000_anal."""
    out = {"freq_hz": _real(j["case"]["frequency"]["value"]),
           "h": _real(j["grid"]["cell_size"]["value"]),
           "neq": j["system"]["unknowns"]}
    for name in ("c33", "mstar", "mstar3"):
        fe = j["finite_element"][name]
        out[name] = _complex(fe["modulus_pa"])
        out["vp_" + name] = _real(fe["velocity_m_per_s"])
        out["q1000_" + name] = _real(fe["q_inverse_times_1000"])
        out["q_" + name] = _real(fe["q"])
    for wave in j["plane_waves"]["compressional"] + j["plane_waves"]["shear"]:
        label = wave["legacy_label"]
        out[label] = _real(wave["velocity_m_per_s"])
        out["q1000_" + label] = _real(wave["q_inverse_times_1000"])
        out["legacy_q1000_" + label] = _real(wave["legacy_1000_over_q_abs_re_over_im_slowness"])
    _closed_form_names(out)
    return out


def _closed_form_names(out):
    """The fast P wave of the reference cell under its table names."""
    out["vp1_anal"] = out.get("vp1", math.nan)
    out["q1000_anal"] = out.get("q1000_vp1", math.nan)
    out["legacy_q1000_anal"] = out.get("legacy_q1000_vp1", math.nan)


def modern_q1000(legacy_q1000):
    """1000/Q = 1000 Im M / Re M of a plane wave from the legacy report's
    1000 |Im z / Re z| (z = a - i b its complex slowness, M ~ 1/z^2): with
    t = b / a, Im M / Re M = 2 t / (1 - t^2), about twice the legacy value
    at low loss. NaN where t >= 1 (a wave that does not propagate)."""
    t = legacy_q1000 / 1000.0
    return 1000.0 * 2.0 * t / (1.0 - t * t) if t < 1.0 else math.nan


# What the closed-form reference of a run is, for labels: the waves of one
# cell's coefficients, and those of the whole sample's average medium.
# `cell` is (j, k) of the one cell, None for the average medium.
Reference = collections.namedtuple("Reference", "label velocity q_inverse_times_1000 cell")


def json_references(j):
    """The closed-form references of results.json: the fast P wave of the
    cell named by plane_waves.cell, and of the average medium
    (plane_waves_average_medium) when the folder has it, else None."""
    pw = j["plane_waves"]
    fast = pw["compressional"][0]
    cell = pw.get("cell")
    name = "cell (%d, %d)" % tuple(cell) if cell else "one cell"
    one = Reference("closed form, fast P wave of %s" % name, _real(fast["velocity_m_per_s"]),
                    _real(fast["q_inverse_times_1000"]), tuple(cell) if cell else None)
    avg = j.get("plane_waves_average_medium")
    whole = None
    if avg and avg.get("compressional"):
        first = avg["compressional"][0]
        whole = Reference("closed form, fast P wave of the average medium",
                          _real(first["velocity_m_per_s"]),
                          _real(first["q_inverse_times_1000"]), None)
    return one, whole


def json_effective(j):
    """The sample's stiffness of results.json's effective block: a Modulus
    by name, the density (kg/m3) and the angle table (None without the full
    set); nothing for a results.json written before the block existed."""
    e = j.get("effective")
    if e is None:
        return {}, math.nan, None
    out = {}
    for name in STIFFNESS_ORDER:
        c = e["stiffness"].get(name)
        if c is not None:
            out[name] = Modulus(_complex(c["modulus_pa"]), _real(c.get("velocity_m_per_s")),
                                _real(c.get("q")), _real(c.get("q_inverse_times_1000")))
    angles = None
    if "angles" in e:
        angles = np.array([(a["angle_degrees"], _real(a["qp"]["velocity_m_per_s"]),
                            _real(a["qp"]["q_inverse_times_1000"]),
                            _real(a["qsv"]["velocity_m_per_s"]),
                            _real(a["qsv"]["q_inverse_times_1000"])) for a in e["angles"]],
                          dtype=ANGLE_FIELDS)
    return out, _real(e["density_kg_per_m3"]), angles


# The angle table: angle from the vertical (degrees), then each wave's
# velocity (m/s) and 1000/Q.
ANGLE_FIELDS = [("angle_degrees", "f8"), ("qp_velocity_m_per_s", "f8"),
                ("qp_q_inverse_times_1000", "f8"), ("qsv_velocity_m_per_s", "f8"),
                ("qsv_q_inverse_times_1000", "f8")]


def json_curves(j):
    """The Curves of results.json's curves block, None without one. Every
    array has one entry per frequency; a block whose lengths disagree is
    not a curve (ValueError)."""
    c = j.get("curves")
    if c is None:
        return None
    f = np.array([_real(v) for v in c["frequency_hz"]])
    modulus, velocity, q1000 = {}, {}, {}
    for name in CURVE_MODULI:
        if name in c:
            modulus[name] = np.array([_complex(p) for p in c[name]["modulus_pa"]], dtype=complex)
            velocity[name] = np.array([_real(v) for v in c[name]["velocity_m_per_s"]])
            q1000[name] = np.array([_real(v) for v in c[name]["q_inverse_times_1000"]])
    cells = np.array([_real(v) for v in c["cells_across_diffusion_length"]])
    resolved = np.array([bool(v) for v in c["resolved"]], dtype=bool)
    lengths = {len(a) for a in [cells, resolved] + [d[n] for d in (modulus, velocity, q1000)
                                                     for n in d]}
    if "c33" not in modulus or lengths != {len(f)}:
        raise ValueError("curves: c33 and one value per frequency (%d) in every array"
                         % len(f))
    return Curves(f, modulus, velocity, q1000, cells, resolved)


def json_bounds(j):
    """The relaxed and unrelaxed limits of each modulus (Pa), by name."""
    return {name: Bounds(_real(b["relaxed_pa"]), _real(b["unrelaxed_pa"]))
            for name, b in j.get("bounds", {}).items()}


def gains(effective, curves):
    """What a passive sample cannot do: a diagonal modulus (C11, C33, C55)
    with Im C < 0 beyond rounding (under exp(+i omega t) that is energy
    given, a negative Q), or an imaginary part of the stiffness that is not
    positive semi-definite, (Im C13)^2 > Im C11 Im C33. C13 couples two
    strains, so its imaginary part alone may have either sign."""
    out = []
    for name, m in effective.items():
        if name != "c13" and m.modulus.imag < -ROUNDING * abs(m.modulus):
            out.append("effective %s has Im C = %.6g Pa < 0 (Q = %.6g): a passive sample "
                       "cannot give energy" % (name, m.modulus.imag, m.q))
    if all(n in effective for n in ("c11", "c13", "c33")):
        c11, c13, c33 = (effective[n].modulus for n in ("c11", "c13", "c33"))
        if c13.imag ** 2 - c11.imag * c33.imag > ROUNDING * abs(c11) * abs(c33):
            out.append("effective (Im C13)^2 = %.6g Pa2 exceeds Im C11 Im C33 = %.6g Pa2: a "
                       "passive sample cannot give energy" % (c13.imag ** 2,
                                                              c11.imag * c33.imag))
    if curves is not None:
        for name in curves.names:
            c = curves.modulus[name]
            bad = np.flatnonzero(c.imag < -ROUNDING * np.abs(c))
            if bad.size:
                out.append("curves %s has Im C < 0 at %s Hz: a passive sample cannot give "
                           "energy" % (name, ", ".join("%.6g" % curves.frequency_hz[i]
                                                       for i in bad)))
    return out


def json_maps(run_dir, j):
    """The maps results.json lists, read from their .npy files."""
    maps = {}
    for m in j["maps"]["files"]:
        path = os.path.join(run_dir, m["file"])
        if os.path.isfile(path):
            maps[m["name"]] = read_npy(path)
    return maps


def stderr_warnings(run_dir):
    """The program's warnings on the standard error a run folder kept
    (stderr.txt), without their "threephase: warning: " head."""
    head = "threephase: warning: "
    return [ln[len(head):].strip() for ln in read_text(os.path.join(run_dir, "stderr.txt"))
            .splitlines() if ln.startswith(head)]


def read_text(path):
    """The text of a file, empty when it cannot be read."""
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def _read_report(run_dir):
    for name in REPORT_NAMES:
        path = os.path.join(run_dir, name)
        if os.path.isfile(path):
            return read_text(path)
    return ""


def _read_status(r):
    """Status from status.json (written by `run`); a folder of `threephase
    run` (it holds results.json) exists only after a normal end; else the
    STOP line of a legacy run."""
    path = os.path.join(r.path, STATUS_FILE)
    if os.path.isfile(path):
        s = read_json(path)
        if not isinstance(s, dict):
            raise ResultError(path, "not the status of a run (no object)")
        r.status, r.stop_code, r.message = s.get("status"), s.get("stop_code"), s.get("message", "")
        r.exit_status = s.get("exit_status")
        return
    if os.path.isfile(os.path.join(r.path, "results.json")):
        r.status, r.stop_code, r.exit_status = "ok", NORMAL_END, 0
        return
    stop = re.findall(r"^STOP (-?\d+)\s*$", read_text(os.path.join(r.path, "stderr.txt")), re.M)
    r.stop_code = int(stop[-1]) if stop else None
    r.status = "ok" if r.stop_code == NORMAL_END else "failed"


def report_numbers(report):
    """The numbers of a run's report by name: the finite-element moduli
    (mstar, c33 as complex values too) with velocity, 1000/Q and Q, the
    five plane waves of the central cell, the unknowns and the cell side."""
    out = {}
    for name, label in REPORT_SCALARS.items():
        m = re.search(r"^\s*" + label + r"\s*" + _NUM + r"\s*(?:hours)?\s*$", report, re.M)
        if m:
            out[name] = float(m.group(1).replace("D", "E").replace("d", "e"))
    for name, label in REPORT_PAIRS.items():
        m = re.search(r"^\s*" + re.escape(label) + r"\s*" + _NUM + r"\s+" + _NUM, report, re.M)
        if m:
            out[name] = complex(float(m.group(1)), float(m.group(2)))
    if "neq" in out:
        out["neq"] = int(out["neq"])
    if "mstar_re" in out and "mstar_im" in out:
        out["mstar"] = complex(out.pop("mstar_re"), out.pop("mstar_im"))
    if "c33_re" in out and "c33_im" in out:
        out["c33"] = complex(out.pop("c33_re"), out.pop("c33_im"))
    for w in WAVES:
        att = "atp" + w[2] if w.startswith("vp") else "ats" + w[2]
        q = "qp" + w[2] if w.startswith("vp") else "qs" + w[2]
        m = re.search(r"^\s*%s =\s*%s (?:m/s)?\s*%s =\s*%s 1000/%s\s+%s" % (w, _NUM, att, _NUM, q, _NUM),
                      report, re.M)
        if m:
            out[w] = float(m.group(1))
            out["alpha_" + w] = float(m.group(2))
            out["legacy_q1000_" + w] = float(m.group(3))
            out["q1000_" + w] = modern_q1000(out["legacy_q1000_" + w])
    return out


def _table_fields(line):
    """The two numbers of a '(g15.5,2x,g15.5)' or free-form table line."""
    items = line.replace("E ", "E").split()
    if len(items) >= 2:
        try:
            return float(items[0]), float(items[1])
        except ValueError:
            pass
    return None


def table_numbers(run_dir):
    """The closed-form values of the fast P wave from the result tables, and
    the frequency and the modulus seen from solid 3 (mstar3)."""
    out = {}
    first = lambda name: (read_text(os.path.join(run_dir, name)).splitlines() or [""])[0]
    pair = _table_fields(first("vp_anal.phiw"))
    if pair:
        out["vp1_anal"] = pair[1]
    pair = _table_fields(first("1000_over_q_anal.phiw"))
    if pair:
        out["freq_hz"], out["legacy_q1000_anal"] = pair
    lines = read_text(os.path.join(run_dir, "mstar3_solid3")).splitlines()
    if len(lines) >= 2:
        items = lines[1].split()
        if len(items) >= 3:
            out["mstar3"] = complex(float(items[1]), float(items[2]))
    return out


def read_maps(run_dir, nx=None, ny=None):
    """Every map file of the run as an (ny, nx) array, [k-1, j-1] = cell
    (j, k); cells a map does not cover are NaN."""
    cells = {}
    for name in MAP_FILES:
        path = os.path.join(run_dir, name)
        if os.path.isfile(path):
            cells[name] = _map_cells(path, MAP_SHIFT.get(name, 0))
    if nx is None or ny is None:
        known = [c for c in cells.values() if len(c)]
        if not known:
            return {}
        nx = max(int(c[:, 0].max()) for c in known)
        ny = max(int(c[:, 1].max()) for c in known)
    maps = {}
    for name, c in cells.items():
        a = np.full((ny, nx), np.nan)
        if len(c):
            a[c[:, 1].astype(int) - 1, c[:, 0].astype(int) - 1] = c[:, 2]
        maps[name] = a
    # Maps the program writes as arrays (row = y index, column = x index).
    for folder in (run_dir, os.path.join(run_dir, "maps")):
        for path in sorted(glob.glob(os.path.join(folder, "*.npy"))):
            a = read_npy(path)
            if a.shape == (ny, nx):
                maps.setdefault(os.path.splitext(os.path.basename(path))[0], a)
    bare = os.path.join(run_dir, BARE_MAP)
    if os.path.isfile(bare):
        values = np.array(read_text(bare).split(), dtype=float)
        if values.size == nx * ny:
            maps[BARE_MAP] = values.reshape(ny, nx)
    return maps


def _map_cells(path, shift):
    """Rows (j, k, value) of a map file, indices put back on their cells."""
    rows = [line.split() for line in read_text(path).splitlines() if line.strip()]
    c = np.array(rows, dtype=float).reshape(-1, 3)
    c[:, :2] += shift
    return c


def input_porosity(run_dir, deck):
    """The porosity field the run used, by the deck's run plan: porosity.frac
    in the fractal model; one value everywhere (0.1 in a legacy run of the
    layered model, whatever the deck's phi_layer); or each row its layer's
    water proportion."""
    if deck is None:
        return None
    try:
        nx, ny, model, source = deck.nx, deck.ny, deck.model, deck.porosity_source
        if source == "by_layer":
            nl = [deck["nl(%d)" % i] for i in range(1, deck.nmat + 1)] + [0]
            water = deck.water_proportion + [0.0]
            return _porosity.by_layer(nx, ny, nl[:2], water[:2])
    except DeckError:
        return None
    frac = os.path.join(run_dir, "porosity.frac")
    if model == 1 and os.path.isfile(frac):
        try:
            return _porosity.read(frac, nx, ny)
        except (DeckError, ValueError):
            return None
    return _porosity.uniform(nx, ny, source if not isinstance(source, dict) else 0.1)


def finite(value):
    """True for a number that is neither NaN nor infinite."""
    return isinstance(value, (int, float)) and math.isfinite(value)
