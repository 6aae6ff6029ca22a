// The first-cell reports of both routines, for one permafrost deck and one
// shaley-sand deck, against reviewed expected texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "rock_deck.hpp"
#include "support/report.hpp"
#include "support/testing.hpp"

namespace {

using tp::testing::CapturedOutput;
using tp::testing::InFreshDir;

tp::testing::CoefficientSet e;
tp::testing::CoefficientSet mf;

// Both routines on a 2 by 2 deck; only cell (1, 1) is reported.
std::string reports_of(const tp::testing::RockDeck& d) {
  InFreshDir dir("reports");
  CapturedOutput out;
  tp::testing::run_e_modulus(d, e);
  tp::testing::run_mass_visco_coef(d, mf);
  const std::string text = out.text();
  // Set THREEPHASE_WRITE_REPORT to a file name to see the text in full.
  if (const char* keep = std::getenv("THREEPHASE_WRITE_REPORT")) {
    tp::testing::write_file(keep, text);
  }
  return text;
}

// The text of every line exactly, the numbers to 1e-12 relative.
void expect_reviewed(const std::string& text, const std::string& expected_file) {
  const std::string want =
      tp::testing::read_file(tp::testing::source_path("tests/rockphysics/" + expected_file));
  tp::testing::expect_same_text(expected_file, want, text);
}

TEST(FirstCellReports, PermafrostCellReportMatchesTheReviewedText) {
  expect_reviewed(reports_of(tp::testing::permafrost_deck(2, 2)), "expected_permafrost_report.txt");
}

TEST(FirstCellReports, ShaleySandCellReportMatchesTheReviewedText) {
  expect_reviewed(reports_of(tp::testing::shaley_sand_deck(2, 2)),
                  "expected_shaley_sand_report.txt");
}

}  // namespace
