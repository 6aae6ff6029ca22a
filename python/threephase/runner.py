"""Running the program: one deck into a results folder.

`run` writes the deck and its side files (elast_coef_sand,
b11_b22_b12_sand, porosity.frac) to an input folder and calls `threephase
run DECK -o RESULT` into a hidden folder beside DIR; when the run ends
normally the deck and status.json join its results (report.txt, the legacy
result files, results.json, maps/*.npy) and the whole folder takes DIR's
place. A run folder that holds status.json and its deck is therefore
finished; a failed or interrupted run never touches earlier results.
"""

import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import warnings

from . import porosity as _porosity
from .deck import SIDE_FILES, Deck, DeckError, _definition
from .results import NORMAL_END, STATUS_FILE, ThreephaseWarning, load, read_text

# What each stop code of the program means, for messages and tables: the
# repository's list deck/stop_codes.json when it is there, else today's codes.
_STOPS = _definition("stop_codes")
if _STOPS:
    STOP_MEANING = {c["code"]: c["meaning"] for c in _STOPS["codes"]}
    SILENT_STOPS = {c["code"] for c in _STOPS["codes"] if c["silent"]}
else:
    STOP_MEANING = {
        2: "input error: a deck value out of range or a missing or short file",
        9: "the ordering of the sparse system failed",
        11: "ice model: phi_layer must stay below phi_a",
        99: "the factorization of the sparse system failed",
        222: "a cell's material number is outside 1..nmat",
        555: "the volume fractions of a cell do not add up to 1",
        12345: "lambda1 of the first cell is not positive",
        12346: "lambda3 of the first cell is not positive",
        45678: "ice model: the ice fraction phi_a - phi leaves 0..1",
        45687: "strain energy not positive definite (compressional part)",
        45688: "strain energy not positive definite (shear part)",
        99998: "friction matrix of the first cell not positive",
        99999: "friction matrix of the first cell not positive",
    }
    # Stops that print nothing of their own: the last report lines would
    # only be numbers of the echo.
    SILENT_STOPS = {555, 12346, 45678}
    for _n, _w in enumerate(("vp1", "vp2", "vp3", "vs1", "vs2")):
        STOP_MEANING[2000 + _n] = "non-positive plane-wave velocity %s" % _w


# What the exit statuses of `threephase run` say, for messages: only status
# 4 ends on a stop code of the computation.
EXIT_MEANING = {1: "the program failed", 2: "bad input", 3: "beyond the memory limit",
                5: "the results could not be written"}


class RunFailed(Exception):
    """A run that did not end normally; `result` holds its exit status,
    stop code, message and the folder it was kept in."""

    def __init__(self, result):
        super().__init__("run failed, %s: %s (kept in %s)" % (
            failure_kind(result), result.message, result.path))
        self.result = result


def failure_kind(result):
    """How a failed run ended, in words: "bad input" for exit status 2, a
    stop code of the computation by its number, a signal by its number."""
    status = result.exit_status
    if status is not None and status < 0:
        return "killed by signal %d" % -status
    if status in EXIT_MEANING:
        return EXIT_MEANING[status]
    return "stop code %s" % result.stop_code


def repo_dir():
    """The repository holding this package (python/threephase/..)."""
    return os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def find_program(build_if_missing=True):
    """The threephase executable: $THREEPHASE_EXE (or $THREEPHASE), then
    PATH, then the repository's build/ and newest build-*/. Builds it in
    build/ when none exists and the sources are here."""
    for var in ("THREEPHASE_EXE", "THREEPHASE"):
        env = os.environ.get(var)
        if env:
            if os.access(env, os.X_OK):
                return os.path.abspath(env)
            raise DeckError("%s=%s is not an executable program" % (var, env))
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
    raise DeckError("threephase not found: set THREEPHASE_EXE, put it on PATH, or build it "
                    "with: cmake -S . -B build && cmake --build build --target threephase")


# The deck file of a run folder in each form.
DECK_FILES = {"legacy": "deck", "keyword": "deck.toml"}


def as_deck(deck):
    """A Deck from a Deck, a deck file, or a folder holding a file `deck`
    (else `deck.toml`)."""
    if isinstance(deck, Deck):
        return deck
    path = os.fspath(deck)
    if os.path.isdir(path):
        path = deck_file(path) or os.path.join(path, "deck")
    return Deck.read(path)


def deck_file(folder):
    """The deck of a run or case folder: `deck`, else `deck.toml`; None
    when it holds neither."""
    for name in ("deck", "deck.toml"):
        if os.path.isfile(os.path.join(folder, name)):
            return os.path.join(folder, name)
    return None


def stage(deck, folder):
    """Fill the empty `folder` with what a run reads: the deck in its own
    form (`deck` or `deck.toml`), the side files from the deck's folder,
    porosity.frac from deck.porosity when it has one (else the keyword
    deck's porosity file, staged under that name)."""
    if deck.source_dir:
        for name in SIDE_FILES + ("porosity.frac",):
            src = os.path.join(deck.source_dir, name)
            if os.path.isfile(src):
                shutil.copy2(src, folder)
    if deck.form == "keyword":
        deck = _staged_keyword(deck, folder)
    if deck.porosity is not None:
        _porosity.write(deck.porosity, os.path.join(folder, "porosity.frac"))
    with open(os.path.join(folder, DECK_FILES[deck.form]), "w") as f:
        f.write(deck.text())


def _staged_keyword(deck, folder):
    """The keyword deck as it runs in `folder`: a porosity field or file
    read as porosity.frac there, no results folder of its own."""
    deck = deck.copy()
    deck.output = None
    source = deck.porosity_source
    if deck.porosity is not None:
        deck.porosity_source = {"file": "porosity.frac"}
    elif isinstance(source, dict):
        src = os.path.join(deck.source_dir or os.getcwd(), source["file"])
        if not os.path.isfile(src):
            raise DeckError("porosity file %s not found" % src)
        if os.path.abspath(src) != os.path.abspath(os.path.join(folder, "porosity.frac")):
            shutil.copyfile(src, os.path.join(folder, "porosity.frac"))
        deck.porosity_source = {"file": "porosity.frac"}
    return deck


class Interrupted(Exception):
    """A run ended because its sweep was stopped: no result of its own."""


class Children:
    """The program's runs under way, so that a stop reaches them: once
    stopped, no run starts and the running ones are terminated. Each runs in
    a session of its own, so a Ctrl-C at the terminal reaches only Python,
    which then ends them itself."""

    def __init__(self):
        self.lock = threading.Lock()
        self.running = set()
        self.stopped = False

    def call(self, command, **streams):
        """Run `command` to its end; its exit status (a signal as -N)."""
        with self.lock:
            if self.stopped:
                raise Interrupted(command)
            child = subprocess.Popen(command, start_new_session=True, **streams)
            self.running.add(child)
        try:
            return child.wait()
        except BaseException:
            child.terminate()  # a Ctrl-C of a single run: its own session misses it
            child.wait()
            raise
        finally:
            with self.lock:
                self.running.discard(child)

    def stop(self):
        with self.lock:
            self.stopped = True
            for child in self.running:
                try:
                    child.terminate()
                except OSError:
                    pass


def execute(program, folder, out_dir, solver=None, failed_dir=None, children=None,
            options=(), deck_name=None):
    """Run the deck of the input folder `folder` with `threephase run` and
    return the Result of the folder kept. The results go to a hidden folder
    beside out_dir; on success the deck (and porosity.frac, stderr.txt) and
    status.json are added and that folder takes out_dir's place. On failure
    the input folder, with stdout.txt, stderr.txt and status.json, takes the
    place of failed_dir (default out_dir + ".failed"). `children`: the
    Children of a sweep, whose stop ends this run with Interrupted and
    leaves out_dir as it was. `options`: more options of `threephase run`
    (run_options). `deck_name`: the deck's path as results.json records it
    (default: the deck kept in out_dir, the copy that ran)."""
    start = time.monotonic()
    children = children or Children()
    result_dir = tempfile.mkdtemp(prefix="." + os.path.basename(out_dir) + ".result-",
                                  dir=os.path.dirname(out_dir))
    try:
        deck = deck_file(folder)
        command = [program, "run", deck, "-o", result_dir, "--quiet", "--deck-name",
                   deck_name or os.path.join(out_dir, os.path.basename(deck))]
        command += ["--solver", solver] if solver else []
        command += list(options)
        with open(os.path.join(folder, "stdout.txt"), "w") as stdout, \
                open(os.path.join(folder, "stderr.txt"), "w") as stderr:
            status = children.call(command, stdin=subprocess.DEVNULL, stdout=stdout,
                                   stderr=stderr, cwd=folder)
        if status != 0 and children.stopped:
            raise Interrupted(out_dir)
    except BaseException:
        shutil.rmtree(result_dir, ignore_errors=True)
        shutil.rmtree(folder, ignore_errors=True)
        raise
    code, message = stop_of(folder, status)
    record = {"status": "ok" if status == 0 else "failed", "exit_status": status,
              "stop_code": code, "message": message,
              "seconds": round(time.monotonic() - start, 3)}
    if status == 0:
        for name in (os.path.basename(deck_file(folder)), "porosity.frac", "stderr.txt"):
            if os.path.isfile(os.path.join(folder, name)):
                shutil.copy2(os.path.join(folder, name), result_dir)
        shutil.rmtree(folder)
        folder, target = result_dir, out_dir
    else:
        shutil.rmtree(result_dir, ignore_errors=True)
        target = failed_dir or out_dir + ".failed"
    # status.json is written last, into the folder before it is put in place.
    with open(os.path.join(folder, STATUS_FILE), "w") as f:
        json.dump(record, f, indent=1)
    place(folder, target)
    return load(target)


def stop_of(folder, status):
    """The stop code of a finished `threephase run` (40, the normal end, for
    status 0; the code the message names; else the exit status, a signal as
    -N) and a one-line message."""
    err = read_text(os.path.join(folder, "stderr.txt"))
    if status == 0:
        return NORMAL_END, ""
    stop = re.findall(r"stopped with code (-?\d+)", err) or re.findall(r"^STOP (-?\d+)\s*$", err,
                                                                         re.M)
    code = int(stop[-1]) if stop else status
    notes = [ln.strip() for ln in err.splitlines()
             if ln.strip() and not re.fullmatch(r"STOP -?\d+", ln.strip())]
    if not notes and code in STOP_MEANING:
        notes = [STOP_MEANING[code]]
    if status < 0:
        notes.append("killed by signal %d" % -status)
    return code, " / ".join(re.sub(r"\s+", " ", n) for n in notes[-3:])


def frequency_list(frequencies):
    """The --frequencies argument: a list of frequencies (Hz) as F1,F2,...;
    a string as given (F1,F2,... or FMIN:FMAX:N, N log-spaced points)."""
    if isinstance(frequencies, str):
        return frequencies
    values = [float(f) for f in frequencies]
    if not values or any(not f > 0 for f in values):
        raise DeckError("frequencies must be positive numbers (Hz): %r" % (frequencies,))
    return ",".join(repr(f) for f in values)


def run_options(frequencies=None, stiffness=None, jobs=None):
    """Options of `threephase run`: --frequencies (a curve over frequency
    in one run), --stiffness ("vertical": C33 and C13; "full": also C11,
    C55 and the waves against angle), -j (threads)."""
    out = []
    if frequencies is not None:
        out += ["--frequencies", frequency_list(frequencies)]
    if stiffness is not None:
        if stiffness not in ("vertical", "full"):
            raise DeckError("stiffness is \"vertical\" or \"full\", not %r" % (stiffness,))
        out += ["--stiffness", stiffness]
    if jobs is not None:
        if int(jobs) < 1:
            raise DeckError("jobs must be a positive number of threads, not %r" % (jobs,))
        out += ["-j", str(int(jobs))]
    return out


def run(deck, out_dir, check=True, program=None, solver=None, frequencies=None, stiffness=None,
        jobs=None):
    """Run `deck` (a Deck, a deck file or a case folder) with `threephase
    run`, its results in `out_dir`, and return its Result.

    The deck and its side files are written to an input folder beside
    out_dir; the program replaces out_dir only when the run ends normally.
    When it fails, out_dir is left as it was, the input folder and the
    program's messages are kept in `out_dir + ".failed"` and, with
    check=True, RunFailed is raised (else its Result is returned). solver:
    "own" or "mumps" (the program's --solver), default the deck's choice.
    frequencies: a list of frequencies (Hz) or "FMIN:FMAX:N" for the
    sample's stiffness over frequency in one run (`Result.curves`, drawn as
    out_dir/curves.png and .pdf when matplotlib is there); stiffness:
    "vertical" (C33, C13) or "full" (also C11, C55, the waves against
    angle), default the deck's; jobs: threads of the run.
    """
    options = run_options(frequencies, stiffness, jobs)
    deck = as_deck(deck)
    program = program or find_program()
    out_dir = os.path.abspath(os.fspath(out_dir))
    parent = os.path.dirname(out_dir)
    os.makedirs(parent, exist_ok=True)
    inputs = tempfile.mkdtemp(prefix="." + os.path.basename(out_dir) + ".input-", dir=parent)
    stage(deck, inputs)
    result = execute(program, inputs, out_dir, solver, options=options,
                     deck_name=user_deck(deck, inputs))
    pass_on_warnings(result)
    if not result.ok and check:
        raise RunFailed(result)
    if result.ok and result.curves is not None:
        draw_curves(result)
    return result


def user_deck(deck, folder):
    """The user's deck file when the deck staged in `folder` is that file
    unchanged, else None (the copy kept with the results is then the deck
    that ran)."""
    path = getattr(deck, "path", None)
    staged = deck_file(folder)
    if path and staged and read_text(path) == read_text(staged):
        return path
    return None


def pass_on_warnings(result, where=None, depth=1):
    """The program's warnings of a run as Python warnings (ThreephaseWarning),
    prefixed with `where` (a sweep's run name) when given, placed at the
    user's call `depth` frames above the caller."""
    for text in result.warnings:
        warnings.warn("%s%s" % (where + ": " if where else "", text), ThreephaseWarning,
                      stacklevel=2 + depth)


def draw_curves(result):
    """curves.png and .pdf of a run with a frequency curve, into its
    folder; a note instead where matplotlib is missing."""
    from . import figures
    try:
        figures.plot_stiffness_curves(result, os.path.join(result.path, "curves"))
    except figures.FiguresUnavailable as e:
        print("threephase.run: curves figure skipped: %s" % e, file=sys.stderr)


def place(staging, target):
    """Move the finished staging folder to `target`, replacing what was
    there only once the new folder is in place."""
    old = None
    if os.path.exists(target):
        old = tempfile.mkdtemp(prefix="." + os.path.basename(target) + ".old-",
                               dir=os.path.dirname(target))
        os.rename(target, os.path.join(old, "previous"))
    os.rename(staging, target)
    if old:
        shutil.rmtree(old)
