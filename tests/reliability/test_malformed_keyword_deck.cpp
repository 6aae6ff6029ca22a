// The program on keyword decks that users get wrong: every assignment of the
// bundled twins removed, given twice, given text of the wrong type, or
// followed by a misspelt key. Each must end with exit status 2 and one
// message naming the line and the key; no signal, hang, sanitizer report or
// normal end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reliability/reliability.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp::reliability;

enum class Fault { removed, twice, wrong_type, misspelt };

struct Case {
  std::string deck;
  std::string key;    // the key the message must name
  int line = 0;       // the line it must name (0: the reader picks the table's)
  bool runs = false;  // the fault leaves a deck that runs (an optional key removed)
};

// The key of an assignment line, or "" for comments, headers and blanks.
std::string key_of(const std::string& line) {
  const auto eq = line.find(" = ");
  if (line.empty() || line[0] == '#' || line[0] == '[' || eq == std::string::npos) return "";
  return line.substr(0, eq);
}

bool optional_in_permafrost_twin(const std::string& key) {
  for (const char* k : {"solver", "output", "freq_max", "n_freq", "nmat", "water_proportion", "nl",
                        "phi_layer", "s3", "rs1", "rs3"}) {
    if (key == k) return true;
  }
  return false;
}

std::vector<Case> generate(const std::string& example, Fault fault) {
  const std::vector<std::string> lines = tp::testing::split_lines(
      tp::testing::read_file(tp::testing::source_path("examples/" + example + "/deck.toml")));
  std::vector<Case> cases;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string key = key_of(lines[n]);
    if (key.empty()) continue;
    std::vector<std::string> spoiled = lines;
    Case c;
    c.key = key;
    c.line = static_cast<int>(n) + 1;
    switch (fault) {
      case Fault::removed:
        spoiled.erase(spoiled.begin() + static_cast<long>(n));
        c.line = 0;
        // What the permafrost twin's plan (uniform materials, a constant
        // porosity beside a water proportion) and model do not use.
        c.runs = optional_in_permafrost_twin(key);
        break;
      case Fault::twice:
        spoiled.insert(spoiled.begin() + static_cast<long>(n), lines[n]);
        c.line += 1;
        break;
      case Fault::wrong_type:
        // A boolean is no value of any key.
        spoiled[n] = key + " = true";
        break;
      case Fault::misspelt:
        spoiled.insert(spoiled.begin() + static_cast<long>(n) + 1, key + "x = 1");
        c.key = key + "x";
        c.line += 1;
        break;
    }
    c.deck = join_lines(spoiled);
    cases.push_back(c);
  }
  return cases;
}

// Runs every case of the fault on the example: status 2 and one message
// "threephase: standard input, line N: ..." naming the key.
void expect_refusals(const std::string& example, Fault fault) {
  const std::vector<Case> cases = generate(example, fault);
  ASSERT_GT(cases.size(), 30u);
  const std::string dir = example_dir(example);
  for (const Case& c : cases) {
    SCOPED_TRACE(example + ": key " + c.key + ", line " + std::to_string(c.line));
    const RunResult o = run_program(dir, c.deck);
    if (c.runs) {
      EXPECT_EQ(o.status, 40) << o.err;
      continue;
    }
    ASSERT_EQ(unacceptable(o), "") << o.err;
    EXPECT_EQ(o.status, 2);
    ASSERT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
    EXPECT_EQ(o.err.rfind("threephase: standard input, line ", 0), 0u) << o.err;
    if (c.line > 0) {
      EXPECT_NE(o.err.find(", line " + std::to_string(c.line) + ": "), std::string::npos) << o.err;
    }
    EXPECT_NE(o.err.find(c.key), std::string::npos) << o.err;
  }
}

}  // namespace

TEST(MalformedKeywordDeck, EveryKeyRemovedIsMissingButTheOptionalOnes) {
  expect_refusals("permafrost", Fault::removed);
}

TEST(MalformedKeywordDeck, EveryKeyGivenTwiceNamesTheSecondLine) {
  expect_refusals("permafrost", Fault::twice);
}

TEST(MalformedKeywordDeck, EveryKeyOfTheWrongTypeNamesItsLine) {
  expect_refusals("permafrost", Fault::wrong_type);
  expect_refusals("shaley_sand", Fault::wrong_type);
}

TEST(MalformedKeywordDeck, EveryMisspeltKeyIsUnknown) {
  expect_refusals("fractal", Fault::misspelt);
}
