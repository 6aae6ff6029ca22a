// The sample model: the periodic layer stack and the porosity field.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "common/tables.hpp"
#include "model/makematnum.hpp"
#include "model/porosity.hpp"
#include "support/testing.hpp"

using namespace tp;
using tp::testing::CapturedOutput;

namespace {

IntField map;
RealField phi;

// Material of row k (every column must agree), 0 where the row was not set.
int row_material(int nx, int k) {
  for (int j = 2; j <= nx; ++j) EXPECT_EQ(map(j, k), map(1, k)) << "row " << k;
  return map(1, k);
}

void stack(int nx, int ny, int nl1, int nl2) {
  for (auto& v : map.v) v = 0;
  IntLayers nl;
  nl(1) = nl1;
  nl(2) = nl2;
  RealLayers size;
  CapturedOutput quiet;
  makematnum(nx, ny, nl, size, 0.5, map);
}

}  // namespace

TEST(LayerStack, WholePeriodsPutLayerOneBelowLayerTwo) {
  stack(3, 10, 3, 2);  // two periods of five rows
  const int want[] = {1, 1, 1, 2, 2, 1, 1, 1, 2, 2};
  for (int k = 1; k <= 10; ++k) EXPECT_EQ(row_material(3, k), want[k - 1]) << "row " << k;
}

TEST(LayerStack, RowsOfAnIncompletePeriodAreLeftAlone) {
  stack(2, 10, 4, 3);  // one period of seven rows; rows 8-10 untouched
  const int want[] = {1, 1, 1, 1, 2, 2, 2, 0, 0, 0};
  for (int k = 1; k <= 10; ++k) EXPECT_EQ(row_material(2, k), want[k - 1]) << "row " << k;
}

TEST(LayerStack, PeriodThickerThanTheSampleFillsNothingButPrintsTheGeometry) {
  for (auto& v : map.v) v = 0;
  IntLayers nl;
  nl(1) = 8;
  nl(2) = 5;
  RealLayers size;
  CapturedOutput cap;
  makematnum(4, 6, nl, size, 0.25, map);
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(row_material(4, k), 0);
  EXPECT_NE(cap.text().find("  nper = number of periods  0\n"), std::string::npos);
  EXPECT_DOUBLE_EQ(size(1), 2.0);
  EXPECT_DOUBLE_EQ(size(2), 1.25);
}

TEST(LayerStack, EmptySecondLayerLeavesOnlyMaterialOne) {
  stack(2, 5, 2, 0);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(row_material(2, k), 1);
  EXPECT_EQ(row_material(2, 5), 0);
}

TEST(LayeredPorosity, LowerHalfTakesLayerOneUpperHalfLayerTwo) {
  RealLayers layer;
  layer(1) = 0.1;
  layer(2) = 0.2;
  porosity(3, 5, layer, 0, phi);  // ny/2 = 2 rows below
  for (int k = 1; k <= 5; ++k) {
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(phi(j, k), k <= 2 ? 0.1 : 0.2);
  }
  porosity(2, 1, layer, 0, phi);  // a single row belongs to the upper half
  EXPECT_EQ(phi(1, 1), 0.2);
}

TEST(LayeredPorosity, UnknownModelLeavesTheFieldAsItWas) {
  RealLayers layer;
  layer(1) = layer(2) = 0.3;
  phi(1, 1) = 0.77;
  porosity(1, 1, layer, 2, phi);
  EXPECT_EQ(phi(1, 1), 0.77);
}

class FractalPorosity : public ::testing::Test {
 protected:
  void SetUp() override {
    // The porosity file stays open from one call to the next: each death
    // test must start from a fresh process, not a fork of this one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    dir_ = tp::testing::fresh_dir("frac");
    ASSERT_EQ(::chdir(dir_.c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(::chdir("/"), 0); }
  std::string dir_;
  RealLayers layer{};
};

TEST_F(FractalPorosity, LinesFillRowsWithTheXIndexFastest) {
  // e12.4 fields: a decimal point, implied decimals, an exponent, blanks.
  tp::testing::write_file("porosity.frac",
                          "  1.0000E-01\n2500\n 0.30E+00\n3\n   0.15     ignored\n0.2\n");
  porosity(3, 2, layer, 1, phi);
  EXPECT_DOUBLE_EQ(phi(1, 1), 0.1);
  EXPECT_DOUBLE_EQ(phi(2, 1), 0.25);
  EXPECT_DOUBLE_EQ(phi(3, 1), 0.3);
  EXPECT_DOUBLE_EQ(phi(1, 2), 0.0003);
  EXPECT_DOUBLE_EQ(phi(2, 2), 0.15);
  EXPECT_DOUBLE_EQ(phi(3, 2), 0.2);
}

TEST_F(FractalPorosity, MissingFileIsNamed) {
  EXPECT_EXIT(porosity(2, 2, layer, 1, phi), ::testing::ExitedWithCode(2),
              "porosity.frac: cannot open");
}

TEST_F(FractalPorosity, ShortFileNamesTheCellItLacks) {
  tp::testing::write_file("porosity.frac", "0.1\n0.1\n0.1\n");
  EXPECT_EXIT(porosity(2, 2, layer, 1, phi), ::testing::ExitedWithCode(2),
              "porosity.frac: .*after line 3.*cell \\(2, 2\\)");
}

TEST_F(FractalPorosity, TextLineIsReportedWithItsLineNumber) {
  tp::testing::write_file("porosity.frac", "0.1\n0.1\nporous\n0.1\n");
  EXPECT_EXIT(porosity(2, 2, layer, 1, phi), ::testing::ExitedWithCode(2),
              "porosity.frac, line 3: .*porous");
}
