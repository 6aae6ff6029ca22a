// A converted deck must read back as the deck it came from, whatever its
// paths hold: a backslash or a quote written bare into a TOML string would
// end the string or start an escape, and the converted deck would no
// longer read (or name another file).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deck/deck_file.hpp"
#include "deck/keyword_deck.hpp"
#include "support/run.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp::testing;

TEST(ConvertPaths, BackslashAndQuoteInThePorosityPathRoundTripThroughConvertThenCheck) {
  const std::string dir = fresh_dir("convert_paths");
  copy_example("fractal", dir);
  const std::string name = "a\\b\"c.frac";  // a\b"c.frac: both are plain characters of a name
  std::string toml = read_file(dir + "/deck.toml");
  const std::string bare = "{ file = \"porosity.frac\" }";
  toml.replace(toml.find(bare), bare.size(), "{ file = '" + name + "' }");
  toml.replace(toml.find("[run]\n"), 6, "[run]\noutput = 'out\\\\x\"y'\n");
  write_file(dir + "/odd.toml", toml);
  write_file(dir + "/" + name, read_file(dir + "/porosity.frac"));

  std::string converted;
  std::vector<std::string> warnings;
  tp::DeckError err;
  ASSERT_EQ(tp::convert_deck_file((dir + "/odd.toml").c_str(), false, converted, warnings, err), 0)
      << err.what;
  tp::Deck d;
  tp::RunPlan plan;
  ASSERT_EQ(tp::read_keyword_deck(converted, d, plan, err), 0)
      << "line " << err.line << ": " << err.what << "\n"
      << converted;
  EXPECT_EQ(plan.porosity_file, name);
  EXPECT_EQ(plan.output, "out\\\\x\"y");

  write_file(dir + "/converted.toml", converted);
  const RunResult r = run_with_args(dir, "check converted.toml");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("from " + name), std::string::npos) << r.out;
}

}  // namespace
