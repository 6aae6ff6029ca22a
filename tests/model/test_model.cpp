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

Deck deck;
Sample sample;

// A fresh nx by ny sample of cell side h, its fields all zero.
void grid(int nx, int ny, double h = 0.5) {
  deck.nx = nx;
  deck.ny = ny;
  deck.h = h;
  sample.grid = CellGrid{nx, ny, h};
  sample.matnum.resize(nx, ny);
  sample.phi.resize(nx, ny);
}

// Material of row k (every column must agree), 0 where the row was not set.
int row_material(int nx, int k) {
  const IntField& map = sample.matnum;
  for (int j = 2; j <= nx; ++j) EXPECT_EQ(map(j, k), map(1, k)) << "row " << k;
  return map(1, k);
}

int stack(int nx, int ny, int nl1, int nl2, double h = 0.5) {
  grid(nx, ny, h);
  deck.nl(1) = nl1;
  deck.nl(2) = nl2;
  return makematnum(deck, sample);
}

// Fills the layered porosity of an nx by ny sample under `model`.
void layered(int nx, int ny, int model, double phi1, double phi2) {
  grid(nx, ny);
  deck.model = model;
  deck.phi_layer(1) = phi1;
  deck.phi_layer(2) = phi2;
  porosity(deck, sample);
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

TEST(LayerStack, PeriodThickerThanTheSampleFillsNothingButKeepsTheLayerSizes) {
  EXPECT_EQ(stack(4, 6, 8, 5, 0.25), 0) << "no whole period";
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(row_material(4, k), 0);
  EXPECT_DOUBLE_EQ(layer_thickness(deck, 1), 2.0);
  EXPECT_DOUBLE_EQ(layer_thickness(deck, 2), 1.25);
}

TEST(LayerStack, EmptySecondLayerLeavesOnlyMaterialOne) {
  stack(2, 5, 2, 0);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(row_material(2, k), 1);
  EXPECT_EQ(row_material(2, 5), 0);
}

TEST(LayeredPorosity, LowerHalfTakesLayerOneUpperHalfLayerTwo) {
  layered(3, 5, 0, 0.1, 0.2);  // ny/2 = 2 rows below
  for (int k = 1; k <= 5; ++k) {
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(sample.phi(j, k), k <= 2 ? 0.1 : 0.2);
  }
  layered(2, 1, 0, 0.1, 0.2);  // a single row belongs to the upper half
  EXPECT_EQ(sample.phi(1, 1), 0.2);
}

TEST(LayeredPorosity, OtherModelsLeaveTheFieldAsItWas) {
  for (int model : {1, 2}) {
    grid(1, 1);
    sample.phi(1, 1) = 0.77;
    deck.model = model;
    deck.phi_layer(1) = deck.phi_layer(2) = 0.3;
    porosity(deck, sample);
    EXPECT_EQ(sample.phi(1, 1), 0.77) << "model " << model;
  }
}

class FractalPorosity : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = tp::testing::fresh_dir("frac");
    ASSERT_EQ(::chdir(dir_.c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(::chdir("/"), 0); }
  // Reads porosity.frac into an nx by ny sample of the fractal model.
  static void read(int nx, int ny) {
    grid(nx, ny);
    deck.model = 1;
    tp::testing::as_process([] { read_porosity_file(deck, sample); });
  }
  std::string dir_;
};

TEST_F(FractalPorosity, LinesFillRowsWithTheXIndexFastest) {
  // e12.4 fields: a decimal point, implied decimals, an exponent, blanks.
  tp::testing::write_file("porosity.frac",
                          "  1.0000E-01\n2500\n 0.30E+00\n3\n   0.15     ignored\n0.2\n");
  read(3, 2);
  const RealField& phi = sample.phi;
  EXPECT_DOUBLE_EQ(phi(1, 1), 0.1);
  EXPECT_DOUBLE_EQ(phi(2, 1), 0.25);
  EXPECT_DOUBLE_EQ(phi(3, 1), 0.3);
  EXPECT_DOUBLE_EQ(phi(1, 2), 0.0003);
  EXPECT_DOUBLE_EQ(phi(2, 2), 0.15);
  EXPECT_DOUBLE_EQ(phi(3, 2), 0.2);
}

// The file has no width limit of its own: a strip of 1 by 300 cells and a
// grid of 250 by 2 take one line per cell, x index fastest.
TEST_F(FractalPorosity, FilesOfGridsBeyondSixtyCellsASideAreReadWhole) {
  for (const auto& [nx, ny] : {std::pair{1, 300}, std::pair{250, 2}}) {
    std::string text;
    for (int n = 0; n < nx * ny; ++n) text += std::to_string(0.001 * (n % 500 + 1)) + "\n";
    tp::testing::write_file("porosity.frac", text);
    read(nx, ny);
    EXPECT_DOUBLE_EQ(sample.phi(nx, ny), 0.001 * ((nx * ny - 1) % 500 + 1));
    EXPECT_DOUBLE_EQ(sample.phi(1, ny), 0.001 * ((nx * (ny - 1)) % 500 + 1));
  }
}

TEST_F(FractalPorosity, LayeredModelReadsNoFile) {
  grid(2, 2);
  deck.model = 0;
  read_porosity_file(deck, sample);  // no porosity.frac here, and none needed
  EXPECT_EQ(sample.phi(2, 2), 0.0);
}

TEST_F(FractalPorosity, MissingFileIsNamed) {
  EXPECT_EXIT(read(2, 2), ::testing::ExitedWithCode(2), "porosity.frac: cannot open");
}

TEST_F(FractalPorosity, ShortFileNamesTheCellItLacks) {
  tp::testing::write_file("porosity.frac", "0.1\n0.1\n0.1\n");
  EXPECT_EXIT(read(2, 2), ::testing::ExitedWithCode(2),
              "porosity.frac: .*after line 3.*cell \\(2, 2\\)");
}

TEST_F(FractalPorosity, TextLineIsReportedWithItsLineNumber) {
  tp::testing::write_file("porosity.frac", "0.1\n0.1\nporous\n0.1\n");
  EXPECT_EXIT(read(2, 2), ::testing::ExitedWithCode(2), "porosity.frac, line 3: .*porous");
}
