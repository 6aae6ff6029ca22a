// The diffusion length of the slow compressional wave: its physics (a
// diffusion, so a length that goes as 1/sqrt(omega) and shrinks where the
// fluid flows harder), the grid that resolves it, and the run's warning.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "driver/reports.hpp"
#include "planewave/diffusion.hpp"
#include "planewave/veloc_aten.hpp"
#include "support/deck_edit.hpp"
#include "support/run.hpp"
#include "support/sample.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp::testing;

// A tight water-saturated sand with ice: masses (kg/m3), friction
// (kg/(m3 s)) scaled by `drag`, moduli (Pa).
CellCoefficients tight_sand(double drag) {
  CellCoefficients c;
  c.p11 = 1800, c.p12 = -100, c.p13 = -30, c.p22 = 400, c.p23 = -50, c.p33 = 300;
  c.f11 = 1e11 * drag, c.f12 = -2e10 * drag, c.f22 = 1e10 * drag;
  c.lambda1 = 5e9, c.lambda3 = 3e9, c.mu1 = 6e9, c.mu3 = 2e9, c.mu13 = 1e9;
  c.b1 = 1e9, c.b2 = 3e8, c.m = 5e9, c.d3 = 3e8;
  return c;
}

// The waves of a 2 by 1 grid: cell 1 with friction scaled by drag1, cell 2
// by drag2, at omega; decay gets the per-cell lengths.
tp::WaveReport waves(double drag1, double drag2, double omega, tp::RealField& decay) {
  CoefficientSet co;
  co.size(2, 1);
  co.set(1, 1, tight_sand(drag1));
  co.set(2, 1, tight_sand(drag2));
  decay.resize(2, 1);
  tp::WaveReport r;
  r.slow_p_decay = &decay;
  EXPECT_FALSE(tp::veloc_aten(tp::CellGrid{2, 1, 0.01}, omega, co, r));
  return r;
}

TEST(DiffusionLength, GoesAsOneOverRootFrequencyAndShrinksWithTheFluidsDrag) {
  tp::RealField d1, d4;
  const tp::WaveReport slow = waves(1.0, 4.0, 2.0 * M_PI, d1);
  const tp::WaveReport fast = waves(1.0, 4.0, 8.0 * M_PI, d4);
  // A diffusion of pressure, L = sqrt(D / omega): four times the frequency
  // halves it; four times the drag (a quarter of the diffusivity) too.
  EXPECT_NEAR(d4(1, 1) / d1(1, 1), 0.5, 0.005);
  EXPECT_NEAR(d1(2, 1) / d1(1, 1), 0.5, 0.005);
  // The shortest is the dragged cell's, and the report names it.
  EXPECT_EQ(slow.shortest_decay, d1(2, 1));
  EXPECT_EQ(slow.j_shortest, 2);
  EXPECT_EQ(fast.shortest_decay, d4(2, 1));
}

TEST(DiffusionScale, GridThatResolvesItKeepsTheSampleWithTwoCellsAcross) {
  tp::WaveReport r;
  r.shortest_decay = 0.005;  // m, against cells of 1 cm: half a cell
  const tp::DiffusionScale coarse = tp::diffusion_scale(tp::CellGrid{10, 6, 0.01}, r);
  EXPECT_FALSE(coarse.resolved);
  EXPECT_DOUBLE_EQ(coarse.cells_across, 0.5);
  EXPECT_EQ(coarse.nx_needed, 40);
  EXPECT_EQ(coarse.ny_needed, 24);
  r.shortest_decay = 0.02;  // exactly two cells: resolved, grid as it is
  const tp::DiffusionScale fine = tp::diffusion_scale(tp::CellGrid{10, 6, 0.01}, r);
  EXPECT_TRUE(fine.resolved);
  EXPECT_EQ(fine.nx_needed, 10);
  r.shortest_decay = INFINITY;  // no loss, nothing to resolve
  EXPECT_TRUE(tp::diffusion_scale(tp::CellGrid{10, 6, 0.01}, r).resolved);
}

// The proposed grid is the ceiling of n times the cells missing: 36 cells
// with 0.996 of a cell across need 72.3 cells, so 73 (72 would leave the
// length under two cells), while exactly one cell across needs exactly 72.
TEST(DiffusionScale, ProposedGridIsTheExactCeiling) {
  tp::WaveReport r;
  r.shortest_decay = 0.00996;
  const tp::DiffusionScale short_of = tp::diffusion_scale(tp::CellGrid{36, 18, 0.01}, r);
  EXPECT_EQ(short_of.nx_needed, 73);
  EXPECT_EQ(short_of.ny_needed, 37);
  r.shortest_decay = 0.01;
  const tp::DiffusionScale whole = tp::diffusion_scale(tp::CellGrid{36, 18, 0.01}, r);
  EXPECT_EQ(whole.nx_needed, 72);
  EXPECT_EQ(whole.ny_needed, 36);
  EXPECT_FALSE(whole.beyond);
}

// A sample of 1e200 m on 20 cells (or a length of zero) needs a grid no run
// can hold: said as such, never as a count wrapped to -2147483648.
TEST(DiffusionScale, AbsurdGridIsBeyondTheLargestRatherThanWrapped) {
  tp::WaveReport r;
  for (double length : {0.00825, 0.0}) {
    r.shortest_decay = length;
    const tp::CellGrid g{20, 20, 5e198};
    const tp::DiffusionScale s = tp::diffusion_scale(g, r);
    EXPECT_TRUE(s.beyond) << length;
    EXPECT_EQ(s.nx_needed, tp::kMaxGridCells + 1LL);
    tp::Warnings w;
    tp::warn_diffusion(s, g, 628.3, w);
    const std::string text = w.w[0];
    EXPECT_NE(text.find("no grid a run can hold would resolve it (more than 3900000 cells"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("by -"), std::string::npos) << text;
    EXPECT_EQ(text.find("2147483648"), std::string::npos) << text;
  }
}

// The permafrost example on 4 by 4 cells of 7.5 cm: its slow wave decays
// over about 8 mm at 100 Hz, so 10 Hz (26 mm) is not resolved while 0.1 Hz
// (26 cm, 3.5 cells) is. The warning goes to standard error only, before
// the stop line.
TEST(DiffusionWarning, CoarseGridWarnsAndAResolvingOneIsSilent) {
  for (const char* freq : {"10.0", "0.1"}) {
    const std::string dir = fresh_dir("diffusion_warning");
    copy_example("permafrost", dir);
    std::vector<std::string> lines = example_lines("permafrost");
    lines = with_field(lines, "nx", "4");
    lines = with_field(lines, "ny", "4");
    lines = with_field(lines, "freq", freq);
    const RunResult r = run_program(dir, join_lines(lines));
    ASSERT_EQ(r.status, 40) << r.err;
    const bool warned = r.err.find("diffusion") != std::string::npos;
    EXPECT_EQ(warned, std::string(freq) == "10.0") << freq << ": " << r.err;
    EXPECT_EQ(r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1), "STOP 40\n");
    EXPECT_EQ(r.out.find("diffusion"), std::string::npos);
    if (warned) {
      EXPECT_NE(r.err.find("cells would resolve it"), std::string::npos) << r.err;
    }
  }
}

// `run` records the same measure in results.json, with the grid that
// would resolve it, and lists the warning there too.
TEST(DiffusionWarning, RunRecordsTheShortestLengthAndTheGridThatResolvesItInResults) {
  const std::string dir = fresh_dir("diffusion_results");
  copy_example("permafrost", dir);
  std::vector<std::string> lines = example_lines("permafrost");
  lines = with_field(lines, "nx", "4");
  lines = with_field(lines, "ny", "4");
  lines = with_field(lines, "freq", "10.0");
  write_file(dir + "/deck", join_lines(lines));
  const RunResult r = run_with_args(dir, "run " + dir + "/deck -o " + dir + "/out --quiet");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string json = read_file(dir + "/out/results.json");
  for (const char* key : {"\"diffusion\"", "\"shortest_length\"", "\"cells_across\"",
                          "\"threshold_cells\": 2.0", "\"resolved\": false",
                          "\"grid_that_resolves_it\"", "diffusion length (decay of the slow P"})
    EXPECT_NE(json.find(key), std::string::npos) << key;
}

}  // namespace
