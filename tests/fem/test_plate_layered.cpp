// The plate tests on banded samples (layers in y, the same across x)
// against the exact one-dimensional solution of the layered medium: the
// vertical test's C33 and the shear test's C55 converge to it at second
// order once the grid resolves the diffusion length of the layers.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "fem/plate_tests.hpp"
#include "layered_exact.hpp"
#include "plate_testing.hpp"

namespace tp {
namespace {

using platetest::Layer;
using platetest::LayeredTest;
using platetest::RockSample;

const std::vector<double> kBands = {0.05, 0.25, 0.1, 0.2};

// The band coefficients of the deck at omega (one row of cells per band),
// as a stack of bands of thickness t.
std::vector<Layer> layers_of(const RockSample& s, double t) {
  std::vector<Layer> stack;
  for (int b = 1; b <= static_cast<int>(kBands.size()); ++b) stack.push_back({t, s.co.at(1, b)});
  return stack;
}

testing::RockDeck banded_deck(int model, int nx, int ny) {
  testing::RockDeck r =
      model == 0 ? testing::permafrost_deck(nx, ny) : testing::shaley_sand_deck(nx, ny);
  platetest::set_bands(r, kBands);
  return r;
}

// Relative errors of C33 and C55 on grids of 16, 32 and 64 rows (2 cells
// across: nothing depends on x), bands one shortest diffusion length
// thick, against the exact layered moduli.
struct Errors {
  cplx c33, c55;  // exact
  double e33[3] = {}, e55[3] = {};
};

Errors refine(int model, double hertz) {
  const double omega = 2.0 * std::numbers::pi * hertz;
  RockSample probe;
  platetest::coefficients(banded_deck(model, 1, 4), 1.0, omega, probe);
  double t = 1e300;
  for (LayeredTest test : {LayeredTest::vertical, LayeredTest::shear}) {
    t = std::min(t,
                 platetest::layered_modulus(layers_of(probe, 1.0), omega, test).diffusion_length);
  }
  Errors e;
  e.c33 = platetest::layered_modulus(layers_of(probe, t), omega, LayeredTest::vertical).modulus;
  e.c55 = platetest::layered_modulus(layers_of(probe, t), omega, LayeredTest::shear).modulus;
  const int rows[3] = {16, 32, 64};
  for (int i = 0; i < 3; ++i) {
    RockSample s;
    platetest::coefficients(banded_deck(model, 2, rows[i]), 4.0 * t / rows[i], omega, s);
    SampleStiffness c;
    EXPECT_EQ(plate_stiffness(s.grid, omega, s.co, c), 0);
    e.e33[i] = platetest::relative(c.c33, e.c33);
    e.e55[i] = platetest::relative(c.c55, e.c55);
  }
  return e;
}

void expect_second_order(const double (&e)[3], const char* what) {
  for (int i = 0; i + 1 < 3; ++i) {
    const double order = std::log2(e[i] / e[i + 1]);
    EXPECT_NEAR(order, 2.0, 0.1) << what << " between " << (16 << i) << " and " << (32 << i)
                                 << " rows: errors " << e[i] << ", " << e[i + 1];
  }
  EXPECT_LT(e[2], 1e-5) << what;
}

// Permafrost: the bands relax both in compression and in shear (the solids
// slide against each other through the water), so both moduli are complex.
TEST(PlateTestsLayered, PermafrostBandsConvergeAtSecondOrderToTheExactModuli) {
  const Errors e = refine(0, 100.0);
  EXPECT_GT(e.c33.imag(), 1e-3 * e.c33.real());
  EXPECT_GT(e.c55.imag(), 1e-5 * e.c55.real());
  expect_second_order(e.e33, "C33");
  expect_second_order(e.e55, "C55");
}

// Shaley sand: C33 relaxes by flow between the bands; in shear the two
// solids of every band strain alike, so the exact field is linear and the
// grid carries it to rounding.
TEST(PlateTestsLayered, ShaleySandBandsConvergeAtSecondOrderInCompressionAndExactlyInShear) {
  const Errors e = refine(1, 1000.0);
  EXPECT_GT(e.c33.imag(), 1e-4 * e.c33.real());
  expect_second_order(e.e33, "C33");
  for (double err : e.e55) EXPECT_LT(err, 1e-10) << "C55";
}

}  // namespace
}  // namespace tp
