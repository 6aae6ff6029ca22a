"""The convergence study from Python: the package stages a Deck with its own
porosity field, the program runs the levels, the table and figure come back."""

import os
import shutil
import subprocess
import sys
import unittest

import numpy as np

import support
import threephase
from threephase import convergence, porosity


class StudyFromPython(unittest.TestCase):
    def test_fractal_field_of_a_deck_is_refined_and_the_table_and_figure_come_back(self):
        out = os.path.join(support.scratch(self), "study")
        deck = support.small_deck(nx=3, ny=3, n_freq=1)
        deck.porosity = porosity.fractal(3, 3, mean=0.2, std=0.05, correlation_length=1,
                                         hurst=0.5, realization=3)
        deck["model"] = 1
        table = threephase.converge(deck, refine=[1, 2, 3], out_dir=out, jobs=2)
        self.assertEqual(table["refinements_run"], [1, 2, 3])
        self.assertEqual([lv["nx"] for lv in table["levels"]], [3, 6, 9])
        # Each child of a coarse cell holds its parent's porosity.
        fine = np.loadtxt(os.path.join(out, "level_3", "porosity.frac")).reshape(9, 9)
        coarse = np.loadtxt(os.path.join(out, "level_1", "porosity.frac")).reshape(3, 3)
        np.testing.assert_array_equal(fine, np.kron(coarse, np.ones((3, 3))))
        names = [row["quantity"] for row in table["results"]]
        self.assertIn("c33_1000_over_q", names)
        for row in table["results"]:
            self.assertEqual(len(row["values"]), 3, row["quantity"])
        self.assertTrue(os.path.getsize(os.path.join(out, "converge.png")) > 10000)

    def test_a_keyword_deck_is_studied_with_its_layered_plan(self):
        # The study refused keyword decks ("convert --legacy" drops the plan).
        deck = threephase.Deck.read(os.path.join(support.EXAMPLES, "shaley_sand", "deck.toml"))
        text = deck.text().replace('materials = "uniform"', 'materials = "layered"')
        self.assertIn('materials = "layered"', text)
        path = os.path.join(support.scratch(self), "deck.toml")
        with open(path, "w") as f:
            f.write(text)
        for name in ("elast_coef_sand", "b11_b22_b12_sand"):
            shutil.copy(os.path.join(support.EXAMPLES, "shaley_sand", name), os.path.dirname(path))
        out = os.path.join(support.scratch(self), "study")
        table = threephase.converge(path, refine=[1, 2], out_dir=out)
        self.assertEqual([lv["nx"] for lv in table["levels"]], [16, 32])
        with open(os.path.join(out, "level_2", "deck.toml")) as f:
            self.assertIn('materials = "layered"', f.read())

    def test_a_quoted_folder_name_is_a_name_and_the_deck_is_staged_beside_not_inside(self):
        base = support.scratch(self)
        out = os.path.join(base, "Bob's study")
        threephase.converge(support.small_deck(n_freq=1), refine=[1, 2], out_dir=out)
        self.assertEqual(os.listdir(base), ["Bob's study"])
        self.assertEqual(sorted(os.listdir(out)), ["converge.csv", "converge.json", "converge.pdf",
                                                   "converge.png", "level_1", "level_2"])
        # Again into the same folder: an earlier study is replaced.
        threephase.converge(support.small_deck(n_freq=1), refine=[1, 3], out_dir=out)
        self.assertIn("level_3", os.listdir(out))
        self.assertNotIn("level_2", os.listdir(out))

    def test_tools_plot_draws_the_figure_of_a_study_folder_the_program_wrote(self):
        base = support.scratch(self)
        out = os.path.join(base, "Bob's study")
        deck = os.path.join(base, "deck")
        support.small_deck(n_freq=1).write(deck)
        for name in threephase.deck.SIDE_FILES:
            support.shutil.copy(os.path.join(support.EXAMPLES, "permafrost", name), base)
        program = threephase.find_program()
        done = subprocess.run([program, "converge", deck, "--refine", "1,2", "-o", out],
                              capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertFalse(os.path.exists(os.path.join(out, "converge.png")))
        plot = subprocess.run([sys.executable, os.path.join(support.REPO, "tools", "plot"), out,
                               "--formats", "png"], capture_output=True, text=True)
        self.assertEqual(plot.returncode, 0, plot.stderr)
        self.assertEqual(plot.stdout.split("\n")[0], os.path.join(out, "converge.png"))
        self.assertGreater(os.path.getsize(os.path.join(out, "converge.png")), 10000)

    def test_bad_refinements_raise_with_the_programs_reason(self):
        out = os.path.join(support.scratch(self), "study")
        with self.assertRaises(convergence.StudyFailed) as caught:
            threephase.converge(support.small_deck(), refine=[2, 1], out_dir=out)
        self.assertEqual(caught.exception.status, 2)
        self.assertIn("increasing factors", str(caught.exception))


if __name__ == "__main__":
    unittest.main()
