// Keyword decks through `run` and `check`: the plan check prints is the one
// the run follows, the deck's output folder and porosity file are found
// beside the deck wherever the command runs from, and results.json carries
// the deck's values.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "common/stop.hpp"
#include "deck/keyword_testing.hpp"
#include "support/run.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp::testing;
namespace fs = std::filesystem;

// A folder holding examples/<example>'s side files and `deck` as
// sub/deck.toml, and a separate working folder to run from: the run must
// find what the deck names through the deck's folder, not the working one.
struct DeckAway {
  std::string top, deck_dir, deck, work;
};

DeckAway deck_away(const std::string& example, const std::string& deck, const std::string& tag) {
  DeckAway a;
  a.top = fresh_dir(tag);
  a.deck_dir = a.top + "/sub";
  a.work = a.top + "/work";
  fs::create_directories(a.deck_dir);
  fs::create_directories(a.work);
  copy_example(example, a.deck_dir);
  a.deck = a.deck_dir + "/deck.toml";
  write_file(a.deck, deck);
  return a;
}

nlohmann::json results_of(const std::string& dir) {
  return nlohmann::json::parse(read_file(dir + "/results.json"));
}

}  // namespace

TEST(KeywordCheck, PrintsTheLayeredPlanTheRunWillFollow) {
  std::string deck = with_value(keyword_example("shaley_sand"), "materials", "\"layered\"");
  deck = with_value(deck, "water_proportion", "[0.1, 0.25]");
  deck = with_value(deck, "porosity", "\"by_layer\"");
  deck = with_value(deck, "solver", "\"own\"");
  const DeckAway a = deck_away("shaley_sand", deck, "kw_check_plan");
  const RunResult r = run_with_args(a.work, "check " + a.deck);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("keyword \"2650.0\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("each row of cells with the values of its layer"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("the water proportion of its layer"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(": 0.1 0.25"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("the own sparse solver"), std::string::npos) << r.out;
  // A legacy deck's complaints (implied decimals, ignored layer 2) do not
  // apply: the layered plan uses layer 2.
  EXPECT_EQ(r.out.find("implied decimals"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("the values of [[layer]] 2"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(a.work + "/vp_eq.phiw")) << "check writes no result file";
}

TEST(KeywordCheck, BadKeywordDeckNamesLineAndKeyWithStatus2) {
  const std::string deck = with_value(keyword_example("permafrost"), "akf", "-1.0");
  const DeckAway a = deck_away("permafrost", deck, "kw_check_bad");
  const RunResult r = run_with_args(a.work, "check " + a.deck);
  EXPECT_EQ(r.status, tp::kExitBadInput);
  const std::string where = "line " + std::to_string(line_of_key(deck, "akf")) + ": akf(1)";
  EXPECT_NE(r.err.find(where), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "") << "nothing listed for a deck that does not read";
}

// check read the porosity file with a grid of no cells: a file one value
// short passed the check and then stopped the run.
TEST(KeywordCheck, ReadsEveryValueOfThePorosityFileTheRunWillRead) {
  const DeckAway a = deck_away("fractal", keyword_example("fractal"), "kw_check_frac");
  std::string frac = read_file(a.deck_dir + "/porosity.frac");
  ASSERT_EQ(run_with_args(a.work, "check " + a.deck).status, 0);
  frac.erase(frac.rfind('\n', frac.size() - 2) + 1);  // drop the last line
  write_file(a.deck_dir + "/porosity.frac", frac);
  const RunResult r = run_with_args(a.work, "check " + a.deck);
  EXPECT_EQ(r.status, tp::kExitBadInput) << r.out;
  EXPECT_NE(r.err.find("porosity.frac"), std::string::npos) << r.err;
}

TEST(KeywordRun, OutputFolderOfTheDeckIsTakenBesideTheDeckUnlessDashOGiven) {
  const std::string deck =
      with_value(keyword_example("permafrost"), "solver", "\"default\"\noutput = \"res\"");
  const DeckAway a = deck_away("permafrost", deck, "kw_output");
  RunResult r = run_with_args(a.work, "run -q " + a.deck);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(a.deck_dir + "/res/results.json"));
  EXPECT_FALSE(fs::exists(a.work + "/res"));
  EXPECT_FALSE(fs::exists(a.work + "/deck_results"));
  r = run_with_args(a.work, "run -q " + a.deck + " -o mine");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(a.work + "/mine/results.json"));
}

TEST(KeywordRun, RelativePorosityFileIsReadFromTheDecksFolder) {
  const std::string deck =
      with_value(keyword_example("fractal"), "porosity", "{ file = \"fields/phi.frac\" }");
  const DeckAway a = deck_away("fractal", deck, "kw_frac_path");
  fs::create_directories(a.deck_dir + "/fields");
  fs::rename(a.deck_dir + "/porosity.frac", a.deck_dir + "/fields/phi.frac");
  const RunResult r = run_with_args(a.work, "run -q " + a.deck + " -o out");
  ASSERT_EQ(r.status, 0) << r.err;
  // The same field as the legacy twin reads from porosity.frac.
  const DeckAway legacy = deck_away("fractal", keyword_example("fractal"), "kw_frac_twin");
  ASSERT_EQ(run_with_args(legacy.work, "run -q " + legacy.deck + " -o out").status, 0);
  EXPECT_EQ(read_file(a.work + "/out/vp_eq.phiw"), read_file(legacy.work + "/out/vp_eq.phiw"));
}

TEST(KeywordRun, ResultsJsonCarriesTheKeywordDecksValuesWithUnits) {
  const DeckAway a = deck_away("permafrost", keyword_example("permafrost"), "kw_json");
  const RunResult r = run_with_args(a.work, "run -q " + a.deck + " -o out");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto values = results_of(a.work + "/out")["deck"]["values"];
  ASSERT_EQ(values.size(), 9u + 2 * 20) << "head values and 20 per layer";
  EXPECT_EQ(values["ro1(1)"]["value"].get<double>(), 2650.0);
  EXPECT_EQ(values["ro1(1)"]["unit"], "kg/m3");
  EXPECT_EQ(values["nx"]["value"].get<double>(), 20.0);
  EXPECT_EQ(values["akf(2)"]["text"], "2.25e9");
  EXPECT_FALSE(values["ro1(1)"]["implied_decimals"].get<bool>());
}

// Every warning a run prints (of the deck, of the coefficients, of the
// grid) is counted by its summary and listed in results.json: a clean sand
// warns of its first cell's lambda1 beside the deck's unused values (a
// phi_layer the constant porosity overrides) and the diffusion length.
// results.json's water proportion is the one the run used, not phi_layer.
TEST(KeywordRunCommand, SummaryCountsEveryWarningPrintedAndResultsJsonListsEachOne) {
  std::string deck = with_value(keyword_example("shaley_sand"), "s3", "0.004");
  deck = with_value(deck, "phi_layer", "0.2");
  deck = with_value(deck, "nx", "4");
  deck = with_value(deck, "ny", "4");
  const DeckAway a = deck_away("shaley_sand", deck, "kw_warning_count");
  const RunResult r = run_with_args(a.work, "run " + a.deck + " -o " + a.top + "/out");
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> printed;
  for (const std::string& line : split_lines(r.err)) {
    const std::string prefix = "threephase: warning: ";
    if (line.rfind(prefix, 0) == 0) printed.push_back(line.substr(prefix.size()));
  }
  ASSERT_GE(printed.size(), 3u) << r.err;
  EXPECT_NE(r.out.find("  " + std::to_string(printed.size()) + " warning(s)"), std::string::npos)
      << r.out << r.err;
  const nlohmann::json listed = results_of(a.top + "/out")["warnings"];
  EXPECT_EQ(listed, nlohmann::json(printed));
  EXPECT_NE(r.err.find("cell (1, 1): lambda1 ="), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("phi_layer(1) = 0.2 is not used"), std::string::npos) << r.err;
  EXPECT_EQ(results_of(a.top + "/out")["case"]["water_proportion"]["value"], 0.1);
}
