// The compiled field table: every deck line has its field, the rules apply
// only where the models consult a value, and the test helpers that edit
// decks by field name land on the line the reader reads.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "common/capacity.hpp"
#include "deck/fields.hpp"
#include "support/deck_edit.hpp"
#include "support/report.hpp"

using namespace tp;

namespace {

FieldContext context(int key_model, int layer, int n_freq = 9) {
  FieldContext c;
  c.key_model = key_model;
  c.layer = layer;
  c.n_freq = n_freq;
  return c;
}

bool refused(const char* name, double v, const FieldContext& c) {
  return refusing_rule(*deck_field(name), v, c) != nullptr;
}

TEST(FieldTable, EveryLineOfATwoLayerDeckHasOneFieldAndNamesRoundTrip) {
  std::set<std::string> names;
  for (int n = 1; n <= kHeadLines + kMaxLayers * kLayerLines; ++n) {
    const std::string name = tp::testing::field_of_line(n);
    EXPECT_TRUE(names.insert(name).second) << name;
    EXPECT_EQ(tp::testing::line_of_field(name), n) << name;
  }
  int layer = 0;
  EXPECT_EQ(deck_field_of_line(kHeadLines + kLayerLines + 1, 1, layer), nullptr)
      << "a one-layer deck ends after its first block";
  EXPECT_STREQ(tp::testing::field_of_line(31).c_str(), "akf(2)");
}

TEST(FieldTable, SweepEndIsCheckedOnlyWhenTheSweepHasMorePoints) {
  EXPECT_TRUE(refused("freq_max", 0.0, context(0, 0, 9)));
  EXPECT_FALSE(refused("freq_max", 0.0, context(0, 0, 1)));
  EXPECT_FALSE(refused("freq_max", 50.0, context(0, 0, 9))) << "a sweep downwards is meaningful";
}

TEST(FieldTable, ModelSpecificValuesAreCheckedOnlyInTheModelThatUsesThem) {
  const int ice = 0, sand = 1;
  EXPECT_TRUE(refused("phi_a", 1.5, context(ice, 1)));
  EXPECT_FALSE(refused("phi_a", 1.5, context(sand, 1)));
  EXPECT_TRUE(refused("capa_1_0", 0.0, context(ice, 2)));
  EXPECT_FALSE(refused("capa_1_0", -1.0, context(sand, 1)));
  EXPECT_TRUE(refused("s3", -0.1, context(sand, 2)));
  EXPECT_FALSE(refused("s3", 7.0, context(ice, 1)));
  // The sand model takes its grain sizes from layer 1 for every cell.
  EXPECT_TRUE(refused("rs1", 0.0, context(sand, 1)));
  EXPECT_FALSE(refused("rs1", 0.0, context(sand, 2)));
  EXPECT_FALSE(refused("rs3", 0.0, context(ice, 1)));
}

TEST(FieldTable, BoundsAreOpenOrClosedAsTheQuantityNeeds) {
  const FieldContext any = context(0, 1);
  EXPECT_TRUE(refused("akf", 0.0, any)) << "a fluid modulus must be above 0";
  EXPECT_FALSE(refused("phi_layer", 0.0, any)) << "a fraction may be 0";
  EXPECT_FALSE(refused("phi_layer", 1.0, any)) << "and 1";
  EXPECT_TRUE(refused("phi_layer", 1.0 + 1e-15, any));
  EXPECT_FALSE(refused("eta", -1.0, any)) << "eta <= 0 switches the viscous coupling off";
  EXPECT_TRUE(refused("ro1", std::nan(""), any)) << "NaN lies in no range";
  EXPECT_FALSE(refused("nx", 2600, any)) << "the memory, not the side, bounds a strip";
  EXPECT_FALSE(refused("nx", 3900000, any));
  EXPECT_TRUE(refused("nx", 3900001, any));
}

TEST(FieldTable, TypicalSpansCoverTheBundledExamplesInSIUnits) {
  // The example decks hold water, quartz and ice in SI units: each lies in
  // its quantity's span, and the same values in GPa or g/cm3 do not.
  const struct {
    const char* name;
    double si, other_unit;
  } cases[] = {{"akf", 2.25e9, 2.25},   {"ro2", 1000.0, 1.0e-6},  {"ro1", 2650.0, 2.65},
               {"ak_s1", 3.8e10, 38.0}, {"xmu_s3", 3.32e9, 3.32}, {"capa_1_0", 1e-12, 1e-8}};
  for (const auto& c : cases) {
    const DeckField& f = *deck_field(c.name);
    ASSERT_TRUE(f.has_physical) << c.name;
    EXPECT_TRUE(c.si >= f.physical_min && c.si <= f.physical_max) << c.name;
    EXPECT_FALSE(c.other_unit >= f.physical_min && c.other_unit <= f.physical_max) << c.name;
  }
}

TEST(ReportReader, LabelWithItsEqualsSignOrWithoutReadsTheValue) {
  const std::string report =
      " nx/2,ny/2   2 2\n"
      " akf (GPA) (fluid bulk mod.    =  2250000000.0000000\n"
      " alfa1,alfa3 =  0.5  0.25\n"
      "  using averages  Velocity(m/s) FE = 3455.1 after\n";
  EXPECT_EQ(tp::testing::report_value(report, "akf (GPA)"), "2250000000.0000000");
  EXPECT_EQ(tp::testing::report_numbers(report, "alfa1,alfa3 ="), (std::vector<double>{0.5, 0.25}));
  EXPECT_EQ(tp::testing::report_value(report, "using averages  Velocity"), "3455.1");
  EXPECT_EQ(tp::testing::report_numbers(report, "nx/2,ny/2"), (std::vector<double>{2, 2}));
  EXPECT_TRUE(std::isnan(tp::testing::report_number(report, "fluid bulk")))
      << "a label is read only where its line starts";
}

}  // namespace
