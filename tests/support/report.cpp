#include "support/report.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>

#include "support/testing.hpp"

namespace tp::testing {

std::string report_text(const std::string& report, const std::string& label) {
  const auto last = label.find_last_not_of(' ');
  const bool has_equals = last != std::string::npos && label[last] == '=';
  for (const auto& line : split_lines(report)) {
    const auto at = line.find_first_not_of(' ');
    if (at == std::string::npos || line.compare(at, label.size(), label) != 0) continue;
    std::string rest = line.substr(at + label.size());
    if (!has_equals) {
      const auto eq = rest.find('=');
      rest = eq == std::string::npos ? rest : rest.substr(eq + 1);
    }
    return rest;
  }
  return "";
}

std::string report_value(const std::string& report, const std::string& label) {
  std::istringstream rest(report_text(report, label));
  std::string value;
  if (rest >> value) return value;
  return "<no line " + label + ">";
}

std::vector<double> report_numbers(const std::string& report, const std::string& label) {
  std::istringstream rest(report_text(report, label));
  std::vector<double> values;
  double v = 0.0;
  while (rest >> v) values.push_back(v);
  return values;
}

double report_number(const std::string& report, const std::string& label) {
  const std::vector<double> v = report_numbers(report, label);
  return v.empty() ? std::nan("") : v[0];
}

std::string without_running_time(const std::string& text) {
  static const std::regex kTime(R"((^|\n) running time=[^\n]*)");
  return std::regex_replace(text, kTime, "$1 running time=<hours>");
}

namespace {

const std::regex kNumber(R"([-+]?(?:\d+\.?\d*|\.\d+)(?:[EeDd][-+]?\d+)?|NaN|-?Infinity)");

bool close_numbers(const std::string& a, const std::string& b, double rel_tol) {
  if (a == b) return true;
  const double x = std::strtod(a.c_str(), nullptr);
  const double y = std::strtod(b.c_str(), nullptr);
  return std::fabs(x - y) <= rel_tol * std::max(std::fabs(x), std::fabs(y));
}

}  // namespace

std::string compare_line(const std::string& want, const std::string& got, double rel_tol) {
  auto wi = std::sregex_iterator(want.begin(), want.end(), kNumber);
  auto gi = std::sregex_iterator(got.begin(), got.end(), kNumber);
  const std::sregex_iterator end;
  std::size_t wpos = 0, gpos = 0;
  for (; wi != end && gi != end; ++wi, ++gi) {
    if (want.substr(wpos, wi->position() - wpos) != got.substr(gpos, gi->position() - gpos)) {
      return "text differs";
    }
    if (!close_numbers(wi->str(), gi->str(), rel_tol)) {
      return "number " + wi->str() + " vs " + gi->str();
    }
    wpos = wi->position() + wi->length();
    gpos = gi->position() + gi->length();
  }
  if (wi != end || gi != end) return "count of numbers differs";
  if (want.substr(wpos) != got.substr(gpos)) return "text differs";
  return "";
}

void expect_same_text(const std::string& what, const std::string& want, const std::string& got,
                      double rel_tol) {
  const auto w = split_lines(without_running_time(want));
  const auto g = split_lines(without_running_time(got));
  EXPECT_EQ(w.size(), g.size()) << what << ": line count";
  int reported = 0;
  for (std::size_t i = 0; i < std::min(w.size(), g.size()) && reported < 5; ++i) {
    const std::string diff = compare_line(w[i], g[i], rel_tol);
    if (!diff.empty()) {
      ADD_FAILURE() << what << " line " << i + 1 << ": " << diff << "\n  want: [" << w[i]
                    << "]\n  got:  [" << g[i] << "]";
      ++reported;
    }
  }
  EXPECT_EQ(want.empty() || want.back() == '\n', got.empty() || got.back() == '\n')
      << what << ": final end of line";
}

}  // namespace tp::testing
