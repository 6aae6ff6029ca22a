"""Porosity fields: the fractal generator's statistics and spectrum, the
porosity.frac format, images to cells."""

import os
import unittest
import warnings

import numpy as np

import support
from threephase import porosity


def radial_slope(field, a):
    """Slope of log power against log wavenumber over 4/a < k < 1, from the
    radially binned spectrum of the windowed field."""
    n = field.shape[0]
    w = np.hanning(n)
    g = (field - field.mean()) * w[:, None] * w[None, :]
    power = np.abs(np.fft.fft2(g)) ** 2
    k = 2 * np.pi * np.hypot(*np.meshgrid(np.fft.fftfreq(n), np.fft.fftfreq(n)))
    edges = np.geomspace(4.0 / a, 1.0, 12)
    kb, pb = [], []
    for lo, hi in zip(edges[:-1], edges[1:]):
        sel = (k >= lo) & (k < hi)
        kb.append(np.exp(np.log(k[sel]).mean()))
        pb.append(power[sel].mean())
    return np.polyfit(np.log(kb), np.log(pb), 1)[0]


class Fractal(unittest.TestCase):
    def test_mean_and_std_are_the_requested_ones_in_every_realization(self):
        for number in range(5):
            f, clipped = porosity.fractal(40, 30, mean=0.25, std=0.04, correlation_length=5,
                                          hurst=0.5, realization=number, info=True)
            self.assertEqual(f.shape, (30, 40))
            self.assertEqual(clipped, 0.0)
            self.assertAlmostEqual(f.mean(), 0.25, places=12)
            self.assertAlmostEqual(f.std(), 0.04, places=12)

    def test_spectrum_falls_with_the_von_karman_slope_of_its_hurst_exponent(self):
        # Beyond 1/a the spectrum goes as k^-(2H+2): the Hurst exponent is
        # what sets the roughness a user asks for.
        for hurst in (0.3, 0.8):
            slopes = [radial_slope(porosity.fractal(128, 128, mean=0.3, std=0.03,
                                                    correlation_length=8, hurst=hurst,
                                                    realization=s), 8) for s in range(8)]
            self.assertAlmostEqual(np.mean(slopes), -(2 * hurst + 2), delta=0.3, msg=hurst)

    def test_same_realization_number_same_field_and_another_number_another_field(self):
        a = porosity.fractal(20, 10, realization=7)
        self.assertTrue(np.array_equal(a, porosity.fractal(20, 10, realization=7)))
        self.assertFalse(np.array_equal(a, porosity.fractal(20, 10, realization=8)))

    def test_values_outside_0_1_are_clipped_and_their_share_reported(self):
        f, clipped = porosity.fractal(30, 30, mean=0.05, std=0.1, realization=1, info=True)
        self.assertGreater(clipped, 0.1)
        self.assertGreaterEqual(f.min(), 0.0)
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            porosity.fractal(30, 30, mean=0.05, std=0.1, realization=1)
        self.assertIn("clipped", str(caught[0].message))


class Runnable(unittest.TestCase):
    def test_generated_fields_keep_every_cell_inside_what_a_run_accepts(self):
        # A cell of porosity 0 (no water) or 1 (no solid) stops the run.
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            f = porosity.fractal(30, 30, mean=0.05, std=0.05, seed=1)
            image = porosity.from_image(np.ones((8, 8)), 4, 4, low=0.0)  # all grain
        self.assertEqual(f.min(), porosity.MIN_POROSITY)
        self.assertTrue(np.all(image == porosity.MIN_POROSITY))
        self.assertEqual(len(caught), 2)
        self.assertIn("clipped into 0.001..0.999", str(caught[0].message))
        self.assertEqual(porosity.from_image(np.ones((8, 8)), 4, 4).min(), porosity.MIN_POROSITY)

    def test_seed_takes_an_integer_or_a_generator_and_realization_is_its_other_name(self):
        a = porosity.fractal(12, 8, seed=5)
        self.assertTrue(np.array_equal(a, porosity.fractal(12, 8, realization=5)))
        drawn = porosity.fractal(12, 8, seed=np.random.default_rng(5))
        self.assertTrue(np.array_equal(a, drawn))
        rng = np.random.default_rng(9)  # a generator is drawn from: two calls, two fields
        self.assertFalse(np.array_equal(porosity.fractal(12, 8, seed=rng),
                                        porosity.fractal(12, 8, seed=rng)))
        with self.assertRaises(ValueError):
            porosity.fractal(12, 8, seed=1, realization=1)


class FracFile(unittest.TestCase):
    def test_written_field_reads_back_cell_by_cell_with_x_fastest(self):
        path = os.path.join(support.scratch(self), "porosity.frac")
        f = porosity.fractal(5, 3, mean=0.2, std=0.05, realization=3)
        f[0, 1] = 0.5  # cell (2, 1): the second line of the file
        porosity.write(f, path)
        lines = support.read(path).splitlines()
        self.assertEqual(len(lines), 15)
        self.assertEqual(lines[1], "0.5000000000")
        self.assertTrue(all(len(x) <= 12 and "." in x for x in lines))
        self.assertLess(np.abs(porosity.read(path, 5, 3) - f).max(), 1e-10)

    def test_reader_applies_the_four_implied_decimals_of_the_file_form(self):
        path = os.path.join(support.scratch(self), "porosity.frac")
        with open(path, "w") as fh:
            fh.write("2500\n0.3         note\n")
        self.assertEqual(porosity.read(path, 2, 1).tolist(), [[0.25, 0.3]])

    def test_values_outside_0_1_are_refused_before_writing(self):
        with self.assertRaises(ValueError):
            porosity.write(np.array([[0.2, 1.5]]), os.path.join(support.scratch(self), "p"))


class Image(unittest.TestCase):
    def test_dark_top_left_of_the_image_is_the_porous_top_left_of_the_sample(self):
        image = np.ones((40, 60))
        image[:20, :30] = 0.0  # image rows run top down
        f = porosity.from_image(image, 6, 4, low=0.05, high=0.35)
        self.assertEqual(f.shape, (4, 6))
        self.assertAlmostEqual(f[3, 0], 0.35)  # cell (1, 4): top left
        self.assertAlmostEqual(f[0, 0], 0.05)  # cell (1, 1): bottom left

    def test_threshold_map_gives_each_cell_its_share_of_pore_pixels(self):
        image = np.array([[0.1, 0.9], [0.9, 0.9]])
        f = porosity.from_image(image, 1, 1, mapping="threshold", low=0.0, high=0.4)
        self.assertAlmostEqual(f[0, 0], 0.1)


class Layered(unittest.TestCase):
    def test_layers_stack_from_the_bottom_and_the_last_fills_the_rest(self):
        f = porosity.layered(2, 5, [(2, 0.1), (1, 0.2)])
        self.assertEqual(f[:, 0].tolist(), [0.1, 0.1, 0.2, 0.2, 0.2])


if __name__ == "__main__":
    unittest.main()
