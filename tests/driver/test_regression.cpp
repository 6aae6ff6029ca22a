// Whole runs of small decks compared with reviewed outputs kept beside them
// (tests/driver/regression/<case>/expected): the report, the stop line and
// every file the run writes. Numbers agree to 1e-12 relative; all other
// text, blanks included, must match exactly, so a changed label, spacing,
// order or line count fails. After an intended change of output, regenerate
// with tests/driver/regression/update and review the diff.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "support/maps.hpp"
#include "support/report.hpp"
#include "support/run.hpp"
#include "support/testing.hpp"

namespace fs = std::filesystem;
using namespace tp::testing;

namespace {

class Regression : public ::testing::TestWithParam<const char*> {};

TEST_P(Regression, ReportAndEveryFileMatchTheReviewedRun) {
  const std::string src = source_path(std::string("tests/driver/regression/") + GetParam());
  const std::string dir = fresh_dir(GetParam());
  copy_example("permafrost", dir);  // the reference coefficient files
  fs::remove(dir + "/deck");
  fs::remove(dir + "/deck.toml");
  if (fs::exists(src + "/porosity.frac")) {
    fs::copy_file(src + "/porosity.frac", dir + "/porosity.frac");
  }
  const auto r = run_program(dir, read_file(src + "/deck"));
  const std::string expected = src + "/expected/";
  EXPECT_EQ(without_warnings(r.err), read_file(expected + "stderr.txt"));
  expect_same_text("standard output", read_file(expected + "stdout.txt"), r.out);

  // Every result file is written and reviewed; nothing else appears.
  std::set<std::string> reviewed, written;
  for (const auto& e : fs::directory_iterator(expected)) reviewed.insert(e.path().filename());
  for (const auto& e : fs::directory_iterator(dir)) written.insert(e.path().filename());
  for (const std::string& name : result_files()) {
    EXPECT_TRUE(reviewed.count(name)) << name << " has no reviewed copy";
    EXPECT_TRUE(written.count(name)) << name << " was not written";
    if (reviewed.count(name) && written.count(name)) {
      expect_same_text(name, read_file(expected + name), read_file(dir + "/" + name));
    }
  }
  const std::set<std::string> inputs = {"stdin.deck",       "porosity.frac", "elast_coef_sand",
                                        "b11_b22_b12_sand", "stdout.txt",    "stderr.txt"};
  for (const std::string& name : written) {
    const auto& all = result_files();
    EXPECT_TRUE(inputs.count(name) || std::find(all.begin(), all.end(), name) != all.end())
        << "unexpected file " << name;
  }
}

INSTANTIATE_TEST_SUITE_P(SmallDecks, Regression,
                         ::testing::Values("one_cell", "two_by_two", "three_by_seven",
                                           "layered_permafrost", "shaley_sand", "fractal"));

TEST(TolerantComparison, SpacingAndLabelChangesAreCaughtButLastDigitNoiseIsNot) {
  EXPECT_EQ(compare_line(" h  0.25000000000000000", " h  0.25000000000000000"), "");
  EXPECT_EQ(compare_line(" x  1.0000000000000000", " x  1.0000000000000002"), "");
  EXPECT_NE(compare_line(" x  1.0000000000000000", " x  1.0000000001000000"), "");
  EXPECT_NE(compare_line(" h  0.25", " h 0.25"), "");
  EXPECT_NE(compare_line(" h  0.25", " H  0.25"), "");
  EXPECT_NE(compare_line(" 1 2 3.0", " 1 2"), "");
}

}  // namespace
