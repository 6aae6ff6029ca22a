// The program on decks that users get wrong: every deck line cut off,
// replaced by text, emptied, or given a value no run can use. Each must end
// with exit status 2 and a message naming the deck line and the value; no
// signal, hang, sanitizer report or normal end. Hundreds of decks are
// generated from the bundled examples, grouped by the kind of fault.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/input.hpp"
#include "deck/fields.hpp"
#include "reliability/reliability.hpp"

namespace {

using namespace tp::reliability;

enum class Fault { truncated, text, empty_line, not_finite, tiny, negative };

// What a deck line holds and which values the reader must refuse there.
enum class Form { free_int, fixed_int, real };
struct LineRule {
  Form form;
  bool zero_bad;      // 0 cannot give a run (or is outside the allowed range)
  bool negative_bad;  // a negative value cannot
  bool ice_stop;      // the ice-model check (stop 11) may come first
};

// The rule of deck line n from the field table: which of 0 and a negative
// value the reader must refuse there, given the example's head.
LineRule rule_of_line(const std::vector<std::string>& lines, int n, bool ice) {
  int nmat = 0, layer = 0;
  tp::parse_free_int(lines[8].c_str(), nmat);
  const tp::DeckField& f = *tp::deck_field_of_line(n, nmat, layer);
  tp::FieldContext ctx;
  tp::parse_free_int(lines[2].c_str(), ctx.n_freq);
  ctx.key_model = ice ? 0 : 1;
  ctx.layer = layer;
  const Form form = f.form == tp::FieldForm::i5         ? Form::fixed_int
                    : f.form == tp::FieldForm::free_int ? Form::free_int
                                                        : Form::real;
  // The ice-model check of phi_layer against phi_a comes before phi_a's range.
  const bool ice_stop = ice && std::string(f.name) == "phi_a";
  return {form, tp::refusing_rule(f, 0.0, ctx) != nullptr,
          tp::refusing_rule(f, -0.5, ctx) != nullptr, ice_stop};
}

struct Case {
  std::string deck;
  std::string words;  // what the message must say
  int line = 0;       // the deck line it must name (0: none in particular)
  bool ice_stop = false;
};

// One deck per line of the example that `fault` spoils there; lines where the
// fault still leaves a usable value (an empty eta reads 0) are skipped.
std::vector<Case> generate(const std::string& example, Fault fault) {
  const std::vector<std::string> lines = example_lines(example);
  const bool ice = example != "shaley_sand";
  const int n_lines = static_cast<int>(lines.size());
  std::vector<Case> cases;
  for (int n = 1; n <= n_lines; ++n) {
    const LineRule r = rule_of_line(lines, n, ice);
    const std::string field = field_of_line(n);
    // The readers' own messages call a head value "freq (line 1)".
    const std::string label = n <= 9 ? field + " (line " + std::to_string(n) + ")" : field;
    const bool is_int = r.form != Form::real;
    std::string text;
    Case c;
    c.line = n;
    switch (fault) {
      case Fault::truncated: {
        std::vector<std::string> head(lines.begin(), lines.begin() + (n - 1));
        c.deck = join_lines(head);
        c.line = 0;
        c.words =
            "the input ends after line " + std::to_string(n - 1) + ", before the value of " + field;
        cases.push_back(c);
        continue;
      }
      case Fault::text:
        text = "two";
        c.words = "expected for " + label + ", found \"two\"";
        break;
      case Fault::empty_line:
        if (r.form == Form::free_int || n <= 4) {
          c.line = 0;  // free form skips the empty line: every later value moves up
          c.words = "";
        } else if (r.zero_bad && r.form == Form::real) {
          c.words = field + " = 0 must be above 0";
          c.ice_stop = r.ice_stop;
        } else {
          continue;  // an empty fixed field reads 0, a usable value here
        }
        text = "";
        break;
      case Fault::not_finite: {
        // NaN, the infinities and a value beyond the doubles in turn, line
        // by line; the second deck starts the turn elsewhere.
        static const char* const texts[] = {"NaN", "Inf", "-Infinity", "1.0e999"};
        static const char* const shown[] = {"nan", "inf", "-inf", ""};
        const int v = (n + (ice ? 0 : 2)) % 4;
        text = v == 3 && is_int ? "99999999999" : texts[v];
        if (is_int) {
          c.words = "an integer expected for " + label;
          // A fixed 5 field sees only the first five columns.
          if (r.form == Form::fixed_int && v == 3)
            c.words = field + " = 99999 is outside the allowed range";
        } else if (v == 3) {
          c.words = "a real number expected for " + label;
        } else {
          c.words = field + " = " + shown[v] + " is not a finite number";
        }
        break;
      }
      case Fault::tiny:
        if (is_int || !r.zero_bad) continue;
        text = "1.0e-999";  // below the smallest double: reads 0
        c.words = field + " = 0 must be above 0";
        c.ice_stop = r.ice_stop;
        break;
      case Fault::negative:
        if (!r.negative_bad) continue;
        text = r.form == Form::fixed_int ? "   -1" : is_int ? "-1" : "-0.5";
        c.words = field + " = -";
        c.ice_stop = r.ice_stop;
        break;
    }
    std::vector<std::string> spoiled = lines;
    spoiled[n - 1] = text;
    c.deck = join_lines(spoiled);
    cases.push_back(c);
  }
  return cases;
}

struct Group {
  const char* example;
  Fault fault;
  const char* name;
};

class MalformedDeck : public ::testing::TestWithParam<Group> {};

TEST_P(MalformedDeck, EndsWithStatus2NamingTheLineAndValue) {
  const Group g = GetParam();
  const std::vector<Case> cases = generate(g.example, g.fault);
  ASSERT_FALSE(cases.empty());
  const std::string dir = example_dir(g.example);
  for (const Case& c : cases) {
    SCOPED_TRACE("line " + std::to_string(c.line) + ", expecting \"" + c.words + "\"");
    const RunResult o = run_program(dir, c.deck);
    const std::string why = unacceptable(o);
    ASSERT_EQ(why, "") << o.err;
    if (c.ice_stop && o.status == 11) {
      // Out-of-range porosity of the ice model can meet the ice check first.
      EXPECT_EQ(o.err, "STOP 11\n");
      EXPECT_NE(o.out.find(" Ice model, phi_a_m is smaller than phi_layer_m(i) "),
                std::string::npos);
      continue;
    }
    EXPECT_EQ(o.status, 2) << o.err;
    const std::string where =
        c.line > 0 ? "threephase: standard input, line " + std::to_string(c.line) + ": "
                   : "threephase: standard input";
    EXPECT_EQ(o.err.rfind(where, 0), 0u) << o.err;
    EXPECT_NE(o.err.find(c.words), std::string::npos) << o.err;
    // One message line, and no stop line claiming an end.
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
  }
}

constexpr Group kGroups[] = {
    {"permafrost", Fault::truncated, "permafrost_truncated"},
    {"fractal", Fault::truncated, "fractal_truncated"},
    {"permafrost", Fault::text, "permafrost_text"},
    {"permafrost", Fault::empty_line, "permafrost_empty_line"},
    {"shaley_sand", Fault::empty_line, "shaley_sand_empty_line"},
    {"permafrost", Fault::not_finite, "permafrost_not_finite"},
    {"shaley_sand", Fault::not_finite, "shaley_sand_not_finite"},
    {"shaley_sand", Fault::tiny, "shaley_sand_tiny"},
    {"permafrost", Fault::negative, "permafrost_negative"},
    {"shaley_sand", Fault::negative, "shaley_sand_negative"},
};

INSTANTIATE_TEST_SUITE_P(EveryLine, MalformedDeck, ::testing::ValuesIn(kGroups),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(MalformedDeck, AtLeastTwoHundredDecksAreTried) {
  std::size_t n = 0;
  for (const Group& g : kGroups) n += generate(g.example, g.fault).size();
  EXPECT_GE(n, 200u);
  std::printf("%zu generated decks\n", n);
}

}  // namespace
