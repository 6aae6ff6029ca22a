"""Decks of threephase, legacy and keyword, with every field by name.

The legacy deck holds one value per line: 9 head lines, then 20 lines per
layer (nmat layers). Three line forms are in use, and an edit respects each:
  free     the first item on the line (up to a blank, comma or slash); blank
           lines before it are skipped, text after it is a note;
  fixed5   an integer in columns 1-5 (blank reads as 0);
  fixed20  a real in columns 1-20; digits without a decimal point carry 10
           implied decimals, so "25" there means 2.5e-9: every value written
           into such a field gets a decimal point.

The keyword deck is TOML: the head values as `name = value`, the per-layer
values either as arrays (`akf = [2.25e9, 2.25e9]`) or in `[layer.1]`,
`[layer.2]` tables. Both read to the same names: head names (`nx`, `freq`)
and per-layer names with their layer (`ro1(2)`).
"""

import math
import os
import re
import tomllib

import json

_REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def _definition(name):
    """The repository's deck definition deck/NAME.json, or None without one."""
    path = os.path.join(_REPO, "deck", name + ".json")
    if not os.path.isfile(path):
        return None
    with open(path, encoding="utf-8") as f:
        return json.load(f)


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
    """A deck, a name or a value that cannot be placed or written."""


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
    a keyword deck keeps its values. `source_dir` is the folder of the deck's
    side files; `porosity` an optional (ny, nx) field written as
    porosity.frac when the deck is run.
    """

    def __init__(self, text, form=None, source_dir=None):
        self.form = form or detect_form(text)
        self.source_dir = source_dir
        self.porosity = None
        self.lines, self.where, self.values = [], {}, {}
        if self.form == "legacy":
            self.lines = text.splitlines(keepends=True)
            self._locate()
        else:
            self.values = read_keyword(text)

    @classmethod
    def read(cls, path):
        """The deck in file `path`; its side files are looked for beside it."""
        with open(path) as f:
            return cls(f.read(), source_dir=os.path.dirname(os.path.abspath(path)))

    def copy(self):
        """An independent deck with the same text, side files and porosity."""
        d = Deck(self.text(), form=self.form, source_dir=self.source_dir)
        d.porosity = None if self.porosity is None else self.porosity.copy()
        return d

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
        if self.form == "keyword":
            self.values[name] = _coerce(name, value)
        else:
            self._legacy_set(name, value)

    def __getattr__(self, name):
        if name.startswith("_") or field_kind(name) is None:
            raise AttributeError(name)
        return self[name]

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
        return "".join(self.lines) if self.form == "legacy" else keyword_text(self.as_dict())

    def legacy_text(self):
        """The deck in the legacy form the program reads on standard input."""
        return self.text() if self.form == "legacy" else legacy_text(self.as_dict())

    def keyword_text(self):
        """The deck as a keyword (TOML) deck."""
        return keyword_text(self.as_dict())

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
        return problems

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
            raise DeckError("the deck ends before the line of %s" % name)
        return self.lines[self.where[name]]

    def _legacy_value(self, name):
        return parse_field(self._line(name), field_kind(name))

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
    """'keyword' when the first value line is `name = value` (or a table
    header), 'legacy' when it starts with a number."""
    for line in text.splitlines():
        s = line.strip()
        if not s or s.startswith("#"):
            continue
        return "keyword" if re.match(r"(\[|[A-Za-z_][A-Za-z0-9_.]*\s*=)", s) else "legacy"
    return "legacy"


def read_keyword(text):
    """The values of a keyword deck by name; DeckError naming the key for an
    unknown key, a value of the wrong type or a layer given twice."""
    try:
        data = tomllib.loads(text)
    except tomllib.TOMLDecodeError as e:
        raise DeckError("keyword deck: %s" % e) from None
    values = {}

    def put(name, v):
        if name in values:
            raise DeckError("keyword deck: %s is given twice" % name)
        if isinstance(v, bool) or not isinstance(v, (int, float)):
            raise DeckError("keyword deck: %s = %r is not a number" % (name, v))
        values[name] = _coerce(name, v)

    layers = data.pop("layer", {})
    if not isinstance(layers, dict):
        raise DeckError("keyword deck: 'layer' must be a table of [layer.N] tables")
    for key, v in data.items():
        if key in dict(HEAD):
            put(key, v)
        elif key in dict(LAYER):
            if not isinstance(v, list):
                v = [v] * MAX_LAYERS
            for i, item in enumerate(v, 1):
                if i > MAX_LAYERS:
                    raise DeckError("keyword deck: %s has more than %d layers" % (key, MAX_LAYERS))
                put("%s(%d)" % (key, i), item)
        else:
            raise DeckError("keyword deck: unknown key '%s'" % key)
    for index, table in layers.items():
        if not (str(index).isdigit() and 1 <= int(index) <= MAX_LAYERS) or \
                not isinstance(table, dict):
            raise DeckError("keyword deck: [layer.%s] is not a layer 1..%d" % (index, MAX_LAYERS))
        for key, v in table.items():
            if key not in dict(LAYER):
                raise DeckError("keyword deck: unknown key '%s' in [layer.%s]" % (key, index))
            put("%s(%s)" % (key, int(index)), v)
    nmat = values.get("nmat", 1)
    for name in list(values):
        m = re.fullmatch(r"[a-z0-9_]+\((\d+)\)", name)
        if m and int(m.group(1)) > nmat:
            del values[name]  # a scalar given for every layer, beyond nmat
    return values


def _toml_number(v):
    if isinstance(v, int):
        return str(v)
    text = repr(float(v))
    return text if ("." in text or "e" in text or "inf" in text or "nan" in text) else text + ".0"


def keyword_text(values):
    """A keyword (TOML) deck of the values: head, then one table per layer."""
    out = ["# threephase keyword deck: SI units (Pa, kg/m3, Pa s, m2, m, Hz)"]
    for name, _ in HEAD:
        if name in values:
            out.append("%s = %s" % (name, _toml_number(values[name])))
    for i in range(1, values.get("nmat", 1) + 1):
        out += ["", "[layer.%d]" % i]
        for name, _ in LAYER:
            key = "%s(%d)" % (name, i)
            if key in values:
                out.append("%s = %s" % (name, _toml_number(values[key])))
    return "\n".join(out) + "\n"


def legacy_text(values):
    """A legacy deck of the values, one per line, each in its line's form,
    with the field's name as the note."""
    lines = []
    for name in field_names(values.get("nmat", 1)):
        if name not in values:
            raise DeckError("the deck gives no value for %s" % name)
        kind, v = field_kind(name), values[name]
        if kind == "fixed5":
            text = str(int(v)).rjust(5)
        elif kind == "fixed20":
            text = fixed_real_text(v)
        elif kind == "free_int":
            text = str(int(v))
        else:
            text = repr(float(v))
        lines.append(text.ljust(20) + name)
    return "\n".join(lines) + "\n"
