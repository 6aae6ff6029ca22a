// The number grammar shared with the Python tools: every case of
// tests/common/number_cases.txt must read, through the reader's own
// parsers, as the file says. The Python test reads the same file, so the two
// readers cannot drift apart.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "common/input.hpp"
#include "support/testing.hpp"

namespace {

struct NumberCase {
  int line = 0;
  std::string form, expected, text;
};

// The text between the double quotes, with \t made a tab.
std::string unquoted(const std::string& quoted) {
  std::string s;
  for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
    if (quoted[i] == '\\' && quoted[i + 1] == 't') {
      s += '\t';
      ++i;
    } else {
      s += quoted[i];
    }
  }
  return s;
}

std::vector<NumberCase> number_cases() {
  std::vector<NumberCase> cases;
  const std::string path = tp::testing::source_path("tests/common/number_cases.txt");
  const auto lines = tp::testing::split_lines(tp::testing::read_file(path));
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string& l = lines[n];
    if (l.empty() || l[0] == '#') continue;
    NumberCase c;
    c.line = static_cast<int>(n + 1);
    const auto form_end = l.find(' ');
    const auto value_at = l.find_first_not_of(' ', form_end);
    const auto value_end = l.find(' ', value_at);
    const auto quote_at = l.find('"', value_end);
    c.form = l.substr(0, form_end);
    c.expected = l.substr(value_at, value_end - value_at);
    c.text = unquoted(l.substr(quote_at));
    cases.push_back(c);
  }
  return cases;
}

// Reads `text` in `form`; false when the reader refuses it.
bool read_in_form(const NumberCase& c, double& v) {
  const char* t = c.text.c_str();
  int n = 0;
  if (c.form == "free_real") return tp::parse_free_real(t, v);
  if (c.form == "f20") return tp::parse_fixed_real(t, 20, 10, v);
  if (c.form == "f12") return tp::parse_fixed_real(t, 12, 4, v);
  const bool ok = c.form == "i5" ? tp::parse_fixed_int(t, 5, n) : tp::parse_free_int(t, n);
  v = n;
  return ok;
}

TEST(NumberGrammar, EverySharedCaseReadsAsListed) {
  for (const NumberCase& c : number_cases()) {
    SCOPED_TRACE("number_cases.txt line " + std::to_string(c.line) + ": " + c.form + " \"" +
                 c.text + "\"");
    double v = -12345.0;
    const bool ok = read_in_form(c, v);
    if (c.expected == "error") {
      EXPECT_FALSE(ok) << "read as " << v;
      continue;
    }
    ASSERT_TRUE(ok);
    if (c.expected == "nan") {
      EXPECT_TRUE(std::isnan(v)) << v;
    } else {
      // strtod reads "inf" and "-inf" too; equality is exact.
      EXPECT_EQ(v, std::strtod(c.expected.c_str(), nullptr));
    }
  }
}

TEST(NumberGrammar, SharedFileCoversEveryFormWithValuesAndRefusals) {
  std::map<std::string, int> values, refusals;
  for (const NumberCase& c : number_cases()) {
    ++(c.expected == "error" ? refusals : values)[c.form];
  }
  for (const char* form : {"free_real", "free_int", "i5", "f20", "f12"}) {
    EXPECT_GE(values[form], 3) << form;
    EXPECT_GE(refusals[form], 1) << form;
  }
  EXPECT_EQ(values.size(), 5u) << "a form the test does not know";
}

}  // namespace
