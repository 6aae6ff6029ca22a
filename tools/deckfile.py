"""Deck layout and program lookup shared by tools/sweep and tools/plot.

The deck holds one value per line: 9 head lines, then 20 lines per layer.
Three line forms are in use, and an edit must respect each of them:
  free     the first item on the line (up to a blank, comma or slash); blank
           lines before it are skipped, text after it is a note;
  fixed5   an integer in columns 1-5 (blank reads as 0);
  fixed20  a real in columns 1-20; digits without a decimal point carry 10
           implied decimals, so "25" there means 2.5e-9: every value written
           into such a field gets a decimal point.
"""

import glob
import math
import os
import re
import shutil
import subprocess
import sys

HEAD = [
    ("freq", "free_real"),
    ("freq_max", "free_real"),
    ("n_freq", "free_int"),
    ("domain_size", "free_real"),
    ("nx", "free_int"),
    ("ny", "free_int"),
    ("key_model", "fixed5"),
    ("model", "fixed5"),
    ("nmat", "free_int"),
]

LAYER = [("nl", "free_int")] + [
    (name, "fixed20")
    for name in (
        "akf", "ro2", "eta", "ro1", "ro3", "phi_a", "phi_layer", "capa_1_0",
        "capa_3_0", "s3", "rs1", "rs3", "coef_b13", "ak_air", "xmu_air", "ak_s1",
        "xmu_s1", "ak_s3", "xmu_s3",
    )
]

MAX_LAYERS = 2
FIXED_WIDTH = {"fixed5": 5, "fixed20": 20}


class DeckError(Exception):
    """A deck or a value that the tools cannot place or write."""


def field_names():
    """Every field name in deck order: head names, then name(i) per layer."""
    names = [n for n, _ in HEAD]
    for i in range(1, MAX_LAYERS + 1):
        names += ["%s(%d)" % (n, i) for n, _ in LAYER]
    return names


def field_kind(name):
    kinds = dict(HEAD)
    m = re.fullmatch(r"([a-z0-9_]+)\((\d+)\)", name)
    if m and 1 <= int(m.group(2)) <= MAX_LAYERS:
        return dict(LAYER).get(m.group(1))
    return kinds.get(name)


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


def parse_real(text, implied=0):
    """A real as the program reads it: D/Q exponents allowed, and digits
    without a decimal point carry `implied` decimals."""
    t = text.strip().replace(" ", "")
    if t == "":
        return 0.0
    m = re.fullmatch(r"([+-]?)(\d*\.?\d*)(?:[eEdDqQ]?([+-]?\d+))?", t)
    if m is None or not re.search(r"\d", m.group(2)):
        raise DeckError("'%s' is not a number" % text.strip())
    exp = int(m.group(3) or 0)
    if "." not in m.group(2):
        exp -= implied
    return float("%s%se%d" % (m.group(1), m.group(2), exp))


def parse_int(text):
    t = text.strip().replace(" ", "")
    if t == "":
        return 0
    if not re.fullmatch(r"[+-]?\d+", t):
        raise DeckError("'%s' is not an integer" % text.strip())
    return int(t)


def fixed20_text(value):
    """A real for a 20-column field, always with a decimal point."""
    if not math.isfinite(value):
        raise DeckError("%r is not a finite number" % value)
    text = repr(float(value))
    digits = 17
    while len(text) > 20 and digits > 1:
        digits -= 1
        text = "%.*e" % (digits - 1, value)
    if "." not in text:
        mant, _, exp = text.partition("e")
        text = mant + ".0" + ("e" + exp if exp else "")
    return text


class Deck:
    """The lines of a deck with the line index of every field."""

    def __init__(self, text):
        self.lines = text.splitlines(keepends=True)
        self.where = {}
        self._locate()

    @classmethod
    def read(cls, path):
        with open(path) as f:
            return cls(f.read())

    def text(self):
        return "".join(self.lines)

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

    def value(self, name):
        """The value of a field as the program would read it."""
        kind = field_kind(name)
        line = self._line(name)
        if kind == "free_real":
            return parse_real(_free_item(line))
        if kind == "free_int":
            return parse_int(_free_item(line))
        width = FIXED_WIDTH[kind]
        field = line.rstrip("\r\n")[:width]
        return parse_int(field) if kind == "fixed5" else parse_real(field, implied=10)

    def set(self, name, value):
        """Write `value` (a number or its text) into the field, keeping the note."""
        kind = field_kind(name)
        line = self._line(name)
        end = "\n" if line.endswith("\n") else ""
        body = line.rstrip("\r\n")
        if kind in ("free_int", "fixed5"):
            text = str(_as_int(name, value))
        else:
            number = _as_real(name, value)
            text = fixed20_text(number) if kind == "fixed20" else repr(number)
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


def _as_real(name, value):
    try:
        number = float(value)
    except ValueError:
        raise DeckError("%s: '%s' is not a number" % (name, value)) from None
    if not math.isfinite(number):
        raise DeckError("%s: '%s' is not a finite number" % (name, value))
    return number


def _as_int(name, value):
    number = _as_real(name, value)
    if number != int(number):
        raise DeckError("%s takes an integer, not '%s'" % (name, value))
    return int(number)


def repo_dir():
    return os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def find_program(build_if_missing=True):
    """The threephase executable: $THREEPHASE, then PATH, then the build
    folders of this repository (build/, then the newest build-*/). Builds it
    in build/ when none exists and the sources are here."""
    env = os.environ.get("THREEPHASE")
    if env:
        if os.access(env, os.X_OK):
            return os.path.abspath(env)
        raise DeckError("THREEPHASE=%s is not an executable program" % env)
    on_path = shutil.which("threephase")
    if on_path:
        return on_path
    top = repo_dir()
    candidates = [os.path.join(top, "build", "threephase")]
    others = glob.glob(os.path.join(top, "build-*", "threephase"))
    candidates += sorted(others, key=os.path.getmtime, reverse=True)
    for c in candidates:
        if os.access(c, os.X_OK):
            return c
    if build_if_missing and os.path.exists(os.path.join(top, "CMakeLists.txt")):
        print("threephase not found: building it in %s/build" % top, file=sys.stderr)
        build = os.path.join(top, "build")
        steps = [["cmake", "-S", top, "-B", build, "-DCMAKE_BUILD_TYPE=Release"],
                 ["cmake", "--build", build, "--target", "threephase",
                  "-j%d" % (os.cpu_count() or 1)]]
        for step in steps:
            if subprocess.run(step, stdout=subprocess.DEVNULL).returncode != 0:
                raise DeckError("building threephase failed: %s" % " ".join(step))
        return find_program(build_if_missing=False)
    raise DeckError("threephase not found: put it on PATH, set THREEPHASE, or build it "
                    "with: cmake -S . -B build && cmake --build build --target threephase")
