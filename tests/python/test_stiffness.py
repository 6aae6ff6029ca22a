"""The sample's stiffness from Python: the effective C33 is the answer and
never the legacy test's c33, a homogeneous sample's C33 is its fast P wave,
curves over frequency come back as arrays and figures, and unresolved
points are drawn hollow."""

import json
import os
import shutil
import subprocess
import sys
import unittest
import warnings

import numpy as np

import support
import threephase
from threephase import figures

FIXTURE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fixtures", "curves.json")


def fixture():
    with open(FIXTURE) as f:
        return json.load(f)


def folder_with(test, document):
    """A run folder holding only the given results.json."""
    path = os.path.join(support.scratch(test), "run")
    os.mkdir(path)
    with open(os.path.join(path, "results.json"), "w") as f:
        json.dump(document, f)
    return path


# A stand-in for the program: `run --help` names --frequencies; a run logs
# its arguments and writes the fixture into its -o folder.
STAND_IN = """#!%s
import json, os, shutil, sys
if sys.argv[1:] == ["run", "--help"]:
    print("--frequencies F1,F2,... or FMIN:FMAX:N")
    sys.exit(0)
with open(%r, "a") as log:
    log.write(json.dumps(sys.argv[1:]) + "\\n")
out = sys.argv[sys.argv.index("-o") + 1]
os.makedirs(out, exist_ok=True)
shutil.copy(%r, os.path.join(out, "results.json"))
"""


class SampleAnswer(unittest.TestCase):
    def test_velocity_is_the_effective_c33_and_the_legacy_tests_c33_stays_apart(self):
        j = fixture()
        r = threephase.load(folder_with(self, j))
        eff, leg = j["effective"]["stiffness"]["c33"], j["finite_element"]["c33"]
        self.assertNotAlmostEqual(eff["velocity_m_per_s"], leg["velocity_m_per_s"], places=0)
        self.assertEqual(r.velocity, eff["velocity_m_per_s"])
        self.assertEqual(r.q_inverse_times_1000, eff["q_inverse_times_1000"])
        self.assertEqual(r.stiffness["c33"], complex(*eff["modulus_pa"]))
        self.assertEqual(r.legacy["c33"], complex(*leg["modulus_pa"]))
        self.assertEqual(sorted(r.stiffness), ["c11", "c13", "c33", "c55"])
        # What a person sees first is the sample's C33, the legacy test labelled.
        self.assertIn("C33 velocity %.6g m/s" % eff["velocity_m_per_s"], repr(r))
        lines = r.summary().splitlines()
        self.assertTrue(lines[1].startswith("  C33 at 10 Hz: velocity %.6g"
                                            % eff["velocity_m_per_s"]), lines[1])
        self.assertIn("not the sample's stiffness", lines[-1])
        # A results.json from before the effective block has no answer to
        # give: NaN, not the legacy test's c33 in its place.
        del j["effective"]
        old = threephase.load(folder_with(self, j))
        self.assertTrue(np.isnan(old.velocity) and np.isnan(old.q_inverse_times_1000))
        self.assertEqual(old.legacy["c33"], complex(*leg["modulus_pa"]))

    def test_curves_and_bounds_are_arrays_of_one_entry_per_frequency(self):
        j = fixture()
        r = threephase.load(folder_with(self, j))
        c = r.curves
        self.assertEqual(c.names, ("c33", "c11", "c55"))
        np.testing.assert_array_equal(c.frequency_hz, [1, 10, 100, 1000])
        self.assertEqual(c.modulus["c55"].dtype, complex)
        self.assertEqual(c.modulus["c11"][2], complex(*j["curves"]["c11"]["modulus_pa"][2]))
        self.assertEqual(c.resolved.tolist(), [True, True, False, False])
        self.assertEqual(r.bounds["c33"], (3.0e10, 3.4e10))
        self.assertEqual(r.angles["qsv_velocity_m_per_s"].shape, (3,))
        # Units from the run folder, not the package's own copy.
        self.assertEqual(r.coefficients["f11"], (9.4e8, "kg/(m3 s)"))
        self.assertEqual(r.map_meaning["xmu1_gnu"], ("mu1", "Pa"))
        j["curves"]["resolved"].pop()
        with self.assertRaises(threephase.ResultError) as caught:
            threephase.load(folder_with(self, j))
        self.assertIn("results.json", caught.exception.path)

    def test_a_negative_q_beyond_rounding_is_reported_with_its_file(self):
        j = fixture()
        # Rounding: Im C of 1e-5 Pa on 3e10 Pa, of either sign, is no fault.
        j["effective"]["stiffness"]["c55"]["modulus_pa"][1] = -2.8e-5
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            self.assertEqual(threephase.load(folder_with(self, j)).faults, [])
        j["curves"]["c33"]["modulus_pa"][3][1] = -1.0e7
        path = folder_with(self, j)
        with self.assertWarns(threephase.results.ResultWarning) as caught:
            r = threephase.load(path)
        self.assertIn(os.path.join(path, "results.json"), str(caught.warning))
        self.assertEqual(len(r.faults), 1)
        self.assertIn("c33 has Im C < 0 at 1000 Hz", r.faults[0])

    def test_a_negative_im_c13_alone_is_no_fault_but_a_non_definite_loss_is(self):
        # C13 couples two strains: the loss is the matrix's, not its sign.
        j = fixture()
        j["effective"]["stiffness"]["c13"]["modulus_pa"][1] = -5.0e7
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            self.assertEqual(threephase.load(folder_with(self, j)).faults, [])
        j["effective"]["stiffness"]["c13"]["modulus_pa"][1] = -6.0e8  # 3.6e17 > 2.96e17
        with self.assertWarns(threephase.results.ResultWarning):
            r = threephase.load(folder_with(self, j))
        self.assertEqual(len(r.faults), 1)
        self.assertIn("(Im C13)^2", r.faults[0])


class HomogeneousSample(unittest.TestCase):
    def test_c33_of_a_homogeneous_sample_is_its_fast_p_wave_and_isotropic(self):
        # Every cell is the same: no wave-induced flow between cells, so the
        # plate test's C33 carries the velocity of the closed-form fast P
        # wave, and the horizontal test sees the same modulus.
        deck = support.small_deck(nx=6, ny=6, n_freq=1)
        r = threephase.run(deck, os.path.join(support.scratch(self), "run"), stiffness="full")
        fast = r.json["plane_waves"]["compressional"][0]["velocity_m_per_s"]
        self.assertAlmostEqual(r.velocity / fast, 1.0, delta=1e-6)
        self.assertAlmostEqual(abs(r.stiffness["c11"] / r.stiffness["c33"]), 1.0, delta=1e-6)
        a = r.angles
        self.assertEqual(a["angle_degrees"].tolist(), list(range(0, 91, 5)))
        self.assertAlmostEqual(a["qp_velocity_m_per_s"][0], r.velocity, delta=1e-6 * fast)
        self.assertAlmostEqual(a["qsv_velocity_m_per_s"][0], r.effective["c55"].velocity,
                               delta=1e-6 * fast)
        self.assertEqual(figures.map_title("real_stress_map", r.map_meaning,
                                           r.maps["real_stress_map"]),
                         ("Partial vertical stress of solid 1, real part (Pa)", "Pa"))
        self.assertEqual(figures.map_title("xmu1_gnu", r.map_meaning, r.maps["xmu1_gnu"]),
                         ("mu1 (GPa)", "GPa"))


class CurveRuns(unittest.TestCase):
    def setUp(self):
        self.base = support.scratch(self)
        self.log = os.path.join(self.base, "argv")
        self.program = os.path.join(self.base, "program")
        with open(self.program, "w") as f:
            f.write(STAND_IN % (sys.executable, self.log, FIXTURE))
        os.chmod(self.program, 0o755)

    def calls(self):
        with open(self.log) as f:
            return [json.loads(line) for line in f]

    def test_run_passes_frequencies_stiffness_and_threads_and_draws_the_curves(self):
        r = threephase.run(support.small_deck(n_freq=1), os.path.join(self.base, "run"),
                           program=self.program, frequencies=[1, 10, 100, 1000],
                           stiffness="full", jobs=2)
        argv = self.calls()[0]
        self.assertEqual(argv[argv.index("--frequencies"):],
                         ["--frequencies", "1.0,10.0,100.0,1000.0", "--stiffness", "full",
                          "-j", "2"])
        self.assertEqual(len(r.curves), 4)
        for ext in ("png", "pdf"):
            self.assertGreater(os.path.getsize(os.path.join(r.path, "curves." + ext)), 1000)
        with self.assertRaisesRegex(threephase.DeckError, "stiffness"):
            threephase.run(support.small_deck(n_freq=1), os.path.join(self.base, "x"),
                           program=self.program, stiffness="c33")

    def test_a_frequency_sweep_is_one_run_and_its_table_takes_c33_from_the_curve(self):
        out = os.path.join(self.base, "sweep")
        table = threephase.sweep(support.small_deck(n_freq=1), out, program=self.program,
                                 frequencies=[1, 10, 100, 1000], progress=False)
        self.assertEqual(len(self.calls()), 1)
        c33 = fixture()["curves"]["c33"]
        self.assertEqual(table["c33_velocity_m_per_s"].tolist(), c33["velocity_m_per_s"])
        self.assertEqual(table["c33_1000_over_q"].tolist(), c33["q_inverse_times_1000"])
        # The legacy test ran at the report's frequency (10 Hz) only.
        legacy = fixture()["finite_element"]["c33"]["velocity_m_per_s"]
        self.assertEqual(np.isnan(table["vp_c33"]).tolist(), [True, False, True, True])
        self.assertEqual(table["vp_c33"][1], legacy)
        self.assertEqual([m.startswith("diffusion length not resolved")
                          for m in table["message"]], [False, False, True, True])
        self.assertEqual(table["resolved"].tolist(), [True, True, False, False])
        again = threephase.read_table(os.path.join(out, "sweep.csv"))
        self.assertEqual(again["c33_velocity_m_per_s"].tolist(), c33["velocity_m_per_s"])
        # The same sweep again keeps the finished run.
        threephase.sweep(support.small_deck(n_freq=1), out, program=self.program,
                         frequencies=[1, 10, 100, 1000], progress=False)
        self.assertEqual(len(self.calls()), 1)


class CurveFigures(unittest.TestCase):
    def test_unresolved_points_are_hollow_and_bounds_sit_at_their_velocity(self):
        r = threephase.load(folder_with(self, fixture()))
        fig = figures.stiffness_curves_figure(r.curves, r.bounds, r.density)
        ax_v, ax_q = fig.axes
        for ax in (ax_v, ax_q):
            marked = [ln for ln in ax.get_lines() if ln.get_marker() == "o"]
            hollow = [ln for ln in marked if ln.get_markerfacecolor() == "none"]
            filled = [ln for ln in marked if ln.get_markerfacecolor() != "none"]
            self.assertEqual(len(hollow), 3)  # c33, c11, c55
            for ln in hollow:
                self.assertEqual(list(ln.get_xdata()), [100.0, 1000.0])
            for ln in filled:
                self.assertEqual(list(ln.get_xdata()), [1.0, 10.0])
            labels = [t.get_text() for t in ax.get_legend().get_texts()]
            self.assertIn("not resolved", labels[-1])
            self.assertEqual(ax.get_xscale(), "log")
        flat = sorted(ln.get_ydata()[0] for ln in ax_v.get_lines()
                      if ln.get_marker() == "None" and len(set(ln.get_ydata())) == 1)
        expected = sorted(np.sqrt(v / r.density) for b in r.bounds.values() for v in b)
        np.testing.assert_allclose(flat, expected, rtol=1e-12)

    def test_tools_plot_draws_curves_and_angles_of_a_run_folder(self):
        path = folder_with(self, fixture())
        done = subprocess.run([sys.executable, os.path.join(support.REPO, "tools", "plot"),
                               path, "--formats", "png"], capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(sorted(os.path.basename(p) for p in done.stdout.split()),
                         ["angles.png", "curves.png"])
        fig = figures.angles_figure(threephase.load(path).angles)
        self.assertEqual([ln.get_label() for ln in fig.axes[0].get_lines()], ["qP", "qSV"])


if __name__ == "__main__":
    unittest.main()
