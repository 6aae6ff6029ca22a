// Mass and friction coefficients: the rigid-motion sums that tie the mass
// coefficients to the bulk density, the friction terms, the scalar outputs,
// the maps and reference file, and every stop.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "rock_deck.hpp"
#include "support/report.hpp"
#include "support/testing.hpp"

namespace {

using tp::testing::CapturedOutput;
using tp::testing::CoefficientSet;
using tp::testing::InFreshDir;
using tp::testing::print_to_file;
using tp::testing::report_number;
using tp::testing::RockDeck;
using tp::testing::run_mass_visco_coef;
using tp::testing::split_lines;

CoefficientSet mf;

// A 2 by 3 deck whose cells all differ in porosity.
RockDeck varied(RockDeck d) {
  for (int j = 1; j <= d.nx; ++j) {
    for (int k = 1; k <= d.ny; ++k) d.phi(j, k) = 0.05 + 0.03 * j + 0.01 * k;
  }
  return d;
}

// Bulk fractions of a cell, computed here from the model's definitions.
void fractions(const RockDeck& d, int j, int k, double& phi1, double& phi3, double& s1,
               double& s3) {
  const double phi = d.phi(j, k);
  const int m = d.matnum(j, k);
  if (d.key_model == 0) {
    phi1 = 1.0 - d.phi_a(m);
    phi3 = d.phi_a(m) - phi;
    s3 = phi3 / (1.0 - phi);
  } else {
    s3 = d.s3(m);
    phi1 = (1.0 - s3) * (1.0 - phi);
    phi3 = s3 * (1.0 - phi);
  }
  s1 = 1.0 - s3;
}

TEST(MassCoefficients, RigidMotionCarriesTheBulkDensityInBothModels) {
  // Moving solids and water together (no relative flow), the tortuosity
  // terms cancel: p11 + 2 p13 + p33 is the bulk density and p12 + p23 the
  // water density.
  for (const RockDeck& d :
       {varied(tp::testing::permafrost_deck(2, 3)), varied(tp::testing::shaley_sand_deck(2, 3))}) {
    InFreshDir dir("mass_rigid");
    CapturedOutput out;
    run_mass_visco_coef(d, mf);
    for (int j = 1; j <= 2; ++j) {
      for (int k = 1; k <= 3; ++k) {
        double phi1, phi3, s1, s3;
        fractions(d, j, k, phi1, phi3, s1, s3);
        const double bulk = d.ro1(1) * phi1 + d.ro2(1) * d.phi(j, k) + d.ro3(1) * phi3;
        const double sum = mf.p11(j, k) + 2.0 * mf.p13(j, k) + mf.p33(j, k);
        EXPECT_NEAR(sum, bulk, 1e-12 * bulk) << "model " << d.key_model << " cell " << j << k;
        EXPECT_NEAR(mf.p12(j, k) + mf.p23(j, k), d.ro2(1), 1e-12 * d.ro2(1));
        // The water drags added mass: p22 exceeds its bare value ro2/phi.
        EXPECT_GT(mf.p22(j, k), d.ro2(1) / d.phi(j, k));
      }
    }
  }
}

TEST(FrictionCoefficients, StoredB11CountsTheSolidFrictionTwice) {
  for (RockDeck d : {tp::testing::permafrost_deck(1, 1), tp::testing::shaley_sand_deck(1, 1)}) {
    d.both(&RockDeck::coef_b13, 3.0e7);
    InFreshDir dir("fric_b13");
    CapturedOutput out;
    run_mass_visco_coef(d, mf);
    const double f11loc = report_number(out.text(), "f11      =");
    EXPECT_EQ(mf.f11(1, 1), 3.0e7 + f11loc);
    EXPECT_EQ(report_number(out.text(), "b11  = "), mf.f11(1, 1));
    EXPECT_EQ(report_number(out.text(), "b22  = "), mf.f22(1, 1));
    EXPECT_EQ(report_number(out.text(), "b12  = "), mf.f12(1, 1));
  }
}

TEST(FrictionCoefficients, WithoutViscosityOnlyTheSolidFrictionRemainsAndZeroDeterminantsPass) {
  RockDeck d = tp::testing::shaley_sand_deck(1, 1);
  d.both(&RockDeck::eta, 0.0);
  InFreshDir dir("fric_eta0");
  CapturedOutput out;
  run_mass_visco_coef(d, mf);
  EXPECT_EQ(mf.f11(1, 1), 0.0);
  EXPECT_EQ(mf.f12(1, 1), 0.0);
  EXPECT_EQ(mf.f22(1, 1), 0.0);
  EXPECT_EQ(report_number(out.text(), "control2 (must be  positive)  ="), 0.0);
  EXPECT_EQ(split_lines(out.text()).back(), "") << "the report runs to its end";
}

// The fractions handed back belong to the last cell of the loop, (nx, ny):
// with that cell's water they fill the whole volume, the solid shares add
// up to one with s3 the share of solid 3 in the solid, and with the water
// of any other cell (each has its own porosity) the volume would not close.
TEST(MassCoefficients, ScalarOutputsAreTheFractionsOfTheLastCell) {
  for (const RockDeck& d :
       {varied(tp::testing::permafrost_deck(2, 3)), varied(tp::testing::shaley_sand_deck(2, 3))}) {
    InFreshDir dir("mass_scalars");
    CapturedOutput out;
    mf.s1 = mf.s3 = mf.phi1 = mf.phi3 = -1.0;
    run_mass_visco_coef(d, mf);
    const double phi = d.phi(2, 3);
    EXPECT_NEAR(mf.phi1 + mf.phi3 + phi, 1.0, 1e-15) << "model " << d.key_model;
    EXPECT_NEAR(mf.s1 + mf.s3, 1.0, 1e-15);
    EXPECT_NEAR(mf.s3 * (1.0 - phi), mf.phi3, 1e-15);
    for (int j = 1; j <= 2; ++j) {
      for (int k = 1; k <= 3; ++k) {
        if (j == 2 && k == 3) continue;
        EXPECT_GT(std::fabs(mf.phi1 + mf.phi3 + d.phi(j, k) - 1.0), 1e-3) << j << " " << k;
      }
    }
  }
}

TEST(MassCoefficients, FrictionMapsHoldOneLinePerCellInLoopOrderAfterTheEcho) {
  RockDeck d = varied(tp::testing::permafrost_deck(2, 3));
  InFreshDir dir("mass_maps");
  CapturedOutput out;
  run_mass_visco_coef(d, mf);
  const auto lines = split_lines(out.text());
  EXPECT_EQ(lines[0], " 0.10000000000000001");
  EXPECT_EQ(lines[1], " 100000000.00000000");
  EXPECT_EQ(lines[2], " 20000000000.000000");
  EXPECT_EQ(lines[3], " -1000000000.0000000");
  EXPECT_EQ(lines[4], " enters  mass_visco_coef  key_model  0");
  const struct {
    const char* name;
    tp::RealField* field;
  } maps[] = {{"b11_gnu", &mf.f11}, {"b22_gnu", &mf.f22}, {"b12_gnu", &mf.f12}};
  for (const auto& map : maps) {
    const auto rows = split_lines(dir.file(map.name));
    ASSERT_EQ(rows.size(), 6u) << map.name;
    int n = 0;
    for (int j = 1; j <= 2; ++j) {
      for (int k = 1; k <= 3; ++k) {
        int jj = 0, kk = 0;
        double v = 0.0;
        ASSERT_EQ(std::sscanf(rows[n++].c_str(), "%d %d %lf", &jj, &kk, &v), 3);
        EXPECT_EQ(jj, j);
        EXPECT_EQ(kk, k);
        EXPECT_EQ(v, (*map.field)(j, k)) << map.name;
      }
    }
  }
}

TEST(MassCoefficients, SilentPointsPrintNothingAndWriteNoMaps) {
  RockDeck d = tp::testing::shaley_sand_deck(1, 1);
  d.report = false;
  InFreshDir dir("mass_case2", false);
  CapturedOutput out;
  run_mass_visco_coef(d, mf);
  EXPECT_EQ(out.text(), "");
  EXPECT_GT(mf.f11(1, 1), 0.0);
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/b11_gnu"));
}

TEST(MassCoefficientsDeathTest, MissingOrShortReferenceFileIsNamedAndNeverCreated) {
  RockDeck d = tp::testing::shaley_sand_deck(1, 1);
  InFreshDir dir("mass_ref", false);
  EXPECT_EXIT(run_mass_visco_coef(d, mf), ::testing::ExitedWithCode(2), "b11_b22_b12_sand");
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/b11_b22_b12_sand"));
  tp::testing::write_file(dir.path() + "/b11_b22_b12_sand", "1\n2\n3 4\n");
  EXPECT_EXIT(
      run_mass_visco_coef(d, mf), ::testing::ExitedWithCode(2),
      "b11_b22_b12_sand: the input ends after line 3, before the value of the reference b12");
  tp::testing::write_file(dir.path() + "/b11_b22_b12_sand", "1\nb11\n");
  EXPECT_EXIT(run_mass_visco_coef(d, mf), ::testing::ExitedWithCode(2),
              "b11_b22_b12_sand, line 2: a real number expected for the reference b11");
}

TEST(MassCoefficientsDeathTest, FractionStopsFireAtTheFirstBadCell) {
  RockDeck d = tp::testing::permafrost_deck(2, 2);
  d.phi(2, 1) = 0.3;
  InFreshDir dir("mass_45678");
  EXPECT_EXIT(run_mass_visco_coef(d, mf), ::testing::ExitedWithCode(45678 & 255), "STOP 45678");
  EXPECT_EQ(split_lines(dir.file("b11_gnu")).size(), 2u) << "cells (1, 1) and (1, 2) only";

  d = tp::testing::shaley_sand_deck(2, 2);
  d.matnum(2, 1) = 2;
  d.s3(2) = 1.0e3;
  EXPECT_EXIT(run_mass_visco_coef(d, mf), ::testing::ExitedWithCode(555 & 255), "STOP 555");
  EXPECT_EQ(split_lines(dir.file("b11_gnu")).size(), 2u);

  d = tp::testing::shaley_sand_deck(2, 2);
  d.phi(1, 2) = 0.0;
  EXPECT_EXIT(run_mass_visco_coef(d, mf), ::testing::ExitedWithCode(2),
              "mass_visco_coef, cell \\(j, k\\) = \\(1, 2\\): the water fraction phi is zero");
}

TEST(MassCoefficientsDeathTest, FirstCellFrictionDeterminantsStop99999Then99998) {
  // With a negative solid-solid friction the friction matrix loses its
  // positive determinant: strongly negative fails the first test, mildly
  // negative only the second, which counts coef_b13 twice.
  RockDeck d = tp::testing::permafrost_deck(1, 1);  // coef_b12 2.7e8, coef_b23 1.52e9
  InFreshDir dir("mass_det");
  d.both(&RockDeck::coef_b13, -3.0e8);
  EXPECT_EXIT((print_to_file(), run_mass_visco_coef(d, mf)), ::testing::ExitedWithCode(99999 & 255),
              "STOP 99999");
  EXPECT_EQ(
      split_lines(dir.file("stdout.txt")).back().rfind(" control1 (must be  positive)  = -", 0),
      0u);
  d.both(&RockDeck::coef_b13, -1.5e8);
  EXPECT_EXIT((print_to_file(), run_mass_visco_coef(d, mf)), ::testing::ExitedWithCode(99998 & 255),
              "STOP 99998");
  EXPECT_EQ(
      split_lines(dir.file("stdout.txt")).back().rfind(" control2 (must be  positive)  = -", 0),
      0u);
  EXPECT_EQ(split_lines(dir.file("b11_gnu")).size(), 1u) << "the map line precedes the test";
}

}  // namespace
