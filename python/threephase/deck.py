"""Decks of threephase, legacy and keyword, with every field by name.

The legacy deck holds one value per line: 9 head lines, then 20 lines per
layer (nmat layers). Three line forms are in use, and an edit respects each:
  free     the first item on the line (up to a blank, comma or slash); blank
           lines before it are skipped, text after it is a note;
  fixed5   an integer in columns 1-5 (blank reads as 0);
  fixed20  a real in columns 1-20; digits without a decimal point carry 10
           implied decimals, so "25" there means 2.5e-9: every value written
           into such a field gets a decimal point.

The keyword deck is TOML: the head values as `name = value`, one
`[[layer]]` table per layer with the 20 per-layer names, and a `[run]` table
saying what the run uses (materials, water proportion of each layer,
porosity, solver, output folder, rigid-plate tests, frequencies of a curve, elastic
form). Both forms read to the same names: head
names (`nx`, `freq`) and per-layer names with their layer (`ro1(2)`); the
run plan is a set of attributes (`materials`, `water_proportion`,
`porosity_source`, `solver`, `output`, `stiffness`, `frequencies`,
`elastic_form`), fixed for a legacy deck by what the
legacy run does. Both are written as the program's converter writes them.
"""

import decimal
import difflib
import math
import os
import re
import tomllib

import json

_PACKAGE = os.path.dirname(os.path.abspath(__file__))
_REPO = os.path.dirname(os.path.dirname(_PACKAGE))


def _definition(name):
    """The deck definition NAME.json: the copy an installed package carries
    (definition/), else the repository's deck/NAME.json; None without one."""
    for path in (os.path.join(_PACKAGE, "definition", name + ".json"),
                 os.path.join(_REPO, "deck", name + ".json")):
        if os.path.isfile(path):
            with open(path, encoding="utf-8") as f:
                return json.load(f)
    return None


# The program's field table: line, form, unit, allowed ranges and physical
# spans of every field. The layout below is the table's when it is there;
# the built-in one is today's deck, for a checkout without the table.
FIELD_TABLE = _definition("fields")
_KIND = {"free_real": "free_real", "free_int": "free_int", "i5": "fixed5", "f20": "fixed20"}


def _layout(scope):
    fields = sorted((f for f in FIELD_TABLE["fields"] if f["scope"] == scope),
                    key=lambda f: f["line"])
    return [(f["name"], _KIND[f["form"]]) for f in fields]


if FIELD_TABLE:
    HEAD, LAYER = _layout("head"), _layout("layer")
    MAX_LAYERS = FIELD_TABLE["max_layers"]
else:
    HEAD = [("freq", "free_real"), ("freq_max", "free_real"), ("n_freq", "free_int"),
            ("domain_size", "free_real"), ("nx", "free_int"), ("ny", "free_int"),
            ("key_model", "fixed5"), ("model", "fixed5"), ("nmat", "free_int")]
    LAYER = [("nl", "free_int")] + [(name, "fixed20") for name in (
        "akf", "ro2", "eta", "ro1", "ro3", "phi_a", "phi_layer", "capa_1_0", "capa_3_0", "s3",
        "rs1", "rs3", "coef_b13", "ak_air", "xmu_air", "ak_s1", "xmu_s1", "ak_s3", "xmu_s3")]
    MAX_LAYERS = 2

MAX_CELLS = 60
FIXED_WIDTH = {"fixed5": 5, "fixed20": 20}

# The reader's range checks when the field table is absent (exit status 2).
# above0: must be > 0; fraction: 0..1; each may hold only in one model
# (key_model 0 permafrost, 1 shaley sand) or only for layer 1.
RANGES = {"nx": (1, MAX_CELLS), "ny": (1, MAX_CELLS), "key_model": (0, 1),
          "model": (0, 1), "nmat": (1, MAX_LAYERS)}
ABOVE_ZERO = {"freq": None, "domain_size": None, "akf": None, "ro1": None, "ro2": None,
              "ro3": None, "ak_s1": None, "xmu_s1": None, "ak_s3": None, "xmu_s3": None,
              "capa_1_0": 0, "capa_3_0": 0, "rs1": 1, "rs3": 1}
FRACTIONS = {"phi_layer": None, "phi_a": 0, "s3": 1}
SIDE_FILES = ("elast_coef_sand", "b11_b22_b12_sand")


class DeckError(Exception):
    """A deck, a name or a value that cannot be placed or written. `path`
    and `line` (1-based) say where in a deck file, when known: the message
    then starts "PATH, line N: " as the program's own does; `key` is the
    keyword deck's name the message is about, for finding its line."""

    def __init__(self, message, path=None, line=None, key=None):
        super().__init__(message)
        self.message, self.path, self.line, self.key = message, path, line, key

    def __str__(self):
        where = ", ".join(w for w in (self.path, self.line and "line %d" % self.line) if w)
        return "%s: %s" % (where, self.message) if where else self.message

    def located(self, path, line=None):
        """The same error placed in file `path` (at `line`, else its own)."""
        return DeckError(self.message, path, line or self.line, self.key)


def field_names(nmat=MAX_LAYERS):
    """Every field name in deck order: head names, then name(i) per layer."""
    names = [n for n, _ in HEAD]
    for i in range(1, nmat + 1):
        names += ["%s(%d)" % (n, i) for n, _ in LAYER]
    return names


def field_kind(name):
    """The line form of a field ('free_real', 'fixed20', ...), or None."""
    m = re.fullmatch(r"([a-z0-9_]+)\((\d+)\)", name)
    if m and 1 <= int(m.group(2)) <= MAX_LAYERS:
        return dict(LAYER).get(m.group(1))
    return dict(HEAD).get(name)


def normalize_name(name):
    """'AKF( 1 )' -> 'akf(1)'; DeckError on a name the deck does not have."""
    n = re.sub(r"\s+", "", name).lower()
    if field_kind(n) is None:
        hint = ""
        if n in dict(LAYER):
            hint = " (a per-layer value needs its layer: %s(1) or %s(2))" % (n, n)
        raise DeckError("no deck field is named '%s'%s; the fields are: %s"
                        % (name, hint, " ".join(field_names())))
    return n


def _blank(line):
    return line.strip(" \t\r\n") == ""


def _free_item(line):
    m = re.match(r"[ \t]*([^ \t\r\n,/]+)", line)
    return m.group(1) if m else ""


_REAL = re.compile(r"([+-]?)(\d*\.?\d*)(?:[eEdDqQ]?([+-]?\d+))?")
_SPECIAL = {"inf": math.inf, "infinity": math.inf, "nan": math.nan}
INT_MIN, INT_MAX = -2**31, 2**31 - 1
# Fixed fields by form: (columns, implied decimals); f12 is porosity.frac's.
FIXED_FORMS = {"i5": (5, 0), "fixed5": (5, 0), "f20": (20, 10), "fixed20": (20, 10),
               "f12": (12, 4)}


def _without_blanks(text):
    return text.replace(" ", "").replace("\t", "").replace("\r", "").replace("\n", "")


def parse_real(text, implied=0):
    """A real as the program reads it: blanks ignored, D/Q exponents or a
    bare signed exponent ("1.5+3"), inf and nan as words, and digits without
    a decimal point carry `implied` decimals. An empty text reads as 0 (an
    empty fixed field); a value beyond the doubles is refused."""
    t = _without_blanks(text)
    if t == "":
        return 0.0
    sign, word = (t[0], t[1:]) if t[:1] in "+-" else ("", t)
    if word.lower() in _SPECIAL:
        return -_SPECIAL[word.lower()] if sign == "-" else _SPECIAL[word.lower()]
    m = _REAL.fullmatch(t)
    if m is None or not re.search(r"\d", m.group(2)):
        raise DeckError("'%s' is not a number" % text.strip())
    exp = int(m.group(3) or 0)
    if "." not in m.group(2):
        exp -= implied
    value = float("%s%se%d" % (m.group(1), m.group(2), exp))
    if math.isinf(value):
        raise DeckError("'%s' is beyond the range of a double" % text.strip())
    return value


def parse_int(text):
    """An integer of 32 bits, blanks ignored; an empty text reads as 0."""
    t = _without_blanks(text)
    if t == "":
        return 0
    if not re.fullmatch(r"[+-]?\d+", t) or not INT_MIN <= int(t) <= INT_MAX:
        raise DeckError("'%s' is not an integer" % text.strip())
    return int(t)


def parse_field(line, form):
    """The value a line holds in `form` (free_real, free_int, i5, f20, f12,
    or fixed5, fixed20), as the program reads it."""
    if form.startswith("free"):
        item = _free_item(line)
        if item == "":
            raise DeckError("no value on the line")
        return parse_real(item) if form == "free_real" else parse_int(item)
    width, implied = FIXED_FORMS[form]
    field = line.rstrip("\r\n")[:width]
    return parse_int(field) if implied == 0 else parse_real(field, implied)


def fixed_real_text(value, width=20):
    """A real for a fixed field of `width` columns, always with a decimal
    point, with as many digits as fit (17 when they do)."""
    if not math.isfinite(value):
        raise DeckError("%r is not a finite number" % value)
    text = repr(float(value))
    digits = 17
    while len(text) > width and digits > 1:
        digits -= 1
        text = "%.*e" % (digits - 1, value)
    if "." not in text:
        mant, _, exp = text.partition("e")
        text = mant + ".0" + ("e" + exp if exp else "")
    return text


def _as_real(name, value):
    try:
        number = float(value)
    except (TypeError, ValueError):
        raise DeckError("%s: '%s' is not a number" % (name, value)) from None
    if not math.isfinite(number):
        raise DeckError("%s: '%s' is not a finite number" % (name, value))
    return number


def _as_int(name, value):
    number = _as_real(name, value)
    if number != int(number):
        raise DeckError("%s takes an integer, not '%s'" % (name, value))
    return int(number)


def _coerce(name, value):
    kind = field_kind(name)
    return _as_int(name, value) if kind in ("free_int", "fixed5") else _as_real(name, value)


class Deck:
    """A deck of either form: its values by name, and the text it came from.

    A legacy deck keeps its lines (with their notes) and edits them in place;
    a keyword deck keeps its values and its run plan. `source_dir` is the
    folder of the deck's side files; `porosity` an optional (ny, nx) field
    written as porosity.frac when the deck is run.

    The run plan, as attributes (a legacy deck's are those of the legacy run
    and cannot be set: `as_keyword()` first):
      materials         "uniform" (every cell material 1) or "layered"
      water_proportion  list of one water proportion per layer
      porosity_source   a number (every cell), "by_layer", or {"file": PATH}
      solver            "default", "own" or "mumps"
      output            results folder of `threephase run`, or None
    """

    def __init__(self, text, form=None, source_dir=None):
        self.form = form or detect_form(text)
        self.source_dir = source_dir
        self.porosity, self.path = None, None
        self.lines, self.where, self.values, self.plan = [], {}, {}, None
        if self.form == "legacy":
            self.lines = text.splitlines(keepends=True)
            self._locate()
        else:
            self.values, self.plan = read_keyword(text)

    @classmethod
    def read(cls, path):
        """The deck in file `path`; its side files are looked for beside it.
        A deck that does not read raises DeckError naming the file and line."""
        path = os.path.abspath(os.fspath(path))
        with open(path) as f:
            text = f.read()
        try:
            deck = cls(text, source_dir=os.path.dirname(path))
        except DeckError as e:
            raise e.located(path) from None
        deck.path = path
        return deck

    def copy(self):
        """An independent deck with the same text, side files and porosity."""
        d = Deck(self.text(), form=self.form, source_dir=self.source_dir)
        d.porosity = None if self.porosity is None else self.porosity.copy()
        d.path = self.path
        return d

    def as_keyword(self):
        """A keyword deck of the same values whose [run] table states what the
        legacy run does (itself when already keyword); porosity kept."""
        d = Deck(self.keyword_text(), form="keyword", source_dir=self.source_dir)
        d.porosity = None if self.porosity is None else self.porosity.copy()
        return d

    def run_plan(self):
        """The run plan as a dict under the keys of the [run] table (a copy:
        change the plan through the attributes, each set as a whole)."""
        plan = self.plan if self.plan is not None else legacy_plan(self._plan_inputs())
        return {k: (list(v) if isinstance(v, list) else dict(v) if isinstance(v, dict) else v)
                for k, v in plan.items()}

    def _plan_inputs(self):
        """The values the legacy plan depends on (model and nmat)."""
        return {n: self[n] for n in ("model", "nmat") if self._has(n)}

    # --- values by name -------------------------------------------------
    def __getitem__(self, name):
        name = normalize_name(name)
        if self.form == "keyword":
            if name not in self.values:
                raise DeckError("the deck gives no value for %s" % name)
            return self.values[name]
        return self._legacy_value(name)

    def __setitem__(self, name, value):
        name = normalize_name(name)
        # deck.model = "fractal"; a number as text ("1", from a command line)
        # is the number.
        if name in CHOICES and isinstance(value, str) and not value.strip().isdigit():
            if value not in CHOICES[name]:
                raise DeckError('%s is "%s" or "%s", not %r' % ((name,) + CHOICES[name] + (value,)))
            value = CHOICES[name].index(value)
        if self.form == "keyword":
            self.values[name] = _coerce(name, value)
        else:
            self._legacy_set(name, value)

    def __getattr__(self, name):
        if name in PLAN_ATTRIBUTES:
            return self.run_plan()[PLAN_ATTRIBUTES[name]]
        if name.startswith("_") or field_kind(name) is None:
            raise AttributeError(name)
        return self[name]

    def __setattr__(self, name, value):
        """deck.nx = 40 sets the deck's value (as deck["nx"] = 40 does), a
        plan attribute the run plan; only the deck's own state and names
        that are neither are plain attributes. A per-layer name without its
        layer (deck.ro1 = ...) is refused: the layer is part of the name."""
        if name in PLAN_ATTRIBUTES:
            self._set_plan(name, value)
        elif name in _STATE:
            object.__setattr__(self, name, value)
        elif field_kind(name) is not None:
            self[name] = value
        elif name in dict(LAYER):
            raise DeckError("%s is a per-layer value: set deck[\"%s(1)\"] or deck[\"%s(2)\"]"
                            % (name, name, name))
        else:
            # A misspelt name would otherwise become an attribute the run
            # never sees.
            near = difflib.get_close_matches(name, [n for n, _ in HEAD] + list(PLAN_ATTRIBUTES),
                                             n=1)
            raise DeckError("a deck has no value or run-plan attribute named '%s'%s" % (
                name, "; did you mean '%s'?" % near[0] if near else ""))

    def _set_plan(self, name, value):
        if self.plan is None:
            raise DeckError("a legacy deck's run is fixed (material 1, water proportion 0.1); "
                            "set %s on deck.as_keyword()" % name)
        self.plan[PLAN_ATTRIBUTES[name]] = _plan_value(name, value, self.nmat)
        if name == "water_proportion":
            # phi_layer is each layer's water proportion too: kept equal to
            # the plan's, the deck says one (the program warns of a
            # phi_layer that [run] water_proportion overrides).
            for i, w in enumerate(self.plan["water_proportion"], 1):
                self.values["phi_layer(%d)" % i] = w

    def names(self):
        """The names the deck holds values for, in deck order."""
        return [n for n in field_names(self.nmat) if self._has(n)]

    def _has(self, name):
        return name in (self.values if self.form == "keyword" else self.where)

    def as_dict(self):
        """Every value of the deck by name, in deck order."""
        return {n: self[n] for n in self.names()}

    # --- text -----------------------------------------------------------
    def text(self):
        """The deck in its own form."""
        return "".join(self.lines) if self.form == "legacy" else self.keyword_text()

    def legacy_text(self):
        """The deck in the legacy form the program reads on standard input."""
        return self.text() if self.form == "legacy" else legacy_text(self.as_dict())

    def keyword_text(self):
        """The deck as a keyword (TOML) deck, its [run] table the run plan."""
        return keyword_text(self.as_dict(), self.run_plan())

    def plan_differences(self):
        """What a legacy run of this deck would ignore of its run plan, one
        sentence each (empty for a legacy deck)."""
        return plan_differences(self.as_dict(), self.run_plan())

    def write(self, path, form=None):
        """Write the deck to `path` in its own form or the one asked for."""
        form = form or self.form
        with open(path, "w") as f:
            f.write(self.legacy_text() if form == "legacy" else self.keyword_text())

    # --- checks ---------------------------------------------------------
    def check(self):
        """The problems the program's reader would stop on, as messages;
        an empty list when the deck reads."""
        problems = []
        try:
            values = self.as_dict()
        except DeckError as e:
            return [str(e)]
        for name in field_names(min(max(values.get("nmat", 1), 1), MAX_LAYERS)):
            if name not in values:
                problems.append("the deck gives no value for %s" % name)
        for name, v in values.items():
            problems += (_table_problems if FIELD_TABLE else _check_value)(name, v, values)
        for i in range(1, min(values.get("nmat", 1), MAX_LAYERS) + 1):
            water, absolute = values.get("phi_layer(%d)" % i), values.get("phi_a(%d)" % i)
            if values.get("key_model") == 0 and None not in (water, absolute) \
                    and not water < absolute:
                problems.append("phi_layer(%d) = %r must stay below phi_a(%d) = %r in the ice "
                                "model (the run stops with code 11)" % (i, water, i, absolute))
        nls = [values.get("nl(%d)" % i, 0) for i in range(1, values.get("nmat", 1) + 1)]
        if nls and all(n == 0 for n in nls):
            problems.append("the layers are all 0 cells thick")
        return problems + self._plan_problems(values)

    def _plan_problems(self, values):
        if self.plan is None:
            return []
        plan, out = self.plan, []
        if len(plan["water_proportion"]) != values.get("nmat"):
            out.append("water_proportion has %d values for nmat = %s layers"
                       % (len(plan["water_proportion"]), values.get("nmat")))
        from_file = isinstance(plan["porosity"], dict)
        if from_file != (values.get("model") == 1):
            out.append('a porosity file needs model = "fractal"' if from_file else
                       'model = "fractal" takes the porosity from a file: write '
                       'porosity = { file = "PATH" }')
        return out

    def warnings(self):
        """Values far outside the usual span of their quantity (a modulus in
        GPa, a density in g/cm3): they read, but are likely a unit slip.
        Needs the field table; empty without it."""
        out = []
        for name, v in self.as_dict().items():
            f = _table_entry(name)
            span = f and f.get("physical")
            if span and not span["min"] <= v <= span["max"]:
                out.append("%s = %r is outside the usual span of a %s, %g..%g %s (%s)" % (
                    name, v, span["quantity"], span["min"], span["max"], f["unit"],
                    span["note"]))
        return out

    # --- legacy layout --------------------------------------------------
    def _locate(self):
        pos = 0
        layout = list(HEAD)
        for i in range(1, MAX_LAYERS + 1):
            layout += [("%s(%d)" % (n, i), kind) for n, kind in LAYER]
        for name, kind in layout:
            if kind.startswith("free"):
                while pos < len(self.lines) and _blank(self.lines[pos]):
                    pos += 1
            if pos >= len(self.lines):
                break
            self.where[name] = pos
            pos += 1

    def _line(self, name):
        if name not in self.where:
            raise DeckError("the deck ends before the line of %s" % name, self.path,
                            len(self.lines) + 1)
        return self.lines[self.where[name]]

    def _legacy_value(self, name):
        try:
            return parse_field(self._line(name), field_kind(name))
        except DeckError as e:
            if e.line is not None:
                raise
            raise DeckError("%s: %s" % (name, e.message), self.path,
                            self.where[name] + 1) from None

    def _legacy_set(self, name, value):
        kind = field_kind(name)
        line = self._line(name)
        end = "\n" if line.endswith("\n") else ""
        body = line.rstrip("\r\n")
        if kind in ("free_int", "fixed5"):
            text = str(_as_int(name, value))
        else:
            number = _as_real(name, value)
            text = fixed_real_text(number) if kind == "fixed20" else repr(number)
        if kind.startswith("free"):
            m = re.match(r"([ \t]*[^ \t,/]+)(.*)", body)
            width, rest = len(m.group(1)), m.group(2)
            # Keep the note where it was: a longer value eats into the blanks
            # before it, leaving at least one.
            blanks = len(rest) - len(rest.lstrip(" \t"))
            if rest and len(text) > width:
                rest = rest[min(len(text) - width, max(blanks - 1, 0)):]
            new = text.ljust(width) if rest[:1] in (" ", "\t") else text
            self.lines[self.where[name]] = new + rest + end
        else:
            width = FIXED_WIDTH[kind]
            if len(text) > width:
                raise DeckError("%s = %s does not fit in the %d columns of its line"
                                % (name, text, width))
            text = text.rjust(width) if kind == "fixed5" else text.ljust(width)
            self.lines[self.where[name]] = text + body[width:] + end

    def __repr__(self):
        try:
            return "Deck(%s, nx=%s, ny=%s)" % (self.form, self.nx, self.ny)
        except DeckError:
            return "Deck(%s, incomplete)" % self.form


# The deck's own attributes, set as plain attributes.
_STATE = {"form", "source_dir", "porosity", "lines", "where", "values", "plan", "path"}
# Attribute name -> key of the run plan.
PLAN_ATTRIBUTES = {"materials": "materials", "water_proportion": "water_proportion",
                   "porosity_source": "porosity", "solver": "solver", "output": "output",
                   "stiffness": "stiffness", "frequencies": "frequencies",
                   "elastic_form": "elastic_form"}


def _plan_value(name, value, nmat):
    """A run plan attribute checked as the keyword reader checks it."""
    if name == "water_proportion":
        water = list(value) if isinstance(value, (list, tuple)) else [value] * nmat
        return [_keyword_fraction("water_proportion(%d)" % i, float(w))
                for i, w in enumerate(water, 1)]
    if name == "porosity_source":
        return _keyword_porosity(float(value) if _is_number(value) else value)
    if name == "materials" and value not in ("uniform", "layered"):
        raise DeckError('materials must be "uniform" or "layered", not %r' % (value,))
    if name == "solver" and value not in SOLVERS:
        raise DeckError('solver must be "default", "own" or "mumps", not %r' % (value,))
    if name == "stiffness" and value not in STIFFNESS:
        raise DeckError('stiffness must be "vertical" or "full", not %r' % (value,))
    if name == "elastic_form" and value not in ELASTIC_FORMS:
        raise DeckError('elastic_form must be "two_dimensional" or "plane_strain", not %r'
                        % (value,))
    if name == "frequencies":
        return _keyword_frequencies(value)
    return value


def _keyword_frequencies(f):
    """A curve's frequencies as [run] frequencies holds them: a list of
    positive numbers (Hz), or {from, to, points} (logarithmic); None: none."""
    if f is None:
        return None
    if isinstance(f, dict):
        if set(f) != {"from", "to", "points"} or not all(_is_number(f[k]) for k in f) \
                or not 0 < f["from"] <= f["to"] or int(f["points"]) != f["points"] \
                or f["points"] < 1:
            raise DeckError("keyword deck: frequencies must be { from = FMIN, to = FMAX, "
                            "points = N } with 0 < FMIN <= FMAX and N >= 1")
        return {"from": float(f["from"]), "to": float(f["to"]), "points": int(f["points"])}
    if not isinstance(f, (list, tuple)) or not f or \
            not all(_is_number(v) and v > 0 for v in f):
        raise DeckError("keyword deck: frequencies must be a list of positive numbers (Hz)")
    return [float(v) for v in f]


def _split(name):
    """'ro1(2)' -> ('ro1', 2); 'nx' -> ('nx', None)."""
    m = re.fullmatch(r"([a-z0-9_]+)\((\d+)\)", name)
    return (m.group(1), int(m.group(2))) if m else (name, None)


def _table_entry(name):
    if not FIELD_TABLE:
        return None
    base = _split(name)[0]
    return next((f for f in FIELD_TABLE["fields"] if f["name"] == base), None)


def _table_problems(name, v, values):
    """Messages for one value against the field table's allowed ranges."""
    if isinstance(v, float) and not math.isfinite(v):
        return ["%s = %r is not a finite number" % (name, v)]
    layer = _split(name)[1]
    out = []
    for rule in (_table_entry(name) or {}).get("allowed", []):
        if not all(_clause_holds(c, values, layer) for c in rule["when"]):
            continue
        lo, hi = rule["min"], rule["max"]
        low = lo is not None and (v <= lo if rule["min_exclusive"] else v < lo)
        high = hi is not None and (v >= hi if rule["max_exclusive"] else v > hi)
        if low or high:
            bounds = []
            if lo is not None:
                bounds.append(("above %r" if rule["min_exclusive"] else "at least %r") % lo)
            if hi is not None:
                bounds.append(("below %r" if rule["max_exclusive"] else "at most %r") % hi)
            span = " and ".join(bounds)
            out.append("%s = %r must be %s%s" % (name, v, span,
                                                 " (%s)" % rule["why"] if rule["why"] else ""))
    return out


def _clause_holds(clause, values, layer):
    have = layer if clause["field"] == "layer" else values.get(clause["field"])
    return (have == clause["value"]) == (clause["op"] == "==")


def _check_value(name, v, values):
    """Messages for one value against the program's range checks."""
    base, layer = name, None
    m = re.fullmatch(r"([a-z0-9_]+)\((\d+)\)", name)
    if m:
        base, layer = m.group(1), int(m.group(2))
    model = values.get("key_model", 0)
    out = []
    if isinstance(v, float) and not math.isfinite(v):
        return ["%s = %r is not a finite number" % (name, v)]
    if name in RANGES:
        lo, hi = RANGES[name]
        if not lo <= v <= hi:
            out.append("%s = %s is outside the allowed range %d..%d" % (name, v, lo, hi))
    if base == "nl" and v < 0:
        out.append("%s = %s: a layer cannot be thinner than 0 cells" % (name, v))
    if name == "freq_max" and values.get("n_freq", 1) != 1 and not v > 0:
        out.append("freq_max = %s must be above 0 when n_freq is not 1" % v)
    if base in ABOVE_ZERO and not v > 0:
        cond = ABOVE_ZERO[base]
        if cond is None or (cond == 0 and model == 0) or (cond == 1 and model == 1 and layer == 1):
            out.append("%s = %s must be above 0" % (name, v))
    if base in FRACTIONS and not 0.0 <= v <= 1.0:
        cond = FRACTIONS[base]
        if cond is None or cond == model:
            out.append("%s = %s is outside 0..1" % (name, v))
    return out


def detect_form(text):
    """'keyword' when the first line that is not blank is a comment, a
    [table] header or `name = value`; 'legacy' otherwise (the program's rule)."""
    for line in text.splitlines():
        s = line.lstrip(" \t\r")
        if not s:
            continue
        if s[0] in "#[":
            return "keyword"
        return "keyword" if re.match(r"[A-Za-z0-9_-]+[ \t]*=", s) else "legacy"
    return "legacy"


# --- the keyword form -------------------------------------------------------
# The comment the program's converter writes after each value, by name.
HEAD_NOTES = {
    "freq": "frequency of the run, Hz", "freq_max": "end of the frequency sweep, Hz",
    "n_freq": "points of the sweep", "domain_size": "extent of the sample along y, m",
    "nx": "cells along x", "ny": "cells along y",
    "key_model": 'rock-physics model: "permafrost" or "shaley_sand"',
    "model": 'porosity model: "layered" or "fractal"', "nmat": "number of layers"}
LAYER_NOTES = {
    "nl": "thickness of the layer in cells",
    "akf": "fluid bulk modulus, Pa", "ro2": "fluid density, kg/m3",
    "eta": "fluid viscosity, Pa s", "ro1": "density of solid 1, kg/m3",
    "ro3": "density of solid 3, kg/m3",
    "phi_a": "absolute porosity, water plus ice (permafrost model)",
    "phi_layer": "water proportion of the layer",
    "capa_1_0": "reference permeability of solid 1, m2 (permafrost model)",
    "capa_3_0": "reference permeability of solid 3, m2 (permafrost model)",
    "s3": "shale proportion of the solid (shaley-sand model)",
    "rs1": "grain-size parameter of solid 1 (shaley-sand model)",
    "rs3": "grain-size parameter of solid 3 (shaley-sand model)",
    "coef_b13": "friction coefficient between solids 1 and 3, kg/(m3 s)",
    "ak_air": "bulk modulus of the pore inclusions, Pa",
    "xmu_air": "shear modulus of the pore inclusions, Pa",
    "ak_s1": "grain bulk modulus of solid 1, Pa", "xmu_s1": "grain shear modulus of solid 1, Pa",
    "ak_s3": "grain bulk modulus of solid 3, Pa", "xmu_s3": "grain shear modulus of solid 3, Pa"}
# The two head values that are a choice, by name or by number.
CHOICES = {"key_model": ("permafrost", "shaley_sand"), "model": ("layered", "fractal")}
RUN_KEYS = ("materials", "water_proportion", "porosity", "solver", "output", "stiffness",
            "frequencies", "elastic_form")
SOLVERS = ("default", "own", "mumps")
STIFFNESS = ("vertical", "full")
ELASTIC_FORMS = ("two_dimensional", "plane_strain")


def legacy_plan(values):
    """The run plan the legacy run follows whatever its deck says: material 1
    everywhere, water proportion 0.1, porosity 0.1 (layered model) or
    porosity.frac (fractal model)."""
    nmat = min(max(values.get("nmat", 1), 1), MAX_LAYERS)
    porosity = {"file": "porosity.frac"} if values.get("model") == 1 else 0.1
    return {"materials": "uniform", "water_proportion": [0.1] * nmat, "porosity": porosity,
            "solver": "default", "output": None, "stiffness": "vertical", "frequencies": None,
            "elastic_form": "two_dimensional"}


def _is_number(v):
    return isinstance(v, (int, float)) and not isinstance(v, bool)


def _kind_of(v):
    return {bool: "a boolean", int: "an integer", float: "a float", str: "a string",
            dict: "a table", list: "an array"}.get(type(v), "a date or time")


def _keyword_number(name, v, integer):
    if not _is_number(v) or (integer and not isinstance(v, int)):
        raise DeckError("keyword deck: %s must be %s, found %s"
                        % (name, "an integer" if integer else "a number", _kind_of(v)), key=name)
    if not integer and not math.isfinite(v):
        raise DeckError("keyword deck: %s = %r is not a finite number" % (name, v), key=name)
    return int(v) if integer else float(v)


# Head values a keyword deck may leave out, as the program reads it: the
# deck's own sweep (a run computes freq alone) and the layer count.
OPTIONAL_HEAD = ("freq_max", "n_freq", "nmat")


def _keyword_head(data):
    values = {}
    for name, kind in HEAD:
        if name not in data and name in OPTIONAL_HEAD:
            continue
        if name not in data:
            raise DeckError("keyword deck: the deck has no '%s' (%s)" % (name, HEAD_NOTES[name]))
        v = data[name]
        if name in CHOICES and isinstance(v, str):
            if v not in CHOICES[name]:
                raise DeckError('keyword deck: %s = "%s" is not "%s" or "%s"'
                                % ((name, v) + CHOICES[name]), key=name)
            values[name] = CHOICES[name].index(v)
        else:
            values[name] = _keyword_number(name, v, kind in ("free_int", "fixed5"))
    values.setdefault("freq_max", values["freq"])
    values.setdefault("n_freq", 1)
    layers = data.get("layer")
    values.setdefault("nmat", len(layers) if isinstance(layers, list) else 0)
    return values


def _model_consults(name, key_model, layer):
    """Whether the model key_model (0 permafrost, 1 shaley sand) consults the
    per-layer value `name` of layer `layer`: phi_a and the reference
    permeabilities only the permafrost model, s3 only the shaley-sand model,
    the grain sizes only its layer 1."""
    if name in ("phi_a", "capa_1_0", "capa_3_0"):
        return key_model == 0
    if name == "s3":
        return key_model == 1
    if name in ("rs1", "rs3"):
        return key_model == 1 and layer == 1
    return True


def _layer_default(name, i, values, plan):
    """The value a layer key left out takes, as the program reads it, or
    None when the run needs the key: 0 for what the model does not consult,
    1 cell for a thickness nothing follows, and for phi_layer the water
    proportion [run] or a constant porosity gives the layer."""
    constant = not isinstance(plan["porosity"], (str, dict))
    if name == "nl":
        return 1 if plan["materials"] == "uniform" and plan["porosity"] != "by_layer" else None
    if name == "phi_layer":
        if plan["water_proportion"] is not None:
            return plan["water_proportion"][i - 1]
        return plan["porosity"] if constant else None
    return None if _model_consults(name, values["key_model"], i) else 0.0


def _keyword_layers(data, values, plan):
    layers = data.get("layer")
    if not (isinstance(layers, list) and layers and all(isinstance(t, dict) for t in layers)):
        raise DeckError("keyword deck: layer must be an array of tables: write each layer "
                        "as [[layer]]")
    if len(layers) != values["nmat"]:
        raise DeckError("keyword deck: nmat = %d but the deck has %d [[layer]] %s" % (
            values["nmat"], len(layers), "entry" if len(layers) == 1 else "entries"))
    if len(layers) > MAX_LAYERS:
        raise DeckError("keyword deck: at most %d [[layer]] entries" % MAX_LAYERS)
    for i, table in enumerate(layers, 1):
        for key in table:
            if key not in dict(LAYER):
                raise DeckError("keyword deck: unknown key '%s' in [[layer]] %d" % (key, i),
                                key="%s(%d)" % (key, i))
        for name, kind in LAYER:
            key = "%s(%d)" % (name, i)
            default = None if name in table else _layer_default(name, i, values, plan)
            if default is not None:
                values[key] = default
                continue
            if name not in table:
                raise DeckError("keyword deck: [[layer]] %d has no '%s' (%s)"
                                % (i, name, LAYER_NOTES[name]))
            values[key] = _keyword_number(key, table[name], kind == "free_int")


def _keyword_fraction(name, v):
    v = _keyword_number(name, v, False)
    if not 0.0 <= v <= 1.0:
        raise DeckError("keyword deck: %s = %r is outside 0..1" % (name, v), key=name)
    return v


def _keyword_run(data, nmat):
    run = data.get("run")
    if not isinstance(run, dict):
        raise DeckError("keyword deck: the deck has no [run] table (materials, "
                        "water_proportion, porosity)")
    for key in run:
        if key not in RUN_KEYS:
            raise DeckError("keyword deck: unknown key '%s' in [run]" % key, key="run." + key)
    for key in ("materials", "porosity"):
        if key not in run:
            raise DeckError("keyword deck: [run] has no '%s'" % key)
    plan = {"materials": run["materials"], "solver": run.get("solver", "default"),
            "output": run.get("output"), "stiffness": run.get("stiffness", "vertical"),
            "elastic_form": run.get("elastic_form", "two_dimensional"),
            "frequencies": _keyword_frequencies(run.get("frequencies"))}
    for key in ("stiffness", "elastic_form"):
        _plan_value(key, plan[key], nmat)
    if plan["materials"] not in ("uniform", "layered"):
        raise DeckError('keyword deck: materials must be "uniform" or "layered"')
    if plan["solver"] not in SOLVERS:
        raise DeckError('keyword deck: solver must be "default", "own" or "mumps"')
    if plan["output"] is not None and not (isinstance(plan["output"], str) and plan["output"]):
        raise DeckError("keyword deck: output must name a folder (a string)")
    water = run.get("water_proportion")
    if water is None:
        plan["water_proportion"] = None  # each layer's phi_layer, or the constant porosity
    elif isinstance(water, list):
        if len(water) != nmat:
            raise DeckError("keyword deck: water_proportion has %d values for nmat = %d layers"
                            % (len(water), nmat))
        plan["water_proportion"] = [_keyword_fraction("water_proportion(%d)" % i, w)
                                    for i, w in enumerate(water, 1)]
    else:
        plan["water_proportion"] = [_keyword_fraction("water_proportion", water)] * nmat
    plan["porosity"] = _keyword_porosity(run["porosity"])
    return plan


def _keyword_porosity(p):
    if isinstance(p, dict):
        if set(p) != {"file"} or not isinstance(p["file"], str) or not p["file"]:
            raise DeckError('keyword deck: porosity = { file = "PATH" } needs the file\'s path '
                            'as a string')
        return {"file": p["file"]}
    if p == "by_layer":
        return p
    if isinstance(p, str):
        raise DeckError('keyword deck: porosity = "%s": write a number, "by_layer" or '
                        '{ file = "PATH" }' % p)
    return _keyword_fraction("porosity", p)


def read_keyword(text):
    """The values and the run plan of a keyword deck; DeckError naming the key
    for text that is not TOML, an unknown, missing or mistyped key, or a
    layer count that disagrees. Ranges are left to Deck.check()."""
    try:
        data = tomllib.loads(text)
    except tomllib.TOMLDecodeError as e:
        at = re.search(r"\(at line (\d+), column \d+\)", str(e))
        raise DeckError("keyword deck: %s" % e, line=int(at.group(1)) if at else None) from None
    for key in data:
        if key not in dict(HEAD) and key not in ("layer", "run"):
            raise DeckError("keyword deck: unknown key '%s'" % key, key=key)
    try:
        values = _keyword_head(data)
        # The plan first: it says which layer values the run uses.
        plan = _keyword_run(data, values["nmat"])
        _keyword_layers(data, values, plan)
        if plan["water_proportion"] is None:
            nmat = values["nmat"]
            constant = not isinstance(plan["porosity"], (str, dict))
            plan["water_proportion"] = ([plan["porosity"]] * nmat if constant else
                                        [values["phi_layer(%d)" % i] for i in range(1, nmat + 1)])
        return values, plan
    except DeckError as e:
        raise DeckError(e.message, e.path, e.line or _key_line(text, e.key), e.key) from None


def _key_line(text, key):
    """The line (1-based) of a keyword deck that sets `key` ("nx", "ro1(2)",
    "water_proportion(1)", "run.solver"); None when none does."""
    if key is None:
        return None
    base, layer = _split(key.replace("run.", ""))
    table = "run" if key.startswith("run.") or base in RUN_KEYS else \
        ("layer", layer) if layer is not None and base in dict(LAYER) else None
    here, layers = None, 0
    for n, line in enumerate(text.splitlines(), 1):
        s = line.strip()
        if s.startswith("[[layer]]"):
            layers += 1
            here = ("layer", layers)
        elif s.startswith("[run]"):
            here = "run"
        elif here == table and re.match(r"%s\s*=" % re.escape(base), s):
            return n
    return None


def format_real(v):
    """The shortest text of v that reads back to it, as the program writes
    reals: fixed or scientific notation, whichever is shorter (fixed on a
    tie), always with a decimal point, the exponent bare ("2.25e9", "1.0e-5")."""
    v = float(v)
    if not math.isfinite(v):
        return repr(v)
    sign = "-" if math.copysign(1.0, v) < 0 else ""
    mantissa, _, exp = ("%r" % abs(v)).partition("e")
    digits = mantissa.replace(".", "")
    point = (mantissa.index(".") if "." in mantissa else len(mantissa)) + int(exp or 0)
    lead = len(digits) - len(digits.lstrip("0"))
    digits, point = digits.strip("0") or "0", point - lead
    if digits == "0":
        point = 1
    e = point - 1  # the decimal exponent of the first significant digit
    sci = digits[0] + ("." + digits[1:] if len(digits) > 1 else "")
    sci_len = len(sci) + 2 + max(2, len(str(abs(e))))  # printf writes e+09
    if point <= 0:
        fixed = "0." + "0" * -point + digits
    elif point >= len(digits):
        fixed = str(int(abs(v)))  # an integer: every digit, as fixed notation prints it
    else:
        fixed = digits[:point] + "." + digits[point:]
    if len(fixed) <= sci_len:
        return sign + (fixed if "." in fixed else fixed + ".0")
    return sign + (sci if "." in sci else sci + ".0") + "e" + str(e)


def fixed_field_text(v):
    """The text of v in a 20-column fixed field of the legacy deck that reads
    back to v exactly, with a decimal point; None when none fits. Tries the
    shortest form, the shortest fixed notation, scientific with "e", then
    with a bare signed exponent ("1.5-300"), which the fixed fields also read."""
    exact = decimal.Decimal(repr(float(v))).normalize()
    fixed = format(exact, "f")
    if "." not in fixed:
        fixed = str(int(v))  # an integer: every digit, as fixed notation prints it
    mantissa, _, x = format(exact, "e").partition("e")
    mantissa = mantissa if "." in mantissa else mantissa + ".0"
    bare = mantissa[:-1] if len(mantissa) > 3 and mantissa.endswith(".0") else mantissa
    candidates = [format_real(v), fixed if "." in fixed else fixed + ".0",
                  mantissa + "e" + x.lstrip("+"), bare + (x if x[0] == "-" else "+" + x.lstrip("+"))]
    for text in candidates:
        if len(text) <= 20:
            try:
                back = parse_real(text, 10)
            except DeckError:
                continue
            if back == v and math.copysign(1.0, back) == math.copysign(1.0, v):
                return text
    return None


def _keyword_line(out, assignment, note):
    """`name = value` with its comment from column 27 (one blank after a
    longer assignment)."""
    out.append(assignment + " " * (26 - len(assignment) if len(assignment) < 26 else 1)
               + "# " + note if note else assignment)


def _toml_string(s):
    out = ['"']
    for c in s:
        if c in '"\\':
            out.append("\\" + c)
        elif ord(c) < 0x20 or ord(c) == 0x7F:
            out.append("\\u%04X" % ord(c))
        else:
            out.append(c)
    return "".join(out) + '"'


def _run_table(out, nmat, plan):
    out += ["", "[run]"]
    uniform = plan["materials"] == "uniform"
    _keyword_line(out, 'materials = "%s"' % plan["materials"],
                  "every cell is material 1 (layer 1's values)" if uniform
                  else "each row takes its layer's values")
    water = list(plan["water_proportion"])[:nmat]
    same = all(w == water[0] for w in water)
    text = format_real(water[0]) if same else "[%s]" % ", ".join(map(format_real, water))
    _keyword_line(out, "water_proportion = " + text, "of every layer" if same
                  else "one per layer")
    p = plan["porosity"]
    if isinstance(p, dict):
        _keyword_line(out, "porosity = { file = %s }" % _toml_string(p["file"]),
                      "one water fraction per cell, beside the deck")
    elif p == "by_layer":
        _keyword_line(out, 'porosity = "by_layer"', "each cell: its layer's water proportion")
    else:
        _keyword_line(out, "porosity = " + format_real(p), "water fraction of every cell")
    _keyword_line(out, 'solver = "%s"' % plan["solver"], '"own", "mumps" or "default"')
    if plan.get("output"):
        _keyword_line(out, "output = " + _toml_string(plan["output"]), "results folder")
    if plan.get("stiffness", "vertical") != "vertical":
        _keyword_line(out, 'stiffness = "%s"' % plan["stiffness"], "C11, C13, C33 and C55")
    f = plan.get("frequencies")
    if isinstance(f, dict):
        _keyword_line(out, "frequencies = { from = %s, to = %s, points = %d }"
                      % (format_real(f["from"]), format_real(f["to"]), f["points"]),
                      "a curve, Hz, logarithmic")
    elif f:
        _keyword_line(out, "frequencies = [%s]" % ", ".join(map(format_real, f)),
                      "a curve, Hz")
    if plan.get("elastic_form", "two_dimensional") != "two_dimensional":
        _keyword_line(out, 'elastic_form = "%s"' % plan["elastic_form"],
                      "a slice of a three-dimensional rock")


def keyword_text(values, plan=None):
    """The keyword (TOML) deck of the values and run plan (the legacy run's
    when None), as the program's converter writes it."""
    plan = plan or legacy_plan(values)
    out = ["# threephase keyword deck"]
    for name, kind in HEAD:
        v = values[name]
        if name in CHOICES:
            text = '"%s"' % CHOICES[name][v] if v in (0, 1) else str(v)
        else:
            text = str(int(v)) if kind == "free_int" else format_real(v)
        _keyword_line(out, "%s = %s" % (name, text), HEAD_NOTES[name])
    _run_table(out, values["nmat"], plan)
    for i in range(1, values["nmat"] + 1):
        out += ["", "[[layer]]" + " " * 17 + "# layer %d" % i]
        for name, kind in LAYER:
            v = values["%s(%d)" % (name, i)]
            text = str(int(v)) if kind == "free_int" else format_real(v)
            _keyword_line(out, "%s = %s" % (name, text), LAYER_NOTES[name])
    return "\n".join(out) + "\n"


def legacy_text(values):
    """A legacy deck of the values as the program's converter writes it: each
    value in its line's form, its note after column 20; DeckError naming a
    value that cannot be written exactly in the 20 columns of its field."""
    lines = []

    def line(value, note):
        lines.append(value + " " * (20 - len(value) if len(value) < 20 else 1) + note)

    for name, kind in HEAD:
        if name not in values:
            raise DeckError("the deck gives no value for %s" % name)
        v = values[name]
        if name in CHOICES:
            line("%5d" % v, "%s: 0 %s, 1 %s" % ((name,) + CHOICES[name]))
        else:
            line(str(int(v)) if kind == "free_int" else format_real(v),
                 "%s, %s" % (name, HEAD_NOTES[name]))
    for i in range(1, values["nmat"] + 1):
        for name, kind in LAYER:
            key = "%s(%d)" % (name, i)
            if key not in values:
                raise DeckError("the deck gives no value for %s" % key)
            if kind == "free_int":
                line(str(int(values[key])), "%s, thickness of layer %d in cells" % (key, i))
                continue
            text = fixed_field_text(values[key])
            if text is None:
                raise DeckError("%s = %s cannot be written exactly in the 20 columns of the "
                                "legacy deck" % (key, format_real(values[key])))
            line(text, "%s, %s" % (key, LAYER_NOTES[name]))
    return "\n".join(lines) + "\n"


def plan_differences(values, plan):
    """What the legacy run would do differently from `plan`, one sentence
    each: the legacy form cannot say it (the program's converter warns)."""
    legacy = legacy_plan(values)
    out = []
    if plan["materials"] != legacy["materials"]:
        out.append('materials = "layered": the legacy run gives every cell material 1')
    for i, (w, lw) in enumerate(zip(plan["water_proportion"], legacy["water_proportion"]), 1):
        if w != lw:
            out.append("water_proportion(%d) = %s: the legacy run uses 0.1" % (i, format_real(w)))
    p = plan["porosity"]
    if p == "by_layer":
        out.append('porosity = "by_layer": the legacy run gives every cell 0.1')
    elif isinstance(p, dict):
        if p["file"] != "porosity.frac":
            out.append('porosity file "%s": the legacy run reads porosity.frac in its working '
                       'folder' % p["file"])
    elif p != 0.1:
        out.append("porosity = %s: the legacy run gives every cell 0.1" % format_real(p))
    if plan["solver"] != "default":
        out.append("solver: the legacy run uses its own solver")
    if plan.get("output"):
        out.append("output: the legacy run writes into its working folder")
    if plan.get("elastic_form", "two_dimensional") != "two_dimensional":
        out.append('elastic_form = "plane_strain": the legacy run uses the two-dimensional form')
    return out
