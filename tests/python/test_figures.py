"""Figures: written as PNG and PDF, canvas shaped by the sample, constant
fields without a colour bar, curves in two single-axis panels."""

import os
import struct
import sys
import unittest

import numpy as np

import support
import test_stiffness
import threephase
from threephase import convergence, figures
import threephase.sweep  # noqa: F401 (the module, for its table)
sweep_module = sys.modules["threephase.sweep"]


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
        self.assertIn("porosity", result.maps)  # the input field, drawn once among the maps
        self.assertEqual(stems, set(result.maps))
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
        self.assertIn("the sample's", labels[0][0])  # the plate test's C33 comes first
        # The closed-form reference names the cell it is of.
        cell = table["closed_form_cell"][0]
        self.assertRegex(cell, r"^\(\d+, \d+\)$")
        self.assertIn("closed form, fast P wave of cell " + cell, labels[0])
        self.assertIn("mstar 1000/Q < 0", fig.axes[1].get_legend().get_title().get_text())


def sweep_table(field=None):
    """A table of three runs: the second failed, the third unresolved; the
    legacy mstar's 1000/Q thousands of times the sample's and negative."""
    rows = []
    for n, (x, status, resolved) in enumerate(((10.0, "ok", True), (100.0, "failed", False),
                                               (1000.0, "ok", False)), 1):
        ok = status == "ok"
        row = {c: np.nan for c in sweep_module.RESULT_COLUMNS}
        row.update(run="run_%03d" % n, freq_hz=x, status=status, stop_code=40 if ok else 2,
                   message="", resolved=resolved, closed_form_cell="(2, 3)" if ok else "")
        if ok:
            row.update(c33_velocity_m_per_s=3000.0 + x, c33_1000_over_q=1.0 + x / 1000,
                       vp_mstar=2900.0, q1000_mstar=-4000.0, cell_vp1_velocity_m_per_s=3700.0,
                       cell_vp1_1000_over_q=0.02)
        if field:
            row[field] = x / 10000
        rows.append(row)
    return sweep_module.to_table(rows, field)


class PaperFigures(unittest.TestCase):
    def test_small_attenuations_stay_readable_beside_the_legacy_mstar(self):
        fig = figures.curves_figure(sweep_table())
        ax_q = fig.axes[1]
        self.assertEqual(ax_q.get_yscale(), "symlog")
        # A linear part as small as the smallest 1000/Q drawn (0.02).
        self.assertLessEqual(ax_q.yaxis.get_transform().linthresh, 0.02)
        # Curves of one sign within three decades (a relaxation peak) stay linear.
        self.assertEqual(figures.stiffness_curves_figure(
            threephase.load(test_stiffness.folder_with(self, test_stiffness.fixture())).curves)
            .axes[1].get_yscale(), "linear")

    def test_failed_runs_are_marked_and_unresolved_points_hollow(self):
        fig = figures.curves_figure(sweep_table())
        for ax in fig.axes:
            failed = [ln for ln in ax.get_lines() if ln.get_marker() == "x"]
            self.assertEqual([list(ln.get_xdata()) for ln in failed], [[100.0]])
            hollow = [ln for ln in ax.get_lines() if ln.get_markerfacecolor() == "none"
                      and len(ln.get_xdata())]
            self.assertTrue(hollow)
            self.assertTrue(all(list(ln.get_xdata()) == [1000.0] for ln in hollow))
            labels = [t.get_text() for t in ax.get_legend().get_texts()]
            self.assertIn(figures.FAILED_LABEL, labels)
            self.assertIn(figures.UNRESOLVED_LABEL, labels)
            self.assertIn("closed form, fast P wave of cell (2, 3)", labels)

    def test_titles_and_axes_describe_the_sample_not_the_decks_keys(self):
        deck = support.small_deck(nx=30, ny=20)
        fig = figures.curves_figure(sweep_table("water_proportion"), deck=deck)
        title = fig._suptitle.get_text()
        self.assertIn("Permafrost sample, 30 by 20 cells, 0.3 m high", title)
        self.assertNotIn("water_proportion", title)
        self.assertEqual(fig.axes[0].get_xlabel(), "water proportion of every layer")
        self.assertEqual(figures.field_words("phi_a(2)"),
                         "absolute porosity, water plus ice (permafrost model), layer 2")

    def test_material_map_has_a_discrete_bar_and_signed_maps_diverge_about_zero(self):
        materials = np.array([[1.0, 1.0], [2.0, 2.0]])
        fig = figures.map_figure(materials, "Material number", discrete=True)
        bar = fig.axes[1]
        self.assertEqual([t for t in bar.get_yticks() if 0.5 < t < 2.5], [1.0, 2.0])
        self.assertEqual(fig.axes[0].images[0].cmap.N, 2)
        signed = figures.map_figure(np.array([[-1.0, 3.0], [0.5, 2.0]]), "stress", "Pa")
        image = signed.axes[0].images[0]
        self.assertEqual(image.cmap.name, "RdBu_r")
        self.assertEqual(image.get_clim(), (-3.0, 3.0))
        self.assertEqual(figures.map_figure(np.array([[1.0, 3.0]]), "m").axes[0].images[0]
                         .cmap.name, "viridis")

    def test_stress_maps_are_named_the_partial_stress_of_solid_1(self):
        meaning = {"real_stress_map": ("vertical stress, real part", "Pa")}
        self.assertEqual(figures.map_title("real_stress_map", meaning)[0],
                         "Partial vertical stress of solid 1, real part (Pa)")
        self.assertEqual(figures.map_title("real_total_stress_map")[0],
                         "Total vertical stress, real part (Pa)")

    def test_study_figure_has_no_offset_labels_and_its_slope_labels_apart(self):
        levels = [{"state": "ran", "cell_size_m": h} for h in (0.075, 0.0375, 0.025)]
        # Changes from 1e-11 to 1e-2 of the value: many decades on the
        # changes' axis, so the ends of the slope guides lie close.
        values = {"mstar_velocity": [3000.0, 3000.00000003, 3000.00000006],
                  "mstar_1000_over_q": [-300, -310, -312],
                  "c33_velocity": [3754.54, 3757.47, 3758.59],
                  "c33_1000_over_q": [1.1, 1.2, 1.22]}
        table = {"levels": levels, "results": [
            {"quantity": q, "values": v, "extrapolated": None, "error": None, "verdict": "x"}
            for q, v in values.items()]}
        fig = convergence.study_figure(table)
        fig.canvas.draw()
        for ax in fig.axes:
            self.assertEqual(ax.yaxis.get_offset_text().get_text(), "", ax.get_title())
        slopes = [t for ax in fig.axes for t in ax.texts if t.get_text().startswith("slope")]
        self.assertEqual(len(slopes), 2)
        a, b = (t.get_window_extent() for t in slopes)
        self.assertFalse(a.overlaps(b))


if __name__ == "__main__":
    unittest.main()
