"""Sweeps: resumed after an interruption they give the table of an
uninterrupted one, keep finished runs, and parts join to the whole."""

import os
import shutil
import signal
import subprocess
import sys
import time
import unittest
import warnings

import numpy as np

import support
import threephase
from threephase import DeckError


def same_table(test, a, b):
    test.assertEqual(a.dtype.names, b.dtype.names)
    for name in a.dtype.names:
        if a.dtype[name].kind == "f":
            np.testing.assert_array_equal(a[name], b[name], err_msg=name)
        else:
            test.assertEqual(a[name].tolist(), b[name].tolist(), name)


class Resume(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = support.tempfile.mkdtemp(prefix="tp-py-sweep-")
        cls.deck = support.small_deck()
        cls.whole = threephase.sweep(cls.deck, os.path.join(cls.root, "whole"), jobs=2,
                                     progress=False, one_run=False)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root)

    def test_resumed_sweep_gives_the_uninterrupted_table_and_keeps_finished_runs(self):
        out = os.path.join(support.scratch(self), "sweep")
        threephase.sweep(self.deck, out, jobs=2, progress=False, one_run=False)
        # The interruption: run_002 never started, run_003 was killed
        # mid-way (no status, half its files), no table was written.
        shutil.rmtree(os.path.join(out, "run_002"))
        os.mkdir(os.path.join(out, "run_002.staging-killed"))
        os.remove(os.path.join(out, "run_003", "status.json"))
        with open(os.path.join(out, "run_003", "stderr.txt"), "w"):
            pass
        os.remove(os.path.join(out, "sweep.csv"))
        kept = os.stat(os.path.join(out, "run_001", "real_stress_map")).st_mtime_ns
        table = threephase.sweep(self.deck, out, jobs=2, progress=False, one_run=False)
        same_table(self, table, self.whole)
        same_table(self, threephase.read_table(os.path.join(out, "sweep.csv")), self.whole)
        self.assertEqual(os.stat(os.path.join(out, "run_001", "real_stress_map")).st_mtime_ns,
                         kept)
        self.assertEqual(sorted(os.listdir(out)), ["run_001", "run_002", "run_003", "sweep.csv"])

    def test_a_finished_run_of_another_deck_is_never_overwritten_unless_forced(self):
        out = os.path.join(support.scratch(self), "sweep")
        shutil.copytree(os.path.join(self.root, "whole"), out)
        other = self.deck.copy()
        other["akf(1)"] = 2.0e9
        with self.assertRaisesRegex(DeckError, "finished run of another deck"):
            threephase.sweep(other, out, progress=False, one_run=False)
        table = threephase.sweep(other, out, force=True, progress=False, one_run=False)
        self.assertTrue(np.all(table["vp_c33"] != self.whole["vp_c33"]))

    def test_runs_without_the_marks_of_a_finished_run_or_with_damaged_results_are_redone(self):
        out = os.path.join(support.scratch(self), "sweep")
        shutil.copytree(os.path.join(self.root, "whole"), out)
        # run_002: the program committed it after the sweep was killed, so
        # neither its deck nor status.json came; run_003: results.json cut
        # short by a full disk.
        for name in ("deck", "status.json"):
            os.remove(os.path.join(out, "run_002", name))
        path = os.path.join(out, "run_003", "results.json")
        with open(path, "r+") as f:
            f.truncate(len(f.read()) // 2)
        kept = os.stat(os.path.join(out, "run_001", "results.json")).st_mtime_ns
        table = threephase.sweep(self.deck, out, jobs=2, progress=False, one_run=False)
        same_table(self, table, self.whole)
        self.assertEqual(os.stat(os.path.join(out, "run_001", "results.json")).st_mtime_ns, kept)
        self.assertTrue(threephase.load(os.path.join(out, "run_003")).ok)

    def test_force_replaces_each_run_only_when_its_new_result_is_in(self):
        out = os.path.join(support.scratch(self), "sweep")
        shutil.copytree(os.path.join(self.root, "whole"), out)
        other = self.deck.copy()
        other["akf(1)"] = 2.0e9
        # Each start of the program notes which finished runs are there.
        log = os.path.join(out, "..", "seen")
        program = script(support.scratch(self), "ls -d %s/run_* >> %s\nexec %s \"$@\"\n"
                         % (out, log, threephase.find_program()))
        table = threephase.sweep(other, out, force=True, jobs=1, progress=False, program=program,
                                 one_run=False)
        self.assertTrue(np.all(table["vp_c33"] != self.whole["vp_c33"]))
        starts = support.read(log).split("\n")
        self.assertEqual([ln for ln in starts if ln.endswith("run_003")], [out + "/run_003"] * 3)

    def test_parts_of_a_sweep_join_to_the_whole_table(self):
        base = support.scratch(self)
        parts = [os.path.join(base, "part%d" % i) for i in (1, 2)]
        for i, folder in enumerate(parts, 1):
            threephase.sweep(self.deck, folder, part=(i, 2), progress=False)
        self.assertEqual(sorted(os.listdir(parts[1])), ["run_002", "sweep.csv"])
        same_table(self, threephase.join(parts, os.path.join(base, "joined")), self.whole)


def script(folder, body):
    """An executable shell script in `folder` standing in for the program."""
    path = os.path.join(folder, "program")
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + body)
    os.chmod(path, 0o755)
    return path


# A sweep in a Python of its own: its table, or the interrupt that ended it.
SWEEP = """
import sys
sys.path.insert(0, sys.argv[1])
import threephase
deck = threephase.Deck.read(sys.argv[2])
try:
    threephase.sweep(deck, sys.argv[3], jobs=1, progress=False, program=sys.argv[4],
                     one_run=False)
except KeyboardInterrupt:
    sys.exit(3)
"""


class Interrupts(unittest.TestCase):
    def test_one_interrupt_ends_the_runs_writes_what_finished_and_a_resume_completes_it(self):
        deck = support.small_deck()
        whole = threephase.sweep(deck, os.path.join(support.scratch(self), "whole"),
                                 progress=False, one_run=False)
        for sig in (signal.SIGINT, signal.SIGTERM):
            base = support.scratch(self)
            deck.write(os.path.join(base, "deck"))
            for name in threephase.deck.SIDE_FILES:
                shutil.copy(os.path.join(support.EXAMPLES, "permafrost", name), base)
            out = os.path.join(base, "sweep")
            # The first run is the program's; the next one hangs until ended.
            program = script(base, "if [ -e %s/first ]; then echo $$ > %s/hung; exec sleep 60; fi\n"
                             "touch %s/first\nexec %s \"$@\"\n"
                             % (base, base, base, threephase.find_program()))
            child = subprocess.Popen([sys.executable, "-c", SWEEP,
                                      os.path.join(support.REPO, "python"),
                                      os.path.join(base, "deck"), out, program])
            hung = os.path.join(base, "hung")
            deadline = time.monotonic() + 60
            while not os.path.exists(hung) or not support.read(hung).strip():
                self.assertLess(time.monotonic(), deadline, "the second run never started")
                time.sleep(0.05)
            child.send_signal(sig)
            try:
                status = child.wait(timeout=20)
            except subprocess.TimeoutExpired:
                child.kill()
                self.fail("signal %d did not stop the sweep" % sig)
            self.assertEqual(status, 3, "signal %d" % sig)
            with self.assertRaises(ProcessLookupError):  # the hung run was ended
                os.kill(int(support.read(hung)), 0)
            table = threephase.read_table(os.path.join(out, "sweep.csv"))
            self.assertEqual(table["run"].tolist(), ["run_001"])
            self.assertEqual(sorted(os.listdir(out)), ["run_001", "sweep.csv"])
            same_table(self, threephase.sweep(deck, out, progress=False, one_run=False), whole)


class FieldSweeps(unittest.TestCase):
    def test_failed_run_keeps_its_row_and_stop_code_the_others_go_on(self):
        # A water proportion of 0.35 reaches phi_a(1) = 0.3: stop code 11.
        out = os.path.join(support.scratch(self), "sweep")
        deck = support.small_deck(n_freq=1)
        table = threephase.sweep(deck, out, field="phi_layer(1)", values=[0.1, 0.35, 0.2],
                                 progress=False)
        self.assertEqual(table["status"].tolist(), ["ok", "failed", "ok"])
        self.assertEqual(table["stop_code"].tolist(), [40, 11, 40])
        self.assertRegex(table["message"][1], "(?i)code 11: ice model")
        self.assertTrue(np.isnan(table["vp_c33"][1]))
        self.assertTrue(os.path.isdir(os.path.join(out, "run_002")))

    def test_porosity_and_water_proportion_sweeps_reach_the_run(self):
        # The layered model runs with 0.1 whatever phi_layer says; both
        # fields go to the run through porosity.frac, so the result moves.
        deck = support.small_deck(n_freq=1)
        for field in ("porosity", "water_proportion"):
            out = os.path.join(support.scratch(self), field)
            table = threephase.sweep(deck, out, field=field, values=[0.1, 0.2], progress=False)
            self.assertEqual(table["status"].tolist(), ["ok", "ok"], field)
            self.assertNotEqual(table["vp_c33"][0], table["vp_c33"][1], field)
            used = threephase.load(os.path.join(out, "run_002")).porosity
            self.assertAlmostEqual(used.mean(), 0.2, places=12)
            # one value everywhere: the legacy form suffices and is kept
            self.assertTrue(os.path.isfile(os.path.join(out, "run_002", "deck")), field)

    def test_sweeps_of_a_layered_keyword_deck_stay_keyword_and_the_run_honours_its_layers(self):
        # A legacy deck cannot say per-layer water: its run would force 0.1.
        deck = support.small_deck(nx=3, ny=4, n_freq=1, example="shaley_sand").as_keyword()
        deck.materials, deck.water_proportion, deck.porosity_source = \
            "layered", [0.1, 0.25], "by_layer"
        deck["nl(1)"], deck["nl(2)"] = 2, 2
        out = os.path.join(support.scratch(self), "porosity")
        threephase.sweep(deck, out, field="porosity", values=[0.2], progress=False)
        run = threephase.load(os.path.join(out, "run_001"))
        self.assertTrue(run.ok and run.deck.form == "keyword")
        self.assertFalse(os.path.exists(os.path.join(out, "run_001", "deck")))
        self.assertEqual((run.deck.materials, run.deck.porosity_source),
                         ("layered", {"file": "porosity.frac"}))
        self.assertAlmostEqual(run.porosity.mean(), 0.2, places=9)
        self.assertAlmostEqual(run.porosity[2, 0] - run.porosity[0, 0], 0.15, places=9)
        out = os.path.join(support.scratch(self), "water")
        table = threephase.sweep(deck, out, field="water_proportion", values=[0.2, 0.3],
                                 progress=False)
        self.assertNotEqual(table["vp_c33"][0], table["vp_c33"][1])
        run = threephase.load(os.path.join(out, "run_002"))
        self.assertEqual((run.deck.water_proportion, run.deck.porosity_source),
                         ([0.3, 0.3], "by_layer"))
        self.assertEqual(run.porosity.tolist(), np.full((4, 3), 0.3).tolist())

    def test_porosity_sweep_moves_a_fractal_field_keeping_its_fluctuations(self):
        deck = support.small_deck(n_freq=1)
        deck.porosity = threephase.porosity.fractal(4, 4, mean=0.15, std=0.02, realization=2)
        deck["model"] = 1
        out = os.path.join(support.scratch(self), "sweep")
        threephase.sweep(deck, out, field="porosity", values=[0.2], progress=False)
        used = threephase.load(os.path.join(out, "run_001")).porosity
        np.testing.assert_allclose(used - used.mean(), deck.porosity - deck.porosity.mean(),
                                   atol=1e-9)


class Resolution(unittest.TestCase):
    def test_each_row_says_whether_it_resolves_the_diffusion_length_and_warns_by_run(self):
        # A 3 mm sample: 110 cells across the diffusion length at 1 Hz, 1.1
        # at 10 kHz.
        deck = support.small_deck()
        deck["domain_size"] = 0.003
        out = os.path.join(support.scratch(self), "sweep")
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            table = threephase.sweep(deck, out, frequencies=[1.0, 10000.0], one_run=False,
                                     progress=False)
        self.assertEqual(table["resolved"].tolist(), [True, False])
        for row in table:
            diffusion = threephase.load(os.path.join(out, row["run"])).json["diffusion"]
            self.assertEqual(row["diffusion_cells_across"], diffusion["cells_across"])
        again = threephase.read_table(os.path.join(out, "sweep.csv"))
        self.assertEqual(again["resolved"].tolist(), [True, False])
        said = [str(w.message) for w in caught if w.category is threephase.ThreephaseWarning]
        self.assertTrue(any(m.startswith("run_002: the fluid-pressure diffusion length")
                            for m in said), said)
        self.assertFalse(any(m.startswith("run_001: ") and "diffusion" in m for m in said))

    def test_tools_sweep_takes_a_deck_file(self):
        base = support.scratch(self)
        deck = os.path.join(base, "mine.deck")
        support.small_deck(n_freq=1).write(deck)
        for name in threephase.deck.SIDE_FILES:
            shutil.copy(os.path.join(support.EXAMPLES, "permafrost", name), base)
        out = os.path.join(base, "out")
        done = subprocess.run([sys.executable, os.path.join(support.REPO, "tools", "sweep"),
                               deck, out, "--frequencies", "100", "--separate-runs", "-j", "1"],
                              capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(len(threephase.read_table(os.path.join(out, "sweep.csv"))), 1)


if __name__ == "__main__":
    unittest.main()
