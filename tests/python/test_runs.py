"""Runs through the package: maps oriented as the sample is, SI numbers,
a failed run that leaves earlier results alone, what a run says to the
notebook."""

import os
import re
import shutil
import unittest
import warnings

import numpy as np

import support
import test_stiffness
import threephase
from threephase import porosity, results
from threephase.results import json_numbers


class MapOrientation(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # A 3 by 7 sample, one cell (j, k) = (3, 2) more porous than the
        # rest: no symmetry can hide a swapped or flipped map.
        cls.dir = support.tempfile.mkdtemp(prefix="tp-py-maps-")
        deck = support.small_deck(nx=3, ny=7, n_freq=1)
        field = porosity.uniform(3, 7, 0.1)
        field[1, 2] = 0.2
        deck.porosity, deck["model"] = field, 1
        cls.result = threephase.run(deck, os.path.join(cls.dir, "run"))

    @classmethod
    def tearDownClass(cls):
        support.shutil.rmtree(cls.dir)

    def test_every_map_is_ny_by_nx(self):
        self.assertGreaterEqual(len(self.result.maps), 21)
        for name, a in self.result.maps.items():
            self.assertEqual(a.shape, (7, 3), name)

    def test_coefficient_maps_written_column_by_column_put_the_odd_cell_at_k2_j3(self):
        for name in ("xmu1_gnu", "xlambda1_gnu", "b11_gnu", "xm_gnu"):
            a = self.result.maps[name]
            odd = np.argwhere(a != a[0, 0])
            self.assertEqual(odd.tolist(), [[1, 2]], name)

    def test_field_maps_written_row_by_row_follow_the_same_cells(self):
        # The strain of solid 1 is largest in the softest cell, and the
        # input porosity map is the field given.
        strain = np.abs(self.result.maps["real_strain1_map"])
        self.assertEqual(np.unravel_index(np.argmax(strain), strain.shape), (1, 2))
        self.assertTrue(np.array_equal(self.result.porosity[1, 2], 0.2))

    def test_pressure_gradient_sits_on_interior_cells_only(self):
        g = self.result.maps["mod_grad_pressure_p33_ice"]
        self.assertTrue(np.all(np.isfinite(g[1:-1, 1:-1])))
        self.assertTrue(np.all(np.isnan(g[[0, -1], :])) and np.all(np.isnan(g[:, [0, -1]])))

    def test_numbers_agree_with_each_other_in_si_units(self):
        n = self.result.numbers
        # c33 is the modulus behind the c33 velocity: v = 1/Re(1/sqrt(M/rho)).
        self.assertEqual(self.result.stop_code, 40)
        self.assertAlmostEqual(n["q1000_c33"], 1000 * n["c33"].imag / n["c33"].real, delta=1e-9)
        self.assertGreater(n["c33"].real, 1e9)
        self.assertEqual(n["neq"] % 1, 0)
        self.assertAlmostEqual(n["h"], 0.3 / 7, places=15)


def without_clock(path):
    """The bytes of a result file, the report's running time blanked."""
    with open(path, "rb") as f:
        return re.sub(rb"running time=.*", b"running time=", f.read())


def run_files(folder):
    """The files a run folder holds, by path under it, but the messages and
    status of the run."""
    out = set()
    for top, _, names in os.walk(folder):
        out |= {os.path.relpath(os.path.join(top, n), folder) for n in names}
    return out - {"stderr.txt", "status.json"}


class ResultsJson(unittest.TestCase):
    def test_numbers_and_maps_of_results_json_are_those_of_the_report_and_map_files(self):
        # The stable names must point at the same quantities the report
        # prints: a wave read by rank instead of legacy label, or a map
        # transposed, would show here.
        deck = support.small_deck(nx=3, ny=5, n_freq=1)
        r = threephase.run(deck, os.path.join(support.scratch(self), "run"))
        report = results.report_numbers(support.read(os.path.join(r.path, "report.txt")))
        report.update(results.table_numbers(r.path))
        for name in ("vp_c33", "q1000_c33", "vp_mstar", "q1000_mstar", "c33", "mstar", "vp1",
                     "vp3", "vs2", "legacy_q1000_vp2", "q1000_vp1", "neq", "vp1_anal",
                     "legacy_q1000_anal", "freq_hz"):
            self.assertAlmostEqual(abs(r.numbers[name] - report[name]) / abs(report[name]),
                                   0.0, places=4, msg=name)
        self.assertEqual(r.vp_c33, r.numbers["vp_c33"])
        text = results.read_maps(r.path, 3, 5)
        self.assertGreaterEqual(len(r.maps), 21)
        for name, a in r.maps.items():
            np.testing.assert_allclose(a, text[name], rtol=1e-6, atol=1e-30, err_msg=name)
        np.testing.assert_array_equal(r.porosity, np.full((5, 3), 0.1))

    def test_a_folder_written_by_the_program_alone_loads_as_a_normal_end(self):
        out = os.path.join(support.scratch(self), "run")
        threephase.run(support.small_deck(n_freq=1), out)
        os.remove(os.path.join(out, "status.json"))
        again = threephase.load(out)
        self.assertEqual((again.status, again.stop_code), ("ok", 40))


class WhatARunSays(unittest.TestCase):
    """What a run tells the notebook: the program's warnings, one Q
    definition, the closed-form references by name, how a run failed and
    which deck it ran."""

    def test_program_warnings_reach_python_and_result_warnings(self):
        # A 4 by 4 grid never resolves the diffusion length: the program warns.
        out = os.path.join(support.scratch(self), "run")
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            r = threephase.run(support.small_deck(n_freq=1), out)
        self.assertTrue(any("diffusion length" in w for w in r.warnings), r.warnings)
        self.assertEqual(r.warnings, r.json["warnings"])
        self.assertEqual([str(w.message) for w in caught
                          if w.category is threephase.ThreephaseWarning], r.warnings)

    def test_plane_wave_q_is_the_moduli_definition_and_the_legacy_one_says_so(self):
        r = threephase.run(support.small_deck(nx=3, ny=5, n_freq=1),
                           os.path.join(support.scratch(self), "run"))
        fast = r.json["plane_waves"]["compressional"][0]
        n = r.numbers
        self.assertEqual(n["q1000_vp1"], fast["q_inverse_times_1000"])
        self.assertEqual(n["q1000_anal"], fast["q_inverse_times_1000"])
        self.assertEqual(n["legacy_q1000_vp1"],
                         fast["legacy_1000_over_q_abs_re_over_im_slowness"])
        # A legacy folder's report gives the legacy value; read back, it is
        # turned into the same definition.
        report = results.report_numbers(support.read(os.path.join(r.path, "report.txt")))
        self.assertAlmostEqual(report["q1000_vp1"] / n["q1000_vp1"], 1.0, places=4)
        self.assertAlmostEqual(report["legacy_q1000_vp1"] / n["legacy_q1000_vp1"], 1.0, places=5)
        self.assertEqual((r.reference.velocity, r.reference.q_inverse_times_1000),
                         (fast["velocity_m_per_s"], fast["q_inverse_times_1000"]))
        self.assertIn("cell (%d, %d)" % tuple(r.json["plane_waves"]["cell"]), r.reference.label)

    def test_average_medium_reference_is_named_and_an_older_folder_has_none(self):
        j = test_stiffness.fixture()
        self.assertIsNone(threephase.load(test_stiffness.folder_with(self, j)).average_medium)
        j["plane_waves"]["cell"] = [5, 3]
        j["plane_waves_average_medium"] = {
            "averaging": "volume average of the cells' coefficients",
            "compressional": [{"rank": 1, "legacy_label": "vp1", "velocity_m_per_s": 2600.0,
                               "q_inverse_times_1000": 0.5}], "shear": []}
        r = threephase.load(test_stiffness.folder_with(self, j))
        self.assertEqual((r.average_medium.velocity, r.average_medium.q_inverse_times_1000),
                         (2600.0, 0.5))
        summary = r.summary()
        self.assertIn("closed form, fast P wave of cell (5, 3): velocity 4037.04", summary)
        self.assertIn("closed form, fast P wave of the average medium: velocity 2600", summary)

    def test_a_run_refused_for_its_input_says_bad_input_not_a_stop_code(self):
        deck = support.small_deck(n_freq=1)
        deck.ny = 0
        with self.assertRaises(threephase.RunFailed) as caught:
            threephase.run(deck, os.path.join(support.scratch(self), "run"))
        self.assertEqual(caught.exception.result.exit_status, 2)
        self.assertRegex(str(caught.exception), "^run failed, bad input: ")

    def test_results_json_names_the_users_deck_not_a_deleted_copy(self):
        base = support.scratch(self)
        case = os.path.join(base, "case")
        shutil.copytree(os.path.join(support.EXAMPLES, "permafrost"), case)
        deck = support.small_deck(n_freq=1)
        deck.write(os.path.join(case, "deck"))
        path = os.path.join(case, "deck")
        r = threephase.run(path, os.path.join(base, "as_given"))
        self.assertEqual(r.json["deck"]["path"], path)
        # A deck changed in Python is not the file: the copy kept with the
        # results is the deck that ran.
        changed = threephase.Deck.read(path)
        changed.nx = 3
        r = threephase.run(changed, os.path.join(base, "changed"))
        self.assertEqual(r.json["deck"]["path"], os.path.join(r.path, "deck"))
        self.assertEqual(threephase.Deck.read(r.json["deck"]["path"]).nx, 3)


class KeywordRuns(unittest.TestCase):
    def test_keyword_conversion_of_every_example_runs_to_the_legacy_files_byte_for_byte(self):
        # The [run] table of the conversion states the legacy run's plan
        # (material 1, water 0.1, porosity 0.1 or porosity.frac), so the
        # program must give the same report and result files.
        for name in ("permafrost", "shaley_sand", "fractal"):
            legacy = support.small_deck(nx=4, ny=6, n_freq=1, example=name)
            base = support.scratch(self)
            a = threephase.run(legacy, os.path.join(base, "legacy"))
            b = threephase.run(legacy.as_keyword(), os.path.join(base, "keyword"))
            self.assertEqual(b.deck.form, "keyword", name)
            # results.json names the deck and times the stages; its numbers must agree.
            files = run_files(a.path) - {"deck", "results.json"}
            self.assertEqual(files, run_files(b.path) - {"deck.toml", "results.json"}, name)
            self.assertGreater(len(files), 40, name)
            for f in files:
                self.assertEqual(without_clock(os.path.join(a.path, f)),
                                 without_clock(os.path.join(b.path, f)), "%s: %s" % (name, f))
            self.assertEqual(json_numbers(a.json), json_numbers(b.json), name)

    def test_a_layered_plan_reaches_the_run_and_its_porosity_is_read_back(self):
        deck = support.small_deck(nx=3, ny=6, n_freq=1, example="shaley_sand").as_keyword()
        deck["nl(1)"], deck["nl(2)"] = 2, 1
        deck.materials, deck.water_proportion, deck.porosity_source = \
            "layered", [0.1, 0.25], "by_layer"
        result = threephase.run(deck, os.path.join(support.scratch(self), "run"))
        # Rows repeat with period nl(1) + nl(2) = 3: two of layer 1, one of layer 2.
        self.assertEqual(result.porosity[:, 0].tolist(), [0.1, 0.1, 0.25, 0.1, 0.1, 0.25])
        self.assertEqual(result.maps["matnum_p33"][:, 0].tolist(), [1, 1, 2, 1, 1, 2])


    def test_the_rest_of_the_run_table_survives_the_deck_and_reaches_the_run(self):
        # stiffness, frequencies and elastic_form set on a Deck are written
        # into the keyword deck that runs and read back from its text.
        deck = support.small_deck(nx=3, ny=4, n_freq=1, example="shaley_sand").as_keyword()
        deck.stiffness, deck.elastic_form = "full", "plane_strain"
        deck.frequencies = {"from": 10, "to": 1000, "points": 3}
        again = threephase.Deck(deck.text())
        for name in ("stiffness", "elastic_form", "frequencies"):
            self.assertEqual(getattr(again, name), getattr(deck, name), name)
        with self.assertRaises(threephase.DeckError):
            deck.elastic_form = "three_dimensional"
        strain = threephase.run(deck, os.path.join(support.scratch(self), "strain"))
        self.assertEqual(strain.elastic_form, "plane_strain")
        self.assertEqual(len(strain.curves), 3)
        self.assertIn("c55", strain.effective)
        deck.elastic_form = "two_dimensional"
        flat = threephase.run(deck, os.path.join(support.scratch(self), "flat"))
        self.assertEqual(flat.elastic_form, "two_dimensional")
        self.assertGreater(strain.stiffness["c33"].real, 1.05 * flat.stiffness["c33"].real)


class Staging(unittest.TestCase):
    def test_failed_run_keeps_the_earlier_results_and_is_kept_aside(self):
        out = os.path.join(support.scratch(self), "run")
        deck = support.small_deck(n_freq=1)
        first = threephase.run(deck, out)
        before = support.read(os.path.join(out, "real_stress_map"))
        deck["phi_layer(1)"] = 0.35  # reaches phi_a(1) = 0.3: stop code 11
        with self.assertRaises(threephase.RunFailed) as caught:
            threephase.run(deck, out)
        failed = caught.exception.result
        self.assertEqual((failed.status, failed.stop_code), ("failed", 11))
        self.assertEqual(failed.path, out + ".failed")
        self.assertEqual(support.read(os.path.join(out, "real_stress_map")), before)
        self.assertTrue(threephase.load(out).ok and first.ok)
        self.assertEqual(sorted(os.listdir(os.path.dirname(out))), ["run", "run.failed"])

class DamagedResults(unittest.TestCase):
    def test_a_file_cut_short_is_named_with_what_is_wrong(self):
        base = support.scratch(self)
        run = os.path.join(base, "run")
        threephase.run(support.small_deck(n_freq=1), run)
        stress = os.path.join(run, "maps", "real_stress_map.npy")
        for path in (os.path.join(run, "results.json"), stress, os.path.join(run, "status.json")):
            damaged = os.path.join(base, "damaged")
            support.shutil.rmtree(damaged, ignore_errors=True)
            support.shutil.copytree(run, damaged)
            target = os.path.join(damaged, os.path.relpath(path, run))
            with open(target, "r+b") as f:
                f.truncate(len(f.read()) - 7)
            with self.assertRaises(threephase.ResultError) as caught:
                threephase.load(damaged)
            self.assertEqual(caught.exception.path, target)
            self.assertIn(target, str(caught.exception))
            self.assertIn("cut short or damaged", str(caught.exception))


if __name__ == "__main__":
    unittest.main()
