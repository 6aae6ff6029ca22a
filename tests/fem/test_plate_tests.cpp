// The rigid-plate relaxation tests: exact moduli of homogeneous samples,
// the matrix pattern they share with the compressibility test, reciprocity
// of the two normal tests and passivity of heterogeneous samples.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "fem/global_numbering.hpp"
#include "fem/global_sist.hpp"
#include "fem/plate_tests.hpp"
#include "planewave/veloc_aten.hpp"
#include "plate_testing.hpp"

namespace tp {
namespace {

using platetest::relative;
using platetest::RockSample;

constexpr double kH = 0.01;

double omega_of(double hertz) { return 2.0 * std::numbers::pi * hertz; }

// A homogeneous sample moves both solids together with a uniform strain and
// no fluid flow: bilinear elements carry that field exactly, so the moduli
// are the cell's own stiffness sums, with no friction in them.
TEST(PlateTests, HomogeneousSamplesGiveTheCellStiffnessExactly) {
  for (int model = 0; model <= 1; ++model) {
    for (double hertz : {1.0, 100.0, 1.0e4, 1.0e6}) {
      SCOPED_TRACE(::testing::Message() << "model " << model << ", " << hertz << " Hz");
      testing::RockDeck r =
          model == 0 ? testing::permafrost_deck(5, 4) : testing::shaley_sand_deck(5, 4);
      RockSample s;
      platetest::coefficients(r, kH, omega_of(hertz), s);
      SampleStiffness c;
      ASSERT_EQ(plate_stiffness(s.grid, omega_of(hertz), s.co, c), 0);
      const auto& co = s.co;
      const double l1 = co.lambda1(1, 1), l3 = co.lambda3(1, 1), mu1 = co.mu1(1, 1),
                   mu3 = co.mu3(1, 1), mu13 = co.mu13(1, 1), d3 = co.d3(1, 1);
      const double c33 = (l1 + 2 * mu1) + (l3 + 2 * mu3) + 2 * (d3 + mu13);
      const double c13 = l1 + l3 + 2 * d3;
      const double c55 = mu1 + mu3 + mu13;
      const struct {
        const char* name;
        cplx got;
        double want;
      } moduli[] = {{"C33", c.c33, c33},
                    {"C11", c.c11, c33},
                    {"C13", c.c13, c13},
                    {"C13 horizontal", c.c13_horizontal, c13},
                    {"C55", c.c55, c55}};
      for (const auto& m : moduli) {
        EXPECT_LT(relative(m.got, m.want), 1e-10) << m.name << " " << m.got << " vs " << m.want;
        EXPECT_LT(std::abs(m.got.imag()), 1e-12 * std::abs(m.got.real())) << m.name;
      }
    }
  }
}

// In plane strain the coefficients are the rock's three-dimensional Lame
// ones, so a homogeneous sample's C33 is the rock's P-wave modulus H + 4 mu/3
// summed over the two solids and their coupling, C55 its shear modulus, and
// at low frequency the closed-form fast P wave of the same cell (the phases
// locked, density p11 + 2 p13 + p33) carries the same modulus, to 2e-6 at
// 1 Hz (the departure grows with the frequency).
TEST(PlateTests, PlaneStrainHomogeneousSamplesGiveTheRockModuli) {
  for (int model = 0; model <= 1; ++model) {
    SCOPED_TRACE(::testing::Message() << "model " << model);
    const double omega = omega_of(1.0);
    testing::RockDeck r =
        model == 0 ? testing::permafrost_deck(5, 4) : testing::shaley_sand_deck(5, 4);
    RockSample s;
    platetest::coefficients(r, kH, omega, s, ElasticForm::plane_strain);
    SampleStiffness c;
    ASSERT_EQ(plate_stiffness(s.grid, omega, s.co, c), 0);
    const CellModuli& m = s.first;
    const double c33 =
        (m.h1 + 4 * m.mu1 / 3) + (m.h3 + 4 * m.mu3 / 3) + 2 * (m.bb3 - m.mu13 / 3 + m.mu13);
    const double c55 = m.mu1 + m.mu3 + m.mu13;
    EXPECT_LT(relative(c.c33, c33), 1e-10) << c.c33 << " vs " << c33;
    EXPECT_LT(relative(c.c11, c33), 1e-10) << c.c11 << " vs " << c33;
    EXPECT_LT(relative(c.c55, c55), 1e-10) << c.c55 << " vs " << c55;

    cplx zp[3], zs[2];
    cell_slownesses(1, 1, omega, s.co, zp, zs);
    const cplx fast = 1.0 / zp[0].real() > 1.0 / zp[1].real() ? zp[0] : zp[1];
    const double rho = s.co.p11(1, 1) + 2 * s.co.p13(1, 1) + s.co.p33(1, 1);
    EXPECT_LT(relative(rho / (fast * fast), c33), 1e-5) << rho / (fast * fast) << " vs " << c33;
  }
}

// The plate systems store exactly the compressibility test's pattern, so
// that its order and symbolic factorization serve them; a held row keeps
// only its unit diagonal and a held column only zeros.
TEST(PlateTests, SystemsKeepTheLegacyPatternWithHeldRowsAndColumnsCleared) {
  testing::RockDeck r = testing::permafrost_deck(4, 3);
  RockSample s;
  platetest::coefficients(r, kH, omega_of(100.0), s);
  System legacy, plate;
  size_system(legacy, 4, 3);
  global_numbering(4, 3, legacy.xnod);
  ASSERT_EQ(global_sist(omega_of(100.0), s.grid, s.co, legacy), 0);
  ASSERT_EQ(plate_system(s.grid, plate), 0);
  const int neq = legacy.neq;
  for (int q = 1; q <= neq + 1; ++q) ASSERT_EQ(plate.ia(q), legacy.ia(q));
  for (int p = 1; p < legacy.ia(neq + 1); ++p) ASSERT_EQ(plate.ja(p), legacy.ja(p));

  for (PlateTest test : {PlateTest::vertical, PlateTest::shear}) {
    plate_matrix(s.grid, omega_of(100.0), s.co, constraints_of(test), plate);
    std::vector<bool> held(neq + 1, false);
    CellConstraints c;
    for (int j = 1; j <= 4; ++j) {
      for (int k = 1; k <= 3; ++k) {
        cell_constraints(s.grid, j, k, test, c);
        for (int l = 1; l <= kLocalDofs; ++l) {
          if (c.held[l]) held[plate.xnod(s.grid.element(j, k), l)] = true;
        }
      }
    }
    // Normal tests hold the normal displacement of 2 solids along the
    // perimeter and every boundary edge's fluid; shear holds both
    // components on bottom and top, y on the sides, fluid on bottom and top.
    int count = 0;
    for (int q = 1; q <= neq; ++q) count += held[q];
    EXPECT_EQ(count, test == PlateTest::shear ? 2 * (4 * 5 + 2 * 2) + 2 * 4 : 2 * 18 + 14);
    for (int row = 1; row <= neq; ++row) {
      for (int p = plate.ia(row); p < plate.ia(row + 1); ++p) {
        const int col = plate.ja(p);
        if (held[row] || held[col]) {
          EXPECT_EQ(plate.avec(p), row == col ? cplx(1.0, 0.0) : cplx(0.0, 0.0));
        }
      }
    }
  }
}

// The vertical test's side force and the horizontal test's plate force are
// the two halves of one reciprocity (the matrix is symmetric and the two
// tests hold the same unknowns), so the two C13 agree to rounding on any
// sample; a heterogeneous one makes both differ from every cell's value.
TEST(PlateTests, TheTwoNormalTestsGiveOneReciprocalC13) {
  for (int model = 0; model <= 1; ++model) {
    testing::RockDeck r =
        model == 0 ? testing::permafrost_deck(9, 7) : testing::shaley_sand_deck(9, 7);
    platetest::set_fractal(r, 11 + model, 0.05, 0.25);
    for (double hertz : {10.0, 3000.0}) {
      SCOPED_TRACE(::testing::Message() << "model " << model << ", " << hertz << " Hz");
      RockSample s;
      platetest::coefficients(r, kH, omega_of(hertz), s);
      SampleStiffness c;
      ASSERT_EQ(plate_stiffness(s.grid, omega_of(hertz), s.co, c), 0);
      EXPECT_LT(relative(c.c13_horizontal, c.c13), 1e-11) << c.c13 << " " << c.c13_horizontal;
      EXPECT_GT(std::abs(c.c13.imag()), 1e-6 * std::abs(c.c13.real()));
    }
  }
}

// The total vertical stress map of the vertical test. Test functions that
// lift both solids of every node at and above one row boundary show that
// each row's mean stress is the plate's traction (the friction pulls the
// solids apart and cancels): every row averages to C33 to rounding, on a
// heterogeneous sample whose cells differ from it.
TEST(PlateTests, EveryRowOfTheTotalVerticalStressAveragesToC33) {
  for (int model = 0; model <= 1; ++model) {
    SCOPED_TRACE(::testing::Message() << "model " << model);
    testing::RockDeck r =
        model == 0 ? testing::permafrost_deck(9, 7) : testing::shaley_sand_deck(9, 7);
    platetest::set_fractal(r, 5 + model, 0.05, 0.25);
    const double omega = omega_of(300.0);
    RockSample s;
    platetest::coefficients(r, kH, omega, s);
    System sys;
    PlateLoad load;
    ASSERT_EQ(plate_system(s.grid, sys), 0);
    ASSERT_TRUE(size_plate_load(sys, load));
    plate_matrix(s.grid, omega, s.co, PlateConstraints::normal, sys);
    plate_load(s.grid, omega, s.co, PlateTest::vertical, sys, load.b);
    OwnSolver solver;
    ASSERT_EQ(solve_plate_system(sys, solver, &load, 1), 0);
    const cplx c33 = plate_tractions(s.grid, omega, s.co, sys, load.z).top_normal;
    CellField<cplx> stress;
    ASSERT_TRUE(stress.resize(9, 7));
    plate_vertical_stress(s.grid, s.co, sys, load.z, stress);
    double spread = 0.0;
    for (int k = 1; k <= 7; ++k) {
      cplx row(0.0);
      for (int j = 1; j <= 9; ++j) {
        row += stress(j, k) / 9.0;
        spread = std::max(spread, relative(stress(j, k), c33));
      }
      EXPECT_LT(relative(row, c33), 1e-10) << "row " << k << ": " << row << " vs " << c33;
    }
    EXPECT_GT(spread, 1e-3);
  }
}

// Under exp(+i omega t) friction only takes energy out: Im C of every
// modulus is >= 0 and the imaginary part of the normal stiffness
// [[C11, C13], [C13, C33]] is positive semi-definite, from quasi-static to
// far past the diffusion frequency of the grains.
TEST(PlateTests, HeterogeneousSamplesArePassive) {
  const int sizes[][2] = {{8, 8}, {12, 10}, {16, 16}};
  int seed = 0;
  for (int model = 0; model <= 1; ++model) {
    for (const auto& n : sizes) {
      testing::RockDeck r =
          model == 0 ? testing::permafrost_deck(n[0], n[1]) : testing::shaley_sand_deck(n[0], n[1]);
      platetest::set_fractal(r, 100 + seed++, 0.03, 0.28);
      for (double hertz : {1.0, 100.0, 1.0e4, 1.0e5}) {
        SCOPED_TRACE(::testing::Message() << "model " << model << ", " << n[0] << " by " << n[1]
                                          << ", " << hertz << " Hz");
        RockSample s;
        platetest::coefficients(r, kH, omega_of(hertz), s);
        SampleStiffness c;
        ASSERT_EQ(plate_stiffness(s.grid, omega_of(hertz), s.co, c), 0);
        const double scale = std::abs(c.c33);
        const double floor = -1e-13 * scale;
        EXPECT_GE(c.c33.imag(), floor);
        EXPECT_GE(c.c11.imag(), floor);
        EXPECT_GE(c.c55.imag(), floor);
        const double a = c.c11.imag(), b = c.c13.imag(), d = c.c33.imag();
        EXPECT_GE(a * d - b * b, -1e-12 * scale * scale) << "Im [[C11, C13], [C13, C33]]";
      }
    }
  }
}

}  // namespace
}  // namespace tp
