#include "converge/order.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tp {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Changes below this share of the tolerance are no change: a velocity
// rounded to 1e-9 of itself, a 1000/Q to 1e-6, lie far below it, and an
// order taken from them would be one of the rounding.
constexpr double kNoChange = 1e-3;

}  // namespace

// No name holds a comma: converge.csv writes it unquoted.
const char* verdict_name(Verdict v) {
  switch (v) {
    case Verdict::kConverged:
      return "converged";
    case Verdict::kConverging:
      return "converging";
    case Verdict::kNotAsymptotic:
      return "not yet in the asymptotic range";
    case Verdict::kTooFewLevels:
      return "too few levels";
    case Verdict::kUnchanged:
      return "converged (no order: unchanged with the grid)";
    case Verdict::kWithinTwoLevels:
      return "within tolerance (no order: two levels)";
    case Verdict::kWithinSwinging:
      return "within tolerance (no order: changes swing or grow)";
  }
  return "";
}

double observed_order(double e1, double e2, double r21, double r32) {
  if (!(e1 != 0.0 && e2 / e1 > 0.0 && std::fabs(e2) < std::fabs(e1))) return kNaN;
  // With f = f0 + C h^p, e1 / e2 = r32^p (r21^p - 1) / (r32^p - 1): the
  // fixed point of p = (log(e1/e2) + log((r32^p - 1)/(r21^p - 1))) / log r32;
  // with equal ratios the correction vanishes and the first value stands.
  const double lr = std::log(r32);
  const double le = std::log(e1 / e2);
  double p = le / lr;
  for (int it = 0; it < 200 && r21 != r32; ++it) {
    const double next = (le + std::log((std::pow(r32, p) - 1.0) / (std::pow(r21, p) - 1.0))) / lr;
    if (!std::isfinite(next)) return kNaN;
    if (std::fabs(next - p) <= 1e-12 * std::fabs(p)) {
      p = next;
      break;
    }
    p = next;
  }
  // Differences that shrink less than the cells do are no convergence.
  return p > 0.0 ? p : kNaN;
}

double richardson(double f_coarse, double f_fine, double r, double p) {
  return f_fine + (f_fine - f_coarse) / (std::pow(r, p) - 1.0);
}

namespace {

// The verdict of a value whose error is known: with an order, converged or
// converging; without one, within the tolerance says why there is no order.
Verdict verdict_of(const Assessment& a, int n, bool has_order) {
  if (a.error <= a.tolerance)
    return n == 2      ? Verdict::kWithinTwoLevels
           : has_order ? Verdict::kConverged
                       : Verdict::kWithinSwinging;
  if (n == 2) return Verdict::kTooFewLevels;  // one change says nothing of its trend
  return has_order ? Verdict::kConverging : Verdict::kNotAsymptotic;
}

}  // namespace

Assessment assess(const double* h, const double* f, int n, const Tolerance& tol) {
  Assessment a;
  a.order = kNaN;
  a.extrapolated = kNaN;
  a.error = kNaN;
  if (n < 1) return a;
  const double fine = f[n - 1];
  a.tolerance = std::max(tol.rel * std::fabs(fine), tol.floor);
  if (n < 2) return a;
  const double e2 = f[n - 1] - f[n - 2];
  a.error = std::fabs(e2);
  if (n == 2) {
    a.verdict = verdict_of(a, n, false);
    return a;
  }
  const double e1 = f[n - 2] - f[n - 3];
  const double largest = std::max(std::fabs(e1), std::fabs(e2));
  if (largest <= kNoChange * a.tolerance) {
    // The same value at three levels, to rounding: nothing left to resolve.
    a.extrapolated = fine;
    a.error = largest;
    a.verdict = Verdict::kUnchanged;
    return a;
  }
  a.order = observed_order(e1, e2, h[n - 3] / h[n - 2], h[n - 2] / h[n - 1]);
  const bool has_order = !std::isnan(a.order);
  if (has_order) {
    a.extrapolated = richardson(f[n - 2], fine, h[n - 2] / h[n - 1], a.order);
    a.error = std::fabs(a.extrapolated - fine);
  } else {
    a.error = largest;
  }
  a.verdict = verdict_of(a, n, has_order);
  return a;
}

}  // namespace tp
