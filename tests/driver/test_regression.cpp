// Whole runs of small decks compared with reviewed outputs kept beside them
// (tests/driver/regression/<case>/expected): the report, the stop line and
// every file the run writes. Numbers agree to 1e-12 relative; all other
// text, blanks included, must match exactly, so a changed label, spacing,
// order or line count fails. After an intended change of output, regenerate
// with tests/driver/regression/update and review the diff.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "support/testing.hpp"

namespace fs = std::filesystem;
using namespace tp::testing;

namespace {

const std::regex kNumber(
    R"([-+]?(?:\d+\.?\d*|\.\d+)(?:[EeDd][-+]?\d+)?|NaN|-?Infinity)");

bool close_numbers(const std::string& a, const std::string& b) {
  if (a == b) return true;
  const double x = std::strtod(a.c_str(), nullptr);
  const double y = std::strtod(b.c_str(), nullptr);
  const double scale = std::max(std::fabs(x), std::fabs(y));
  return std::fabs(x - y) <= 1e-12 * scale;
}

// The processor time differs from run to run.
std::string without_running_time(const std::string& line) {
  if (line.rfind(" running time=", 0) == 0) return " running time=<hours>";
  return line;
}

// Compare one line: the text between numbers exactly, the numbers within
// tolerance. Returns an empty string when they agree, else a description.
std::string compare_line(const std::string& want, const std::string& got) {
  auto wi = std::sregex_iterator(want.begin(), want.end(), kNumber);
  auto gi = std::sregex_iterator(got.begin(), got.end(), kNumber);
  const std::sregex_iterator end;
  std::size_t wpos = 0, gpos = 0;
  for (; wi != end && gi != end; ++wi, ++gi) {
    if (want.substr(wpos, wi->position() - wpos) != got.substr(gpos, gi->position() - gpos)) {
      return "text differs";
    }
    if (!close_numbers(wi->str(), gi->str())) return "number " + wi->str() + " vs " + gi->str();
    wpos = wi->position() + wi->length();
    gpos = gi->position() + gi->length();
  }
  if (wi != end || gi != end) return "count of numbers differs";
  if (want.substr(wpos) != got.substr(gpos)) return "text differs";
  return "";
}

void compare_text(const std::string& what, const std::string& want, const std::string& got) {
  const auto w = split_lines(want);
  const auto g = split_lines(got);
  EXPECT_EQ(w.size(), g.size()) << what << ": line count";
  int reported = 0;
  for (std::size_t i = 0; i < std::min(w.size(), g.size()) && reported < 5; ++i) {
    const std::string a = without_running_time(w[i]), b = without_running_time(g[i]);
    const std::string diff = compare_line(a, b);
    if (!diff.empty()) {
      ADD_FAILURE() << what << " line " << i + 1 << ": " << diff << "\n  want: [" << a
                    << "]\n  got:  [" << b << "]";
      ++reported;
    }
  }
  EXPECT_EQ(want.empty() || want.back() == '\n', got.empty() || got.back() == '\n')
      << what << ": final end of line";
}

std::set<std::string> inputs() {
  return {"deck", "stdin.deck", "porosity.frac", "elast_coef_sand", "b11_b22_b12_sand",
          "stdout.txt", "stderr.txt"};
}

class Regression : public ::testing::TestWithParam<const char*> {};

TEST_P(Regression, ReportAndEveryFileMatchTheReviewedRun) {
  const std::string src = source_path(std::string("tests/driver/regression/") + GetParam());
  const std::string dir = fresh_dir(GetParam());
  copy_example("permafrost", dir);  // the reference coefficient files
  fs::remove(dir + "/deck");
  if (fs::exists(src + "/porosity.frac")) {
    fs::copy_file(src + "/porosity.frac", dir + "/porosity.frac");
  }
  const auto r = run_program(dir, read_file(src + "/deck"));
  const std::string expected = src + "/expected/";
  EXPECT_EQ(r.err, read_file(expected + "stderr.txt"));
  compare_text("standard output", read_file(expected + "stdout.txt"), r.out);

  std::set<std::string> want_files, got_files;
  for (const auto& e : fs::directory_iterator(expected)) {
    const std::string name = e.path().filename();
    if (!inputs().count(name)) want_files.insert(name);
  }
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename();
    if (!inputs().count(name)) got_files.insert(name);
  }
  EXPECT_EQ(want_files, got_files) << "the set of files written";
  for (const auto& name : want_files) {
    if (got_files.count(name)) compare_text(name, read_file(expected + name), read_file(dir + "/" + name));
  }
}

INSTANTIATE_TEST_SUITE_P(SmallDecks, Regression,
                         ::testing::Values("one_cell", "two_by_two", "three_by_seven",
                                           "layered_permafrost", "shaley_sand", "fractal"));

TEST(RegressionCompare, SpacingAndLabelChangesAreCaughtButLastDigitNoiseIsNot) {
  EXPECT_EQ(compare_line(" h  0.25000000000000000", " h  0.25000000000000000"), "");
  EXPECT_EQ(compare_line(" x  1.0000000000000000", " x  1.0000000000000002"), "");
  EXPECT_NE(compare_line(" x  1.0000000000000000", " x  1.0000000001000000"), "");
  EXPECT_NE(compare_line(" h  0.25", " h 0.25"), "");
  EXPECT_NE(compare_line(" h  0.25", " H  0.25"), "");
  EXPECT_NE(compare_line(" 1 2 3.0", " 1 2"), "");
}

}  // namespace
