#include "converge/order.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tp {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

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
  bool shrinking = false;
  if (n >= 3) {
    const double e1 = f[n - 2] - f[n - 3];
    if (e1 == 0.0 && e2 == 0.0) {
      // The same value at three levels: nothing left to resolve.
      a.extrapolated = fine;
      a.error = 0.0;
      shrinking = true;
    } else {
      a.order = observed_order(e1, e2, h[n - 3] / h[n - 2], h[n - 2] / h[n - 1]);
      shrinking = !std::isnan(a.order);
      if (shrinking) {
        a.extrapolated = richardson(f[n - 2], fine, h[n - 2] / h[n - 1], a.order);
        a.error = std::fabs(a.extrapolated - fine);
      } else {
        a.error = std::max(std::fabs(e1), std::fabs(e2));
      }
    }
  }
  if (a.error <= a.tolerance)
    a.verdict = Verdict::kConverged;
  else if (n == 2)
    a.verdict = Verdict::kTooFewLevels;  // one change says nothing of its trend
  else
    a.verdict = shrinking ? Verdict::kConverging : Verdict::kNotAsymptotic;
  return a;
}

}  // namespace tp
