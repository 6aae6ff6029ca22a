// Elastic moduli: the identities of the coupled moduli, the limits of the
// frames, the maps and reference file, and every stop with the cell that
// triggers it first.
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
using tp::testing::read_file;
using tp::testing::report_number;
using tp::testing::report_numbers;
using tp::testing::RockDeck;
using tp::testing::run_e_modulus;
using tp::testing::split_lines;

// Fields are large: one set shared by the tests of this file.
CoefficientSet e;
CoefficientSet e2;

void expect_rel(double got, double want, double tol, const char* what) {
  EXPECT_NEAR(got, want, tol * std::fabs(want)) << what;
}

// Through K1 ... C23 the coefficients must reduce to the Gassmann forms.
void expect_gassmann_identities(const RockDeck& d) {
  InFreshDir dir("emod_identities");
  CapturedOutput out;
  run_e_modulus(d, e);
  const std::string text = out.text();
  const std::vector<double> alfa = report_numbers(text, "alfa1,alfa3 =");
  ASSERT_EQ(alfa.size(), 2u);
  const double alfa1 = alfa[0];
  const double alfa3 = alfa[1];
  const double kav = e.m(1, 1);
  expect_rel(report_number(text, "H1=K_{G1}(GPa)     = "), report_number(text, "KG1(GPa)    = "),
             1e-12, "H1 = KG1");
  expect_rel(report_number(text, "H3=K_{G3}(GPa)     = "), report_number(text, "KG3(GPa)    = "),
             1e-12, "H3 = KG3");
  expect_rel(e.b1(1, 1), alfa1 * kav, 1e-12, "B1 = alfa1 Kav");
  expect_rel(e.b2(1, 1), alfa3 * kav, 1e-12, "B2 = alfa3 Kav");
  expect_rel(e.d3(1, 1) + e.mu13(1, 1) / 2.0, alfa1 * alfa3 * kav, 1e-12, "B3 = alfa1 alfa3 Kav");
  expect_rel(e.lambda1(1, 1) + e.mu1(1, 1), report_number(text, "KG1(GPa)    = ") * 1e9, 1e-12,
             "lambda1 + mu1 = KG1");
}

TEST(ElasticModuli, CoupledModuliReduceToGassmannFormsInBothModels) {
  expect_gassmann_identities(tp::testing::permafrost_deck(1, 1));
  expect_gassmann_identities(tp::testing::shaley_sand_deck(1, 1));
}

TEST(ElasticModuli, WithoutViscosityTheWaterCarriesNoShear) {
  for (RockDeck d : {tp::testing::permafrost_deck(2, 2), tp::testing::shaley_sand_deck(2, 2)}) {
    InFreshDir dir("emod_eta");
    CapturedOutput out;
    run_e_modulus(d, e2);  // viscous water
    d.both(&RockDeck::eta, 0.0);
    run_e_modulus(d, e);
    EXPECT_EQ(report_number(out.text().substr(out.text().rfind(" xmuav")), "xmuav(GPa)  ="), 0.0)
        << "muav printed for eta = 0";
    for (int j = 1; j <= 2; ++j) {
      for (int k = 1; k <= 2; ++k) {
        EXPECT_EQ(e.mu13(j, k), 0.0);
        EXPECT_LT(e.mu1(j, k), e2.mu1(j, k)) << "the viscous coupling stiffens the frame";
        // The bulk-type moduli do not depend on the viscosity.
        expect_rel(e.lambda1(j, k) + e.mu1(j, k), e2.lambda1(j, k) + e2.mu1(j, k), 1e-14, "H1");
        expect_rel(e.lambda3(j, k) + e.mu3(j, k), e2.lambda3(j, k) + e2.mu3(j, k), 1e-14, "H3");
        EXPECT_EQ(e.m(j, k), e2.m(j, k));
      }
    }
    const double mu1_at_zero = e.mu1(1, 1);
    d.both(&RockDeck::eta, -1.0e-3);
    run_e_modulus(d, e);
    EXPECT_EQ(e.mu1(1, 1), mu1_at_zero) << "a negative viscosity also means no coupling";
  }
}

TEST(ElasticModuli, PermafrostGrainFrameHasFixedBulkAndTendsTo13GPaShearWithoutIce) {
  for (const double ks1 : {3.7e10, 5.0e10}) {
    RockDeck d = tp::testing::permafrost_deck(1, 1);
    d.both(&RockDeck::ak_s1, ks1);
    d.both(&RockDeck::eta, 0.0);
    d.phi(1, 1) = 0.3 - 1e-9;  // almost no ice left in the pores
    InFreshDir dir("emod_frame");
    CapturedOutput out;
    run_e_modulus(d, e);
    expect_rel(e.mu1(1, 1), 1.31e10, 1e-9, "mum1 without ice");
    // alfa1 = s1 - Km1/Ks1 gives back the frame's bulk modulus.
    const double s1 = 1.0 - (0.3 - d.phi(1, 1)) / (1.0 - d.phi(1, 1));
    const double alfa1 = report_number(out.text(), "alfa1,alfa3 =");
    expect_rel((s1 - alfa1) * ks1, 1.44e10, 1e-9, "Km1");
  }
}

TEST(ElasticModuli, MapsHoldOneLinePerCellInLoopOrderAndReferenceValuesAreEchoed) {
  RockDeck d = tp::testing::shaley_sand_deck(2, 3);
  for (int j = 1; j <= 2; ++j) {
    for (int k = 1; k <= 3; ++k) d.phi(j, k) = 0.05 + 0.02 * j + 0.01 * k;
  }
  InFreshDir dir("emod_maps");
  CapturedOutput out;
  run_e_modulus(d, e);
  const auto lines = split_lines(out.text());
  const char* echoed[10] = {" 0.10000000000000001", " 18000000000.000000", " 6000000000.0000000",
                            " 0.0000000000000000",  " 9000000000.0000000", " 3000000000.0000000",
                            " 5000000000.0000000",  " 1000000000.0000000", " 20000000000.000000",
                            " 500000000.00000000"};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(lines[i], echoed[i]);

  const struct {
    const char* name;
    tp::RealField* field;
  } maps[] = {{"xmu1_gnu", &e.mu1},
              {"xmu3_gnu", &e.mu3},
              {"xmu13_gnu", &e.mu13},
              {"xlambda1_gnu", &e.lambda1},
              {"xlambda3_gnu", &e.lambda3},
              {"b1_gnu", &e.b1},
              {"b2_gnu", &e.b2},
              {"xm_gnu", &e.m},
              {"d3_gnu", &e.d3}};
  for (const auto& map : maps) {
    const auto rows = split_lines(dir.file(map.name));
    ASSERT_EQ(rows.size(), 6u) << map.name;
    int n = 0;
    for (int j = 1; j <= 2; ++j) {
      for (int k = 1; k <= 3; ++k) {
        int jj = 0;
        int kk = 0;
        double v = 0.0;
        ASSERT_EQ(std::sscanf(rows[n++].c_str(), "%d %d %lf", &jj, &kk, &v), 3) << map.name;
        EXPECT_EQ(jj, j);
        EXPECT_EQ(kk, k);
        EXPECT_EQ(v, (*map.field)(j, k)) << map.name << " at " << j << "," << k;
      }
    }
  }
}

TEST(ElasticModuli, SilentPointsNeitherReadTheReferenceFileNorWriteMapsNorPrint) {
  RockDeck d = tp::testing::permafrost_deck(1, 1);
  d.report = false;
  InFreshDir dir("emod_case2", false);
  CapturedOutput out;
  run_e_modulus(d, e);
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/xm_gnu"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/elast_coef_sand"));
  EXPECT_EQ(out.text(), "") << "a silent point of a curve prints nothing";
  EXPECT_GT(e.mu1(1, 1), 0.0);
}

TEST(ElasticModulusDeathTest, MissingReferenceFileIsNamedAndNotCreated) {
  RockDeck d = tp::testing::permafrost_deck(1, 1);
  InFreshDir dir("emod_noref", false);
  EXPECT_EXIT(run_e_modulus(d, e), ::testing::ExitedWithCode(2), "elast_coef_sand");
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/elast_coef_sand"));
}

TEST(ElasticModulusDeathTest, ShortOrGarbledReferenceFileIsNamedWithItsLine) {
  RockDeck d = tp::testing::permafrost_deck(1, 1);
  InFreshDir dir("emod_badref", false);
  tp::testing::write_file(dir.path() + "/elast_coef_sand", "1\n2\n\n3\n4\n5\n6\n7\n8\n9\n");
  EXPECT_EXIT(
      run_e_modulus(d, e), ::testing::ExitedWithCode(2),
      "elast_coef_sand: the input ends after line 10, before the value of the reference d3");
  tp::testing::write_file(dir.path() + "/elast_coef_sand", "1\n2\nmu3\n");
  EXPECT_EXIT(run_e_modulus(d, e), ::testing::ExitedWithCode(2),
              "elast_coef_sand, line 3: a real number expected for the reference mu3");
}

// Cell (2, 1) alone is bad: the cells before it in the loop, (1, 1) and
// (1, 2), are complete and mapped; nothing after it is.
std::string mapped_cells(const InFreshDir& dir) {
  std::string cells;
  for (const std::string& row : split_lines(dir.file("xm_gnu"))) cells += row.substr(0, 4) + ";";
  return cells;
}

TEST(ElasticModulusDeathTest, IceFractionOutsideTheUnitIntervalStops45678AtItsCell) {
  RockDeck d = tp::testing::permafrost_deck(2, 2);
  d.phi(2, 1) = 0.3;  // all the pore space is water: no ice
  InFreshDir dir("emod_45678");
  EXPECT_EXIT(run_e_modulus(d, e), ::testing::ExitedWithCode(45678 & 255), "STOP 45678");
  EXPECT_EQ(mapped_cells(dir), " 1 1; 1 2;");
}

TEST(ElasticModulusDeathTest, FractionsNotAddingUpToOneStop555AtTheirCell) {
  RockDeck d = tp::testing::shaley_sand_deck(2, 2);
  d.matnum(2, 1) = 2;
  d.s3(2) = 1.0e3;  // fractions of opposite signs and large sizes lose the sum
  InFreshDir dir("emod_555");
  EXPECT_EXIT(run_e_modulus(d, e), ::testing::ExitedWithCode(555 & 255), "STOP 555");
  EXPECT_EQ(mapped_cells(dir), " 1 1; 1 2;");
}

TEST(ElasticModulusDeathTest, NegativeLambda1AtTheFirstCellStops12345AfterItsReport) {
  RockDeck d = tp::testing::permafrost_deck(1, 1);
  d.phi(1, 1) = 0.05;  // much ice: the shear stiffness of the frame exceeds its Gassmann modulus
  InFreshDir dir("emod_12345");
  EXPECT_EXIT((print_to_file(), run_e_modulus(d, e)), ::testing::ExitedWithCode(12345 & 255),
              "STOP 12345");
  const auto lines = split_lines(dir.file("stdout.txt"));
  int warnings = 0;
  for (const auto& l : lines) warnings += l.rfind("  neg. lambda1 j,k    1 1 -", 0) == 0;
  EXPECT_EQ(warnings, 2);
  EXPECT_EQ(lines.back().rfind("  neg. lambda1 j,k    1 1 -", 0), 0u);
  EXPECT_EQ(dir.file("xm_gnu"), "") << "the first cell stops before its map lines";
}

TEST(ElasticModuli, NegativeLambda1BeyondTheFirstCellIsOnlyAWarning) {
  RockDeck d = tp::testing::permafrost_deck(1, 2);
  d.phi(1, 2) = 0.05;
  InFreshDir dir("emod_warn");
  CapturedOutput out;
  run_e_modulus(d, e);
  EXPECT_LE(e.lambda1(1, 2), 0.0);
  const auto lines = split_lines(out.text());
  EXPECT_EQ(lines.back().rfind("  neg. lambda1 j,k    1 2 -", 0), 0u);
  EXPECT_EQ(split_lines(dir.file("xm_gnu")).size(), 2u);
}

TEST(ElasticModulusDeathTest, NonPositiveLambda3AtTheFirstCellStops12346Silently) {
  RockDeck d = tp::testing::permafrost_deck(1, 1);
  d.both(&RockDeck::xmu_s3, 3.0e10);  // ice frame far stiffer in shear than in bulk
  InFreshDir dir("emod_12346");
  EXPECT_EXIT((print_to_file(), run_e_modulus(d, e)), ::testing::ExitedWithCode(12346 & 255),
              "STOP 12346");
  const auto lines = split_lines(dir.file("stdout.txt"));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2].rfind(" mu13(GPA)          = ", 0), 0u);
  EXPECT_EQ(lines.back(), "") << "the report ends with its empty line, no message";
}

// Cells (1, 2) and (2, 1) are both bad; (1, 2) comes first in the loop.
RockDeck two_bad_cells(const RockDeck& base) {
  RockDeck d = base;
  d.matnum(1, 2) = 2;
  d.matnum(2, 1) = 2;
  return d;
}

TEST(ElasticModulusDeathTest, IndefiniteCompressionalEnergyStops45687AtTheFirstBadCell) {
  RockDeck d = two_bad_cells(tp::testing::shaley_sand_deck(2, 2));
  d.xmu_s1(2) = -3.7e12;  // a sand frame that gains energy in shear
  InFreshDir dir("emod_45687");
  EXPECT_EXIT((print_to_file(), run_e_modulus(d, e)), ::testing::ExitedWithCode(45687 & 255),
              "STOP 45687");
  EXPECT_EQ(split_lines(dir.file("stdout.txt")).back(),
            " j,k, strain energy not positive definite  1 2");
  EXPECT_EQ(mapped_cells(dir), " 1 1; 1 2;") << "the map lines come before the test";
}

TEST(ElasticModulusDeathTest, IndefiniteShearEnergyStops45688AtTheFirstBadCell) {
  RockDeck d = two_bad_cells(tp::testing::shaley_sand_deck(2, 2));
  d.eta(2) = 0.0;
  d.xmu_s3(2) = -1.0e9;  // clay frame with a negative shear modulus, no viscous coupling
  InFreshDir dir("emod_45688");
  EXPECT_EXIT((print_to_file(), run_e_modulus(d, e)), ::testing::ExitedWithCode(45688 & 255),
              "STOP 45688");
  EXPECT_EQ(split_lines(dir.file("stdout.txt")).back(),
            "  j,k,strain energy not positive definite 1 2");
}

TEST(ElasticModulusDeathTest, ZeroFractionsAreRefusedNamingTheCellBeforeAnyDivision) {
  RockDeck d = tp::testing::shaley_sand_deck(2, 2);
  InFreshDir dir("emod_zero");
  d.phi(2, 1) = 0.0;
  EXPECT_EXIT(run_e_modulus(d, e), ::testing::ExitedWithCode(2),
              "e_modulus, cell \\(j, k\\) = \\(2, 1\\): the water fraction phi is zero");
  d = two_bad_cells(tp::testing::shaley_sand_deck(2, 2));
  d.s3(2) = 0.0;  // clean sand: no shale at all
  EXPECT_EXIT(run_e_modulus(d, e), ::testing::ExitedWithCode(2),
              "cell \\(j, k\\) = \\(1, 2\\): the bulk solid 3 fraction phi3 is zero");
  d = tp::testing::permafrost_deck(1, 1);
  d.both(&RockDeck::phi_a, 1.0);  // no grains
  EXPECT_EXIT(run_e_modulus(d, e), ::testing::ExitedWithCode(2),
              "the bulk solid 1 fraction phi1 is zero");
  d.key_model = 2;
  EXPECT_EXIT(run_e_modulus(d, e), ::testing::ExitedWithCode(2), "key_model = 2");
}

}  // namespace
