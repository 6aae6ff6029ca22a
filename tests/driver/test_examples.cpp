// Every bundled example runs to its normal end; the flagship keyword
// example is the layered sample it says it is.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/maps.hpp"
#include "support/run.hpp"
#include "support/testing.hpp"

using namespace tp::testing;

class Example : public ::testing::TestWithParam<const char*> {};

TEST_P(Example, RunsToStop40) {
  const std::string dir = fresh_dir(GetParam());
  copy_example(GetParam(), dir);
  const auto r = run_program(dir, read_file(dir + "/deck"));
  EXPECT_EQ(r.status, 40) << r.out.substr(r.out.size() > 2000 ? r.out.size() - 2000 : 0);
  EXPECT_EQ(without_warnings(r.err), "STOP 40\n");
  EXPECT_NE(r.out.find(" running time="), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Bundled, Example,
                         ::testing::Values("permafrost", "shaley_sand", "fractal"));

// The README's first example was the legacy permafrost deck, whose run
// never uses its second layer and warns of it on every run. Its keyword
// successor must run both layers (rows alternating every 20, each cell
// with its layer's water) without a warning, the diffusion length resolved.
TEST(FlagshipExample, KeywordDeckRunsBothLayersWithoutAWarningAndResolvesTheDiffusion) {
  const std::string dir = fresh_dir("flagship");
  const RunResult r = run_with_args(
      dir, "run " + source_path("examples/permafrost_layers/deck.toml") + " -o " + dir + "/out");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
  const nlohmann::json j = nlohmann::json::parse(read_file(dir + "/out/results.json"));
  EXPECT_TRUE(j["warnings"].empty()) << j["warnings"].dump();
  EXPECT_TRUE(j["diffusion"]["resolved"].get<bool>()) << j["diffusion"].dump();

  const auto matnum = read_map(dir + "/out/matnum_p33_gnu");
  const auto mu1 = read_map(dir + "/out/xmu1_gnu");
  ASSERT_EQ(matnum.size(), 80u * 80u);
  for (const MapCell& c : matnum) {
    ASSERT_EQ(c.value, (c.k - 1) % 40 < 20 ? 1 : 2) << "cell " << c.j << " " << c.k;
    ASSERT_EQ(map_value(mu1, c.j, c.k), map_value(mu1, 1, c.value == 1 ? 1 : 21));
  }
  EXPECT_NE(map_value(mu1, 1, 1), map_value(mu1, 1, 21)) << "the layers hold different media";
}
