"""Figures: written as PNG and PDF, canvas shaped by the sample, constant
fields without a colour bar, curves in two single-axis panels."""

import os
import struct
import unittest

import numpy as np

import support
import threephase
from threephase import figures


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    return struct.unpack(">II", head[16:24])


def expected_pixels(nx, ny):
    w, h = figures.map_figsize(nx, ny)
    return round(w * figures.DPI), round(h * figures.DPI)


class Maps(unittest.TestCase):
    def test_every_map_of_a_run_and_the_input_porosity_are_drawn_in_both_formats(self):
        base = support.scratch(self)
        result = threephase.run(support.small_deck(nx=3, ny=7, n_freq=1), os.path.join(base, "r"))
        paths = figures.plot_run(result, os.path.join(base, "plots"))
        stems = {os.path.splitext(os.path.basename(p))[0] for p in paths}
        self.assertEqual(stems, set(result.maps) | {"input_porosity"})
        for p in paths:
            self.assertGreater(os.path.getsize(p), 1000, p)
            if p.endswith(".png"):
                self.assertEqual(png_size(p), expected_pixels(3, 7), p)

    def test_canvas_follows_the_aspect_of_the_sample(self):
        base = support.scratch(self)
        for nx, ny in ((40, 10), (10, 40), (60, 60)):
            png = figures.plot_porosity(np.random.default_rng(0).random((ny, nx)),
                                        os.path.join(base, "p%dx%d" % (nx, ny)))[0]
            width, height = png_size(png)
            self.assertEqual((width, height), expected_pixels(nx, ny))
            self.assertEqual(width > height + 100, nx > ny, (nx, ny))
        # A wide sample fills a wide canvas: no thin strip in white space.
        w, h = figures.map_figsize(40, 10)
        self.assertGreater(w / h, 2.0)

    def test_constant_field_has_a_note_instead_of_a_colour_bar(self):
        flat = figures.map_figure(np.full((4, 6), 2.5), "shear modulus", "GPa")
        varied = figures.map_figure(np.arange(24.0).reshape(4, 6), "shear modulus", "GPa")
        self.assertEqual((len(flat.axes), len(varied.axes)), (1, 2))
        self.assertIn("2.5 GPa in every cell", [t.get_text() for t in flat.axes[0].texts])

    def test_moduli_maps_are_titled_in_gigapascal(self):
        self.assertEqual(figures.map_title("xmu1_gnu"), ("Shear modulus mu1 (GPa)", "GPa"))


class Curves(unittest.TestCase):
    def test_dispersion_figure_has_two_panels_each_with_one_y_axis_and_the_same_names(self):
        out = os.path.join(support.scratch(self), "sweep")
        table = threephase.sweep(support.small_deck(n_freq=2), out, progress=False,
                                 one_run=False)
        paths = figures.plot_curves(table, os.path.join(out, "dispersion"))
        self.assertEqual([os.path.splitext(p)[1] for p in paths], [".png", ".pdf"])
        self.assertEqual(png_size(paths[0]), tuple(round(v * figures.DPI)
                                                   for v in figures.CURVE_SIZE))
        fig = figures.curves_figure(table)
        self.assertEqual(len(fig.axes), 2)  # no twin axis
        labels = [[line.get_label() for line in ax.get_legend().get_lines()] for ax in fig.axes]
        self.assertEqual(labels[0], labels[1])
        self.assertEqual(len(labels[0]), 4)
        self.assertIn("the sample's", labels[0][0])  # the plate test's C33 comes first
        self.assertIn("mstar 1000/Q < 0", fig.axes[1].get_legend().get_title().get_text())


if __name__ == "__main__":
    unittest.main()
