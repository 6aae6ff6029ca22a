"""Sweeps: one deck run over many frequencies or values of one field.

A sweep of the frequency alone is one run of the program over all the
frequencies (`threephase run --frequencies`), in OUT_DIR/curve, when the
program can; its table has a row per frequency. Otherwise each run has its
own folder OUT_DIR/run_NNN (deck, side files, report,
status.json and every result file), put in place whole when the run ends;
OUT_DIR/sweep.csv holds one row per run. A sweep into a folder that holds
one resumes it: a run whose folder holds the same deck (and porosity file)
and ended normally is kept; the missing and failed ones run, and so does a
folder without the marks of a finished run (its status.json and deck) or
with a damaged one. A finished run of another deck is an error unless
force=True, which runs every run again, each replacing its folder only when
its new result is in.

One Ctrl-C (or SIGTERM) stops a sweep: the runs under way are ended, none
starts, the table of the runs that finished is written and
KeyboardInterrupt goes on to the caller; the same sweep again resumes it.
"""

import concurrent.futures
import csv
import filecmp
import functools
import math
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

import numpy as np

from . import porosity as _porosity
from .deck import Deck, DeckError, normalize_name
from .results import ResultError, load
from .runner import (STOP_MEANING, Children, Interrupted, as_deck, deck_file, draw_curves,
                     execute, failure_kind, find_program, pass_on_warnings, run_options, stage,
                     user_deck)

# The sample's C33 (rigid-plate test) first with the diffusion length in
# cells, then the legacy test's c33 and mstar under their report names, then
# the closed-form fast P wave of the reference cell and of the sample's
# average medium. Every 1000/Q is 1000 Im / Re of the modulus, results.json's.
RESULT_COLUMNS = ["freq_hz", "c33_velocity_m_per_s", "c33_1000_over_q",
                  "diffusion_cells_across", "vp_c33", "q1000_c33", "vp_mstar", "q1000_mstar",
                  "cell_vp1_velocity_m_per_s", "cell_vp1_1000_over_q",
                  "average_medium_vp1_velocity_m_per_s", "average_medium_vp1_1000_over_q"]
LEGACY_COLUMNS = ["vp_c33", "q1000_c33", "vp_mstar", "q1000_mstar"]
REFERENCE_COLUMNS = RESULT_COLUMNS[8:]
CURVE_RUN = "curve"
# resolved: whether the grid resolves the diffusion length (false for a
# failed run); closed_form_cell: the cell (j, k) of the cell_vp1 columns.
TAIL_COLUMNS = ["resolved", "closed_form_cell", "status", "stop_code", "message"]
# Fields a sweep can vary beyond the deck's own: the mean of the porosity
# field, and the water proportion of every layer.
SAMPLE_FIELDS = ("porosity", "water_proportion")


def log_frequencies(deck):
    """The deck's own sweep: n_freq points evenly spaced in log10 from freq
    to freq_max, the end points being the deck's values."""
    f1, f2, n = deck.freq, deck.freq_max, deck.n_freq
    if n < 1:
        raise DeckError("n_freq = %d: the sweep needs at least one point" % n)
    if f1 <= 0 or (n > 1 and f2 <= 0):
        raise DeckError("freq and freq_max must be positive for a logarithmic sweep")
    if n == 1:
        return [f1]
    l1, l2 = math.log10(f1), math.log10(f2)
    step = (l2 - l1) / (n - 1)
    return [f1] + [10.0 ** (l1 + i * step) for i in range(1, n - 1)] + [f2]


def base_porosity(deck):
    """The porosity field a deck runs with: its own array, its porosity file
    in the fractal model, its layers' water proportions (porosity =
    "by_layer"), else the one value of every cell (0.1 in a legacy run)."""
    if deck.porosity is not None:
        return deck.porosity
    source = deck.porosity_source
    if isinstance(source, dict) and deck.source_dir:
        frac = os.path.join(deck.source_dir, source["file"])
        if os.path.isfile(frac):
            return _porosity.read(frac, deck.nx, deck.ny)
    if source == "by_layer":
        nl = [deck["nl(%d)" % i] for i in range(1, deck.nmat + 1)] + [0]
        return _porosity.by_layer(deck.nx, deck.ny, nl[:2], deck.water_proportion + [0.0])
    return _porosity.uniform(deck.nx, deck.ny, 0.1 if isinstance(source, dict) else source)


def with_value(deck, field, value):
    """A copy of `deck` with `field` set to `value`.

    porosity: the deck's porosity field moved to mean `value` (its
    fluctuations kept, clipped into what a run accepts), run from
    porosity.frac.
    water_proportion: phi_layer of every layer. A keyword deck keeps its form
    and its run plan, which the run honours: the water proportion of every
    layer becomes the value, and so does a constant porosity. A legacy
    deck's layered run uses 0.1 whatever phi_layer says, so the value also
    goes to a uniform porosity.frac that the run reads (the legacy form
    suffices for one value everywhere).
    """
    d = deck.copy()
    if field == "porosity":
        base = base_porosity(deck)
        d.porosity = _porosity.keep_runnable(base + (float(value) - base.mean()),
                                             "porosity sweep at mean %s" % value)[0]
        d["model"] = 1
        if d.form == "keyword":
            d.porosity_source = {"file": "porosity.frac"}
    elif field == "water_proportion":
        for i in range(1, d.nmat + 1):
            d["phi_layer(%d)" % i] = value
        if d.form == "keyword":
            d.water_proportion = float(value)
            if not isinstance(d.porosity_source, (dict, str)):
                d.porosity_source = float(value)
        elif d.model == 0:
            half = d.ny // 2
            d.porosity = _porosity.layered(d.nx, d.ny, [(half, float(value)),
                                                         (d.ny - half, float(value))])
            d["model"] = 1
    else:
        d[field] = value
    return d


def plan(deck, frequencies=None, field=None, values=None):
    """The runs of a sweep as (name, field value or None, deck)."""
    if field is None:
        freqs = log_frequencies(deck) if frequencies is None else list(frequencies)
        return [("run_%03d" % (i + 1), None, with_value(deck, "freq", f))
                for i, f in enumerate(freqs)]
    if values is None or len(values) == 0:
        raise DeckError("a sweep of %s needs values" % field)
    if field not in SAMPLE_FIELDS:
        field = normalize_name(field)
    runs = []
    for i, v in enumerate(values):
        d = with_value(deck, field, v)
        if frequencies is not None and len(frequencies) == 1:
            d["freq"] = frequencies[0]
        runs.append(("run_%03d" % (i + 1), v, d))
    return runs


@functools.lru_cache(maxsize=None)
def curve_capable(program):
    """Whether `threephase run` of this program takes --frequencies."""
    try:
        done = subprocess.run([program, "run", "--help"], capture_output=True, text=True,
                              stdin=subprocess.DEVNULL, timeout=60)
    except (OSError, subprocess.SubprocessError):
        return False
    return "--frequencies" in done.stdout


def sweep(deck, out_dir, frequencies=None, field=None, values=None, jobs=None, part=None,
          force=False, progress=True, program=None, one_run=None):
    """Run a sweep into `out_dir` and return its table (a NumPy structured
    array, also written as out_dir/sweep.csv).

    deck: a Deck, deck file or case folder. Without `field`, one run per
    frequency (`frequencies`, else the deck's own log sweep); with `field`
    (a deck name such as 'phi_a(1)', or 'porosity' or 'water_proportion')
    one run per value. jobs: runs at a time (default: the processors).
    part=(I, N) runs only the I-th of N shares (runs I, I+N, ...; numbering
    kept so that parts join). force=True runs every run again, even where a
    finished run is kept, replacing each folder only when its new result is
    in. One KeyboardInterrupt (or SIGTERM) stops the sweep, writes the table
    of the runs that finished and is raised again.

    one_run: a frequency sweep (no field, no part) as one run of the program
    over every frequency, in out_dir/curve, whose table has a row per
    frequency (the sample's C33 from its curve; the legacy test's columns
    only at the frequency of its report); jobs are then the run's threads.
    Default: so when the program can; one_run=False runs one program a
    frequency.
    """
    deck = as_deck(deck)
    field_name = None if field is None else (
        field if field in SAMPLE_FIELDS else normalize_name(field))
    program = program or find_program()
    if one_run is None:
        one_run = field_name is None and part is None and curve_capable(program)
    if one_run:
        if field_name is not None or part is not None:
            raise DeckError("one run covers a frequency sweep only: no field, no part")
        freqs = log_frequencies(deck) if frequencies is None else list(frequencies)
        return _curve_sweep(program, deck, os.path.abspath(os.fspath(out_dir)), freqs, jobs,
                            force)
    runs = plan(deck, frequencies, field_name, values)
    if part is not None:
        index, count = part
        if not 1 <= index <= count:
            raise DeckError("part %d/%d: the share must be 1..%d" % (index, count, count))
        runs = runs[index - 1::count]
    out_dir = os.path.abspath(os.fspath(out_dir))
    _prepare(out_dir)
    bar = Progress(len(runs), progress)
    rows = [None] * len(runs)
    children = Children()

    done = [None] * len(runs)

    def work(n):
        name, value, d = runs[n]
        try:
            result = _run_or_keep(program, d, os.path.join(out_dir, name), force, children)
        except Interrupted:
            return
        rows[n], done[n] = _row(name, field_name, value, d, result), result
        if not result.ok:
            kind = failure_kind(result)
            meaning = STOP_MEANING.get(result.stop_code, "") if kind.startswith("stop") else ""
            message = result.message or "no message"
            bar.note("%s (%s = %s): failed, %s%s: %s" % (
                name, field_name or "freq", value if field_name else d.freq, kind,
                " (%s)" % meaning if meaning and meaning != message else "", message))
        bar.step()

    pool = concurrent.futures.ThreadPoolExecutor(max_workers=jobs or processors())
    try:
        with _terminate_as_interrupt():
            futures = [pool.submit(work, n) for n in range(len(runs))]
            for f in futures:
                f.result()
    except BaseException:
        # Stopped (or a run could not be staged): end the runs under way,
        # start none, and keep the table of those that finished.
        children.stop()
        pool.shutdown(wait=True, cancel_futures=True)
        finished = [r for r in rows if r is not None]
        if finished:
            write_csv(to_table(finished, field_name), os.path.join(out_dir, "sweep.csv"))
        bar.note("sweep stopped: %d of %d runs finished (%s); sweep again into %s to resume"
                 % (len(finished), len(runs), os.path.join(out_dir, "sweep.csv")
                    if finished else "no table", out_dir))
        raise
    pool.shutdown()
    for (name, _, _), result in zip(runs, done):
        pass_on_warnings(result, name)
    table = to_table(rows, field_name)
    write_csv(table, os.path.join(out_dir, "sweep.csv"))
    return table


def _curve_sweep(program, deck, out_dir, freqs, jobs, force):
    """A frequency sweep as one run over every frequency in out_dir/curve,
    kept when it finished on the same deck and frequencies; its table."""
    _prepare(out_dir)
    run_dir = os.path.join(out_dir, CURVE_RUN)
    inputs = tempfile.mkdtemp(prefix="." + CURVE_RUN + ".input-", dir=out_dir)
    stage(deck, inputs)
    result, earlier = None, None if force else _finished(run_dir)
    if earlier is not None and earlier.ok:
        if not _same_input(inputs, run_dir):
            shutil.rmtree(inputs)
            raise DeckError("%s holds a finished run of another deck; sweep into a new "
                            "folder, or run it again with force" % run_dir)
        c = earlier.curves
        if c is not None and len(c) == len(freqs) and \
                np.allclose(c.frequency_hz, freqs, rtol=1e-12, atol=0):
            shutil.rmtree(inputs)
            result = earlier
    if result is None:
        with _terminate_as_interrupt():
            result = execute(program, inputs, run_dir, failed_dir=run_dir,
                             options=run_options(freqs, None, jobs),
                             deck_name=user_deck(deck, inputs))
        if result.ok and result.curves is not None:
            draw_curves(result)
    pass_on_warnings(result, CURVE_RUN, depth=2)
    table = to_table(curve_rows(result, freqs), None)
    write_csv(table, os.path.join(out_dir, "sweep.csv"))
    return table


def curve_rows(result, freqs):
    """Rows of the table of a curve run, one per frequency: the sample's C33
    from the curve; the legacy test's columns at the frequency of its
    report, empty elsewhere; a note where the diffusion length is not
    resolved."""
    c = result.curves if result.ok else None
    if result.ok and c is None:
        raise ResultError(os.path.join(result.path, "results.json"),
                          "no curves block after a run with --frequencies")
    rows = []
    for i, f in enumerate(c.frequency_hz if c is not None else freqs):
        row = {"run": "%s_%03d" % (CURVE_RUN, i + 1), "freq_hz": float(f),
               "status": result.status, "message": result.message or "",
               "stop_code": result.stop_code if result.stop_code is not None else -1,
               "resolved": False, "closed_form_cell": ""}
        for name in RESULT_COLUMNS[1:]:
            row[name] = math.nan
        if c is not None:
            row["c33_velocity_m_per_s"] = float(c.velocity["c33"][i])
            row["c33_1000_over_q"] = float(c.q_inverse_times_1000["c33"][i])
            row["diffusion_cells_across"] = float(c.cells_across[i])
            row["resolved"] = bool(c.resolved[i])
            if not c.resolved[i]:
                row["message"] = "diffusion length not resolved: %.3g cells across" % (
                    c.cells_across[i])
            if math.isclose(f, result.numbers.get("freq_hz", math.nan), rel_tol=1e-9):
                for name in LEGACY_COLUMNS:
                    row[name] = _number(result.numbers.get(name))
                row.update(_references(result))
        rows.append(row)
    return rows


def _references(result):
    """The closed-form columns of a run: the fast P wave of the reference
    cell (named in closed_form_cell) and of the average medium; empty for a
    failed run."""
    out = {}
    cell_ref, medium = (result.reference, result.average_medium) if result.ok else (None, None)
    for prefix, ref in (("cell", cell_ref), ("average_medium", medium)):
        out[prefix + "_vp1_velocity_m_per_s"] = ref.velocity if ref else math.nan
        out[prefix + "_vp1_1000_over_q"] = ref.q_inverse_times_1000 if ref else math.nan
    cell = cell_ref.cell if cell_ref else None
    out["closed_form_cell"] = "(%d, %d)" % tuple(cell) if cell else ""
    return out


def _diffusion(result):
    """The diffusion length in cells of a run and whether the grid resolves
    it (results.json's diffusion block; NaN and False without one)."""
    d = (result.json or {}).get("diffusion") if result.ok else None
    if not d:
        return math.nan, False
    cells = d.get("cells_across")
    return (math.nan if cells is None else float(cells)), bool(d.get("resolved"))


def _number(v):
    return float(v) if isinstance(v, (int, float)) else math.nan


class _terminate_as_interrupt:
    """While alive, SIGTERM raises KeyboardInterrupt in the main thread, so
    that a sweep stopped by it ends its runs and writes its table as on a
    Ctrl-C. Elsewhere than in the main thread, nothing changes."""

    def __enter__(self):
        self.saved = None
        if threading.current_thread() is threading.main_thread():
            self.saved = signal.signal(signal.SIGTERM, self._raise)
        return self

    @staticmethod
    def _raise(signum, frame):
        raise KeyboardInterrupt("signal %d" % signum)

    def __exit__(self, *exc):
        if self.saved is not None:
            signal.signal(signal.SIGTERM, self.saved)
        return False


# What an interrupted sweep can leave beside its runs: input folders, the
# hidden result and staging folders of a run, an earlier folder put aside.
_LEFTOVER = re.compile(r"\.+(run_\d+|curve)\..*|run_\d+\.(staging|input)-.*")


def sweep_deck(out_dir):
    """The deck of a sweep's first run (its curve run, else run_001, ...),
    for describing the sample; None when no run folder holds one."""
    runs = sorted(e for e in os.listdir(out_dir) if e == CURVE_RUN or re.fullmatch(r"run_\d+", e))
    for name in runs:
        path = deck_file(os.path.join(out_dir, name))
        if path:
            try:
                return Deck.read(path)
            except DeckError:
                continue
    return None


def _prepare(out_dir):
    """Make out_dir; refuse a folder holding anything but a sweep; clear
    what an interrupted sweep left beside its runs."""
    if os.path.isdir(out_dir) and os.listdir(out_dir):
        for e in os.listdir(out_dir):
            if _LEFTOVER.fullmatch(e):
                shutil.rmtree(os.path.join(out_dir, e), ignore_errors=True)
        entries = os.listdir(out_dir)
        is_sweep = "sweep.csv" in entries or CURVE_RUN in entries or \
            any(re.fullmatch(r"run_\d+", e) for e in entries)
        if not is_sweep:
            raise DeckError("%s is not empty and holds no earlier sweep; "
                            "name a new or empty folder" % out_dir)
    os.makedirs(out_dir, exist_ok=True)


def _finished(run_dir):
    """The Result of a run folder that bears the marks of a finished run
    (status.json and its deck, both readable); None for anything else (a
    folder left by a run killed before its marks were written, a damaged
    file), which is redone."""
    if not os.path.isfile(os.path.join(run_dir, "status.json")) or \
            not any(os.path.isfile(os.path.join(run_dir, n)) for n in ("deck", "deck.toml")):
        return None
    try:
        return load(run_dir)
    except ResultError:
        return None


def _run_or_keep(program, deck, run_dir, force, children):
    """The Result of the run in run_dir: kept when it ended normally on the
    same deck and porosity file; run when missing, failed or unfinished. A
    finished run of another deck is an error, unless `force`: then it is
    run again and replaced when the new result is in."""
    inputs = tempfile.mkdtemp(prefix="." + os.path.basename(run_dir) + ".input-",
                              dir=os.path.dirname(run_dir))
    stage(deck, inputs)
    earlier = None if force else _finished(run_dir)
    if earlier is not None and earlier.ok:
        same = _same_input(inputs, run_dir)
        shutil.rmtree(inputs)
        if same:
            return earlier
        raise DeckError("%s holds a finished run of another deck; sweep into a new "
                        "folder, or run every run again with force" % run_dir)
    return execute(program, inputs, run_dir, failed_dir=run_dir, children=children)


def _same_input(a, b):
    for name in ("deck", "deck.toml", "porosity.frac"):
        pa, pb = os.path.join(a, name), os.path.join(b, name)
        if os.path.exists(pa) != os.path.exists(pb):
            return False
        if os.path.exists(pa) and not filecmp.cmp(pa, pb, shallow=False):
            return False
    return True


def _row(name, field, value, deck, result):
    row = {"run": name, "freq_hz": deck.freq, "status": result.status,
           "stop_code": result.stop_code if result.stop_code is not None else -1,
           "message": result.message or ""}
    if field:
        row[field] = float(value)
    for c in LEGACY_COLUMNS:
        row[c] = _number(result.numbers.get(c)) if result.ok else math.nan
    row["c33_velocity_m_per_s"] = result.velocity if result.ok else math.nan
    row["c33_1000_over_q"] = result.q_inverse_times_1000 if result.ok else math.nan
    row["diffusion_cells_across"], row["resolved"] = _diffusion(result)
    row.update(_references(result))
    return row


def columns(field):
    """The table's column names, the swept field after the run name."""
    return ["run"] + ([field] if field else []) + RESULT_COLUMNS + TAIL_COLUMNS


def to_table(rows, field):
    """Rows (dicts) as a NumPy structured array."""
    width = max([len(r["message"]) for r in rows] + [1])
    dtype = [("run", "U16")] + ([(field, "f8")] if field else []) + \
        [(c, "f8") for c in RESULT_COLUMNS] + \
        [("resolved", "?"), ("closed_form_cell", "U16"), ("status", "U8"), ("stop_code", "i8"),
         ("message", "U%d" % width)]
    return np.array([tuple(r[c] for c in columns(field)) for r in rows], dtype=dtype)


def write_csv(table, path):
    """The table as CSV: numbers in full (shortest exact form), an empty
    cell for a value a failed run does not have."""
    names = table.dtype.names
    with open(path, "w", newline="") as f:
        w = csv.writer(f, lineterminator="\n")
        w.writerow(names)
        for row in table:
            w.writerow([_cell(row[n]) for n in names])


def _cell(v):
    if isinstance(v, (bool, np.bool_)):
        return "true" if v else "false"
    if isinstance(v, (float, np.floating)):
        return "" if math.isnan(v) else repr(float(v))
    return str(v)


def read_table(path):
    """A sweep.csv as a structured array; its swept field is the column
    between run and freq_hz, if any."""
    with open(path, newline="") as f:
        reader = csv.DictReader(f)
        header = reader.fieldnames or []
        rows = list(reader)
    if "freq_hz" not in header or "run" not in header:
        raise DeckError("%s is not a sweep table (no run or freq_hz column)" % path)
    field = header[1] if header[1] != "freq_hz" else None
    parsed = []
    for r in rows:
        p = {"run": r["run"], "status": r.get("status", ""), "message": r.get("message", ""),
             "stop_code": _int(r.get("stop_code", "")),
             # A table older than the column makes no claim: resolved.
             "resolved": r.get("resolved", "true") == "true",
             "closed_form_cell": r.get("closed_form_cell", "")}
        for c in RESULT_COLUMNS + ([field] if field else []):
            p[c] = float(r[c]) if r.get(c, "") != "" else math.nan
        parsed.append(p)
    return to_table(parsed, field)


def _int(text):
    try:
        return int(text)
    except ValueError:
        return -1


def join(folders, out_dir=None):
    """One table of the sweep.csv of several folders (parts of one sweep),
    in run order; written to out_dir/sweep.csv when out_dir is given."""
    tables = [read_table(os.path.join(os.fspath(d), "sweep.csv")) for d in folders]
    if not tables:
        raise DeckError("join needs at least one folder")
    names = [t.dtype.names for t in tables]
    if any(n != names[0] for n in names):
        raise DeckError("the tables have different columns: %s" % "; ".join(
            ",".join(n) for n in set(names)))
    rows = [dict(zip(names[0], r.tolist())) for t in tables for r in t]
    rows.sort(key=lambda r: (int(re.sub(r"\D", "", r["run"]) or 0), r["run"]))
    field = names[0][1] if names[0][1] != "freq_hz" else None
    table = to_table(rows, field)
    if out_dir is not None:
        os.makedirs(out_dir, exist_ok=True)
        write_csv(table, os.path.join(out_dir, "sweep.csv"))
    return table


def processors():
    """Processors this process may run on (a container may allow fewer)."""
    try:
        return len(os.sched_getaffinity(0))
    except AttributeError:
        return os.cpu_count() or 1


class Progress:
    """Runs done of total, elapsed time and an estimate of the time left, on
    one refreshed terminal line (one line per update when not a terminal)."""

    def __init__(self, total, show=True):
        self.total, self.done, self.start, self.show = total, 0, time.monotonic(), show
        self.tty = show and sys.stderr.isatty()
        self.lock = threading.Lock()
        if self.tty:
            self._show()

    @staticmethod
    def clock(seconds):
        seconds = int(round(seconds))
        return "%d:%02d:%02d" % (seconds // 3600, seconds // 60 % 60, seconds % 60)

    def note(self, text):
        if not self.show:
            return
        with self.lock:
            sys.stderr.write(("\r\033[K" if self.tty else "") + text + "\n")
            if self.tty:
                self._show()

    def step(self):
        with self.lock:
            self.done += 1
            if self.show:
                self._show()

    def _show(self):
        elapsed = time.monotonic() - self.start
        line = "sweep: %d/%d runs done, %s elapsed" % (self.done, self.total,
                                                       self.clock(elapsed))
        if 0 < self.done < self.total:
            line += ", about %s left" % self.clock(elapsed / self.done * (self.total - self.done))
        if self.tty:
            sys.stderr.write("\r\033[K" + line + ("\n" if self.done == self.total else ""))
        elif self.done:
            sys.stderr.write(line + "\n")
        sys.stderr.flush()
