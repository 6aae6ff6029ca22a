// Deck values that read as numbers but cannot give a run are refused before
// anything is computed, with the exact words a user needs; values the
// program treats as meaningful still run to the normal end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reliability/reliability.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp::reliability;
using tp::testing::with_field;
using tp::testing::with_line;

// The example deck on a 2 by 2 grid (fast even under the sanitizers), with
// line n replaced.
std::string small(const std::string& example, int n = 0, const std::string& text = "") {
  auto lines = with_field(with_field(example_lines(example), "nx", "2"), "ny", "2");
  if (n > 0) lines = with_line(lines, n, text);
  return join_lines(lines);
}

struct Refusal {
  const char* example;
  int line;
  const char* text;
  const char* message;  // the whole standard error
};

class RefusedValue : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusedValue, StopsWithTheDeckLineTheValueAndTheReason) {
  const Refusal c = GetParam();
  const RunResult o = run_program(example_dir(c.example), small(c.example, c.line, c.text));
  ASSERT_EQ(unacceptable(o), "") << o.err;
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, std::string("threephase: standard input, line ") + std::to_string(c.line) +
                       ": " + c.message + "\n");
  // Refused while reading: no coefficient report was printed.
  EXPECT_EQ(o.out.find("layer i="), std::string::npos);
  EXPECT_EQ(o.out.find("enters"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    EachRule, RefusedValue,
    ::testing::Values(
        Refusal{"permafrost", 1, "0.0",
                "freq = 0 must be above 0 (the plane waves divide by omega = 2 pi freq)"},
        Refusal{"permafrost", 1, "nan", "freq = nan is not a finite number"},
        Refusal{"permafrost", 2, "-10.0",
                "freq_max = -10 must be above 0 (the end of a logarithmic sweep; only n_freq = 1 "
                "leaves it unused)"},
        Refusal{"permafrost", 4, "0",
                "domain_size = 0 must be above 0 (the extent of the sample along y)"},
        Refusal{"permafrost", 11, "-2.25e9",
                "akf(1) = -2250000000 must be above 0 (the bulk modulus of the pore fluid)"},
        Refusal{"permafrost", 32, "0.0",
                "ro2(2) = 0 must be above 0 (the density of the pore fluid)"},
        Refusal{"shaley_sand", 13, "Infinity", "eta(1) = inf is not a finite number"},
        Refusal{"permafrost", 14, "0.0", "ro1(1) = 0 must be above 0 (the density of solid 1)"},
        Refusal{"shaley_sand", 15, "-920.0",
                "ro3(1) = -920 must be above 0 (the density of solid 3)"},
        Refusal{"permafrost", 16, "1.2",
                "phi_a(1) = 1.2 is outside 0..1 (the absolute porosity of the ice model)"},
        Refusal{"shaley_sand", 37, "-0.1",
                "phi_layer(2) = -0.1 is outside 0..1 (the water proportion of the layer)"},
        Refusal{"permafrost", 18, "0.0",
                "capa_1_0(1) = 0 must be above 0 (the reference permeability of solid 1 in the ice "
                "model)"},
        Refusal{"permafrost", 39, "-1.0e-12",
                "capa_3_0(2) = -1e-12 must be above 0 (the reference permeability of solid 3 in "
                "the ice model)"},
        Refusal{"shaley_sand", 40, "1.3",
                "s3(2) = 1.3 is outside 0..1 (the shale proportion of the solid)"},
        Refusal{"shaley_sand", 21, "0.0",
                "rs1(1) = 0 must be above 0 (the grain size of solid 1 in the shaley-sand model)"},
        Refusal{
            "shaley_sand", 22, "-1.0e-6",
            "rs3(1) = -1e-06 must be above 0 (the grain size of solid 3 in the shaley-sand model)"},
        Refusal{"permafrost", 23, "-NaN", "coef_b13(1) = nan is not a finite number"},
        Refusal{"permafrost", 24, "inf", "ak_air(1) = inf is not a finite number"},
        Refusal{"permafrost", 26, "0.0",
                "ak_s1(1) = 0 must be above 0 (the grain bulk modulus of solid 1)"},
        Refusal{"shaley_sand", 47, "-4.4e10",
                "xmu_s1(2) = -4.4e+10 must be above 0 (the grain shear modulus of solid 1)"},
        Refusal{"permafrost", 28, "0.0",
                "ak_s3(1) = 0 must be above 0 (the grain bulk modulus of solid 3)"},
        Refusal{"shaley_sand", 49, "0.0",
                "xmu_s3(2) = 0 must be above 0 (the grain shear modulus of solid 3)"}));

TEST(RefusedValue, TheIceModelCheckKeepsItsOwnStop) {
  // A water proportion above the absolute porosity is the ice check's case,
  // even when it is also above 1.
  const RunResult o = run_program(example_dir("permafrost"), small("permafrost", 17, "1.5"));
  EXPECT_EQ(o.status, 11);
  EXPECT_EQ(o.err, "STOP 11\n");
}

struct Kept {
  const char* name;
  const char* example;
  int line;
  const char* text;
};

class MeaningfulValue : public ::testing::TestWithParam<Kept> {};

TEST_P(MeaningfulValue, StillRunsToTheNormalEnd) {
  const Kept c = GetParam();
  const RunResult o = run_program(example_dir(c.example), small(c.example, c.line, c.text));
  ASSERT_TRUE(o.exited && !o.timed_out) << o.err;
  EXPECT_EQ(o.status, 40) << o.err;
  EXPECT_EQ(tp::testing::without_warnings(o.err), "STOP 40\n");
}

INSTANTIATE_TEST_SUITE_P(
    Kept, MeaningfulValue,
    ::testing::Values(Kept{"no_viscous_coupling", "permafrost", 13, "0.0"},
                      Kept{"negative_viscosity", "shaley_sand", 33, "-0.001"},
                      Kept{"empty_pore_inclusions", "shaley_sand", 24, ""},
                      Kept{"sweep_downwards", "permafrost", 2, "1.0"},
                      Kept{"ice_model_ignores_grain_sizes", "permafrost", 21, "0.0"},
                      Kept{"shaley_sand_ignores_permeabilities", "shaley_sand", 18, "-1.0"},
                      Kept{"only_layer_one_grain_sizes_serve", "shaley_sand", 41, "0.0"},
                      Kept{"ice_model_ignores_shale_proportion", "permafrost", 20, "7.0"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(MeaningfulValue, OnePointSweepWithZeroEndRuns) {
  std::vector<std::string> lines = example_lines("permafrost");
  for (const char* f : {"nx", "ny"}) lines = with_field(lines, f, "2");
  lines = with_field(with_field(lines, "freq_max", "0"), "n_freq", "1");
  const RunResult o = run_program(example_dir("permafrost"), join_lines(lines));
  EXPECT_EQ(o.status, 40) << o.err;
}

}  // namespace
