#include "planewave/small_linalg.hpp"

#include <cmath>
#include <limits>

namespace tp {

namespace {

// Plane rotation G = [c, s; -conj(s), c] (c real, |c|^2 + |s|^2 = 1) with
// G (x, y)^T = (r, 0)^T.
void rotation(const cplx& x, const cplx& y, double& c, cplx& s) {
  const double ax = std::abs(x), ay = std::abs(y);
  if (ay == 0.0) {
    c = 1.0;
    s = 0.0;
    return;
  }
  if (ax == 0.0) {
    c = 0.0;
    s = cdiv(std::conj(y), cplx(ay, 0.0));
    return;
  }
  const double nrm = std::hypot(ax, ay);
  c = ax / nrm;
  s = cdiv(x, cplx(ax, 0.0)) * cdiv(std::conj(y), cplx(nrm, 0.0));
}

// Rows r1, r2 of h, columns lo..hi, replaced by G times them.
void rotate_rows(Cmat3& h, int r1, int r2, int lo, int hi, double c, const cplx& s) {
  for (int col = lo; col <= hi; ++col) {
    const cplx x = h(r1, col), y = h(r2, col);
    h(r1, col) = c * x + s * y;
    h(r2, col) = -std::conj(s) * x + c * y;
  }
}

// Columns c1, c2 of h, rows lo..hi, replaced by them times G^H.
void rotate_cols(Cmat3& h, int c1, int c2, int lo, int hi, double c, const cplx& s) {
  for (int row = lo; row <= hi; ++row) {
    const cplx x = h(row, c1), y = h(row, c2);
    h(row, c1) = c * x + std::conj(s) * y;
    h(row, c2) = -s * x + c * y;
  }
}

// Eigenvalue of the 2 by 2 block [a b; c d] nearer to d (Wilkinson's shift),
// in the form d - bc/(p + r) that does not cancel when the two differ widely.
cplx wilkinson_shift(const cplx& a, const cplx& b, const cplx& c, const cplx& d) {
  const cplx p = 0.5 * (a - d);
  cplx r = csqrt(p * p + b * c);
  if ((std::conj(p) * r).real() < 0.0) r = -r;
  const cplx den = p + r;
  if (den == cplx(0.0, 0.0)) return d;
  return d - cdiv(b * c, den);
}

// Eigenvalues of s by reduction to Hessenberg form and single-shift QR
// iteration, each step a unitary similarity, so the eigenvalues are those of
// a matrix within a few rounding errors of s in norm: each eigenvalue is off
// by a few eps |s| at most, which the roots of the characteristic polynomial
// are not. False if the iteration does not settle (non-finite entries).
bool qr_eigenvalues(const Cmat3& s, cplx ev[3]) {
  constexpr double eps = std::numeric_limits<double>::epsilon();
  constexpr int kMaxSteps = 30;
  Cmat3 h = s;
  double c;
  cplx sn;
  rotation(h(2, 1), h(3, 1), c, sn);
  rotate_rows(h, 2, 3, 1, 3, c, sn);
  rotate_cols(h, 2, 3, 1, 3, c, sn);
  h(3, 1) = 0.0;

  int hi = 3, steps = 0;
  while (hi >= 1) {
    // The active block is lo..hi: the last negligible subdiagonal splits it.
    int lo = hi;
    while (lo > 1) {
      const double sub = std::abs(h(lo, lo - 1));
      double tst = std::abs(h(lo - 1, lo - 1)) + std::abs(h(lo, lo));
      if (tst == 0.0) tst = std::abs(h(lo - 1, lo)) + std::abs(h(lo, lo - 1));
      if (sub <= eps * tst) {
        h(lo, lo - 1) = 0.0;
        break;
      }
      --lo;
    }
    if (lo == hi) {
      ev[hi - 1] = h(hi, hi);
      --hi;
      steps = 0;
      continue;
    }
    if (++steps > kMaxSteps) return false;
    cplx mu = wilkinson_shift(h(hi - 1, hi - 1), h(hi - 1, hi), h(hi, hi - 1), h(hi, hi));
    // An exceptional shift breaks the rare cycles of the plain one.
    if (steps % 10 == 0) mu = h(hi, hi) + 0.75 * std::abs(h(hi, hi - 1).real());

    // One QR step on the block: H - mu I = QR, H <- RQ + mu I. Only the
    // block matters for its eigenvalues, so the rest is left as it is.
    double cs[2];
    cplx ss[2];
    for (int i = lo; i <= hi; ++i) h(i, i) -= mu;
    for (int k = lo; k < hi; ++k) {
      rotation(h(k, k), h(k + 1, k), cs[k - lo], ss[k - lo]);
      rotate_rows(h, k, k + 1, k, hi, cs[k - lo], ss[k - lo]);
      h(k + 1, k) = 0.0;
    }
    for (int k = lo; k < hi; ++k) rotate_cols(h, k, k + 1, lo, k + 1, cs[k - lo], ss[k - lo]);
    for (int i = lo; i <= hi; ++i) h(i, i) += mu;
  }
  return true;
}

// Double-double numbers (an unevaluated sum hi + lo) carry about 32 digits,
// enough to evaluate det(S - lam I) without losing the small eigenvalues.
struct Dd {
  double hi, lo;
};

Dd quick_two_sum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

Dd dd_add(const Dd& a, const Dd& b) {
  const double s = a.hi + b.hi;
  const double bb = s - a.hi;
  const double err = (a.hi - (s - bb)) + (b.hi - bb);
  return quick_two_sum(s, err + a.lo + b.lo);
}

Dd dd_neg(const Dd& a) { return {-a.hi, -a.lo}; }

Dd dd_mul(const Dd& a, const Dd& b) {
  const double p = a.hi * b.hi;
  const double err = std::fma(a.hi, b.hi, -p) + (a.hi * b.lo + a.lo * b.hi);
  return quick_two_sum(p, err);
}

struct Cdd {
  Dd re, im;
};

Cdd operator+(const Cdd& a, const Cdd& b) { return {dd_add(a.re, b.re), dd_add(a.im, b.im)}; }
Cdd operator-(const Cdd& a, const Cdd& b) {
  return {dd_add(a.re, dd_neg(b.re)), dd_add(a.im, dd_neg(b.im))};
}
Cdd operator*(const Cdd& a, const Cdd& b) {
  return {dd_add(dd_mul(a.re, b.re), dd_neg(dd_mul(a.im, b.im))),
          dd_add(dd_mul(a.re, b.im), dd_mul(a.im, b.re))};
}

// det(s - lam I) in double-double, expanded along the first row.
cplx shifted_det(const Cmat3& s, const cplx& lam) {
  Cdd d[3][3];
  for (int c = 1; c <= 3; ++c)
    for (int r = 1; r <= 3; ++r) {
      d[r - 1][c - 1] = {{s(r, c).real(), 0.0}, {s(r, c).imag(), 0.0}};
      if (r == c) d[r - 1][c - 1] = d[r - 1][c - 1] - Cdd{{lam.real(), 0.0}, {lam.imag(), 0.0}};
    }
  const Cdd det = d[0][0] * (d[1][1] * d[2][2] - d[1][2] * d[2][1]) -
                  d[0][1] * (d[1][0] * d[2][2] - d[1][2] * d[2][0]) +
                  d[0][2] * (d[1][0] * d[2][1] - d[1][1] * d[2][0]);
  return {det.re.hi, det.im.hi};
}

// Newton steps on det(s - x I) = -(x - lam1)(x - lam2)(x - lam3) from each
// estimate, the determinant carried in double-double (about 32 digits). QR
// leaves an error of a few rounding errors of |s| in every eigenvalue; when
// the eigenvalues differ by many orders of magnitude, as the squared
// slownesses do at seismic frequencies, that is the size of the small one's
// whole imaginary part. These steps give the eigenvalues of s itself. A step
// that does not reduce the determinant is not taken, so a multiple
// eigenvalue stays as it came.
void refine_eigenvalues(const Cmat3& s, Table1<cplx, 3>& lam) {
  for (int i = 1; i <= 3; ++i) {
    cplx x = lam(i);
    cplx f = shifted_det(s, x);
    for (int step = 0; step < 4; ++step) {
      cplx slope(-1.0, 0.0);
      for (int k = 1; k <= 3; ++k)
        if (k != i) slope *= x - lam(k);
      if (!(std::abs(slope) > 0.0) || !std::isfinite(std::abs(slope))) break;
      const cplx next = x - cdiv(f, slope);
      if (next == x) break;
      const cplx f_next = shifted_det(s, next);
      if (!(std::abs(f_next) < std::abs(f))) break;
      x = next;
      f = f_next;
    }
    lam(i) = x;
  }
}

}  // namespace

void cubeq2(const cplx& a, const cplx& b, const cplx& c, const cplx& d, cplx& x1, cplx& x2,
            cplx& x3) {
  const cplx three(3.0, 0.0), two(2.0, 0.0);
  const double two_pi_3 = 2.0943951023931953;
  // Shift x = y - beta to the depressed cubic y^3 + p y + q = 0.
  const cplx beta = cdiv(cdiv(b, three), a);
  const cplx p = cdiv(c, a) - cdiv(b, a) * beta;
  const cplx beta3 = beta * beta * beta;
  const cplx a2 = a * a;
  const cplx q = 2.0 * beta3 - b * cdiv(cdiv(c, three), a2) + cdiv(d, a);
  const cplx q2 = cdiv(q, two);
  const cplx p3 = cdiv(p, three);
  const cplx disc = q2 * q2 + p3 * p3 * p3;
  const cplx w = -q2 + csqrt(disc);
  // The three cube roots u_k of w, and y = u - p/(3u) for each.
  const double r = std::pow(std::abs(w), 1.0 / 3.0);
  double theta[3];
  theta[0] = std::atan2(w.imag(), w.real()) / 3.0;
  theta[1] = theta[0] + two_pi_3;
  theta[2] = theta[1] + two_pi_3;
  cplx x[3];
  for (int k = 0; k < 3; ++k) {
    const cplx u = r * cplx(std::cos(theta[k]), std::sin(theta[k]));
    // (cos t, sin(-t))/r is 1/u; sin(-t) is taken as it comes, not as -sin t.
    const cplx inv_u_r = cplx(std::cos(theta[k]), std::sin(-theta[k]));
    x[k] = u - cdiv(p * inv_u_r, cplx(3.0 * r, 0.0)) - beta;
  }
  x1 = x[0];
  x2 = x[1];
  x3 = x[2];
}

void cautov(const Cmat3& s, Table1<cplx, 3>& lam) {
  // Cardano's roots of the characteristic polynomial fix the order in which
  // the eigenvalues are returned (the caller reads the third as the third
  // compressional wave); their values lose the small eigenvalues' imaginary
  // parts to cancellation when the eigenvalues differ by orders of magnitude,
  // as at seismic frequencies, so the values come from QR iteration, then
  // Newton steps on the determinant carried in double-double.
  const cplx t = s(1, 1) + s(2, 2) + s(3, 3);
  const cplx m = s(1, 1) * s(2, 2) + s(1, 1) * s(3, 3) + s(2, 2) * s(3, 3) - s(1, 2) * s(2, 1) -
                 s(1, 3) * s(3, 1) - s(2, 3) * s(3, 2);
  const cplx det = s(1, 1) * (s(2, 2) * s(3, 3) - s(2, 3) * s(3, 2)) -
                   s(1, 2) * (s(2, 1) * s(3, 3) - s(2, 3) * s(3, 1)) +
                   s(1, 3) * (s(2, 1) * s(3, 2) - s(2, 2) * s(3, 1));
  cplx root[3];
  cubeq2(cplx(1.0, 0.0), -t, m, -det, root[0], root[1], root[2]);

  cplx ev[3];
  if (!qr_eigenvalues(s, ev)) {
    for (int i = 1; i <= 3; ++i) lam(i) = root[i - 1];
    return;
  }
  // Each eigenvalue takes the slot of its Cardano root: the assignment of
  // least total distance (the first found on a tie).
  static constexpr int perm[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                     {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  int best = 0;
  double best_cost = 0.0;
  for (int n = 0; n < 6; ++n) {
    double cost = 0.0;
    for (int i = 0; i < 3; ++i) cost += std::abs(ev[perm[n][i]] - root[i]);
    if (n == 0 || cost < best_cost) {
      best = n;
      best_cost = cost;
    }
  }
  for (int i = 1; i <= 3; ++i) lam(i) = ev[perm[best][i - 1]];
  refine_eigenvalues(s, lam);
}

void c_invert(const int& n, Cmat5& a) {
  const cplx one(1.0, 0.0), zero(0.0, 0.0);
  cplx g[5], hrow[5];
  a(1, 1) = cdiv(one, a(1, 1));
  // Grow the inverse one order at a time: with B^-1 in the leading block,
  // the bordered matrix [B c; r e] has the inverse
  // [B^-1 + delta g h, -delta g; -delta h, delta], g = B^-1 c, h = r B^-1,
  // delta = 1/(e - r g).
  for (int i = 2; i <= n; ++i) {
    for (int k = 1; k < i; ++k) {
      cplx sum = zero;
      for (int f = 1; f < i; ++f) sum += a(k, f) * a(f, i);
      g[k - 1] = sum;
    }
    cplx sigma = zero;
    for (int f = 1; f < i; ++f) sigma += a(i, f) * g[f - 1];
    const cplx delta = cdiv(one, a(i, i) - sigma);
    a(i, i) = delta;
    for (int f = 1; f < i; ++f) a(f, i) = -g[f - 1] * delta;
    for (int k = 1; k < i; ++k) {
      cplx sum = zero;
      for (int f = 1; f < i; ++f) sum += a(i, f) * a(f, k);
      hrow[k - 1] = sum;
    }
    for (int f = 1; f < i; ++f) a(i, f) = -hrow[f - 1] * delta;
    for (int l = 1; l < i; ++l)
      for (int m = 1; m < i; ++m) a(l, m) = a(l, m) - g[l - 1] * a(i, m);
  }
}

}  // namespace tp
