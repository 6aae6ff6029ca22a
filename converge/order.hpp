#pragma once
// How a result changes as the grid refines: the observed order of
// convergence, the Richardson-extrapolated value with an error estimate, and
// a verdict. A discretisation error that behaves as C h^p makes successive
// differences shrink by (h_coarse / h_fine)^p; the observed p, and the
// extrapolation it allows, hold only once the grid is fine enough for that
// one term to dominate (the asymptotic range), which differences of one
// sign that shrink from level to level are the visible sign of.

namespace tp {

// Converged is said only with an observed order; a value within the
// tolerance without one says why there is none.
enum class Verdict {
  kConverged,        // an observed order, and the finest value within the tolerance of the limit
  kConverging,       // differences of one sign shrink, but not yet within it
  kNotAsymptotic,    // differences change sign or do not shrink
  kTooFewLevels,     // one level, or two whose change is above the tolerance
  kUnchanged,        // the changes are below a thousandth of the tolerance: no grid dependence
  kWithinTwoLevels,  // two levels whose change is within the tolerance: no order from one change
  kWithinSwinging,   // within the tolerance, but the changes swing or grow: no order
};

// Words for the verdict, as the table prints them.
const char* verdict_name(Verdict v);

// Observed order p from three levels coarse to fine with differences
// e1 = f2 - f1 and e2 = f3 - f2 on grid ratios r21 = h1/h2, r32 = h2/h3:
// p = log(e1 / e2) / log(r) for equal ratios r; for unequal ones
// (log(e1 / e2) + log((r32^p - 1) / (r21^p - 1))) / log(r32), by fixed-point
// iteration. NaN when e1, e2 are not of one sign with |e2| < |e1|, or
// when p comes out not positive (uneven ratios: differences that shrink
// less than the cells).
double observed_order(double e1, double e2, double r21, double r32);

// The value at h -> 0 of a sequence converging with order p, from the two
// finest values on grid ratio r = h_coarse / h_fine:
// f_fine + (f_fine - f_coarse) / (r^p - 1).
double richardson(double f_coarse, double f_fine, double r, double p);

// What the study says about one result.
struct Assessment {
  double order = 0;         // observed p of the three finest levels (NaN if none)
  double extrapolated = 0;  // Richardson value (NaN without an order)
  double error = 0;         // estimated error of the finest value
  double tolerance = 0;     // the error allowed
  Verdict verdict = Verdict::kTooFewLevels;
};

// The tolerance of a result: rel |f| of the finest value, but not below
// `floor` (for a value near zero, such as 1000/Q of an almost lossless
// sample, whose relative change says nothing).
struct Tolerance {
  double rel = 0.01;
  double floor = 0.0;
};

// Assesses f[0..n-1] on cells of side h[0..n-1], coarse to fine. The error
// is |extrapolated - f_fine| with an order, else the last change |f_n -
// f_n-1| (three levels without an order: the larger of the last two
// changes). Converged when there is an order and the error is within the
// tolerance; without an order a value within it is unchanged (both changes
// below a thousandth of the tolerance, where an order would be one of the
// rounding), within it at two levels, or within it with changes that swing.
Assessment assess(const double* h, const double* f, int n, const Tolerance& tol);

}  // namespace tp
