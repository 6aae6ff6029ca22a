#include "deck/frequencies.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace tp {

namespace {

bool positive_number(const std::string& text, double& v) {
  char* end = nullptr;
  errno = 0;
  v = std::strtod(text.c_str(), &end);
  return !text.empty() && end == text.c_str() + text.size() && errno == 0 && std::isfinite(v) &&
         v > 0.0;
}

}  // namespace

bool parse_frequencies(const std::string& text, std::vector<double>& f, std::string& why) {
  f.clear();
  const std::size_t colon = text.find(':');
  if (colon != std::string::npos) {
    const std::size_t second = text.find(':', colon + 1);
    double lo = 0.0, hi = 0.0, n = 0.0;
    if (second == std::string::npos || !positive_number(text.substr(0, colon), lo) ||
        !positive_number(text.substr(colon + 1, second - colon - 1), hi) ||
        !positive_number(text.substr(second + 1), n) || n != std::floor(n) || n > 100000) {
      why = "a range is FMIN:FMAX:N with positive FMIN <= FMAX (Hz) and a whole N >= 1";
      return false;
    }
    if (hi < lo) {
      why = "FMAX is below FMIN";
      return false;
    }
    f = log_frequencies(lo, hi, static_cast<int>(n));
    return true;
  }
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    double v = 0.0;
    if (!positive_number(text.substr(at, comma - at), v)) {
      // Appended piece by piece: g++ 12 warns (falsely) of an overlap in the
      // concatenation of a literal with a substring.
      why.assign(1, '\'');
      why.append(text, at, comma - at);
      why.append("' is not a positive frequency in Hz");
      f.clear();
      return false;
    }
    f.push_back(v);
    at = comma + 1;
  }
  return true;
}

std::vector<double> log_frequencies(double fmin, double fmax, int n) {
  std::vector<double> f;
  if (n == 1) return {fmin};
  const double step = (std::log10(fmax) - std::log10(fmin)) / (n - 1);
  for (int i = 0; i < n; ++i) f.push_back(std::pow(10.0, std::log10(fmin) + i * step));
  f.back() = fmax;
  f.front() = fmin;
  return f;
}

}  // namespace tp
