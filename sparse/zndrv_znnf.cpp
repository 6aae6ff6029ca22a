// Numeric LU factorization on the patterns of znsf, row by row, with the
// forward elimination of b inside it, then back substitution into z.
// flag 0, 4n+1 (l too short), 7n+1 (u too short) or 8n+k (zero pivot).
#include "sparse/zndrv.hpp"

namespace tp {

namespace {

// The real and imaginary parts of a complex word, in place.
inline double* parts(cplx& x) { return reinterpret_cast<double*>(&x); }
inline const double* parts(const cplx& x) { return reinterpret_cast<const double*>(&x); }

// x*y as (xr yr - xi yi, xr yi + xi yr), the rounding of std::complex
// multiplication, without its recovery branch for NaN results.
inline cplx mul(const cplx& x, const cplx& y) {
  const double* a = parts(x);
  const double* b = parts(y);
  return {a[0] * b[0] - a[1] * b[1], a[0] * b[1] + a[1] * b[0]};
}

}  // namespace

void znnf(const int& n, View1<std::int32_t> r, View1<std::int32_t> c, View1<std::int32_t> ic,
          View1<std::int32_t> ia, View1<std::int32_t> ja, View1<cplx> a, View1<cplx> z,
          View1<cplx> b, View1<std::int32_t> il, View1<std::int32_t> jl, View1<cplx> l,
          const int& lmax, View1<cplx> d, View1<std::int32_t> iu, View1<std::int32_t> ju,
          View1<cplx> u, const int& umax, View1<cplx> row, View1<cplx> tmp, int& flag) {
  if (lmax < il(n + 1) - 1) {
    flag = 4 * n + 1;
    return;
  }
  if (umax < iu(n + 1) - 1) {
    flag = 7 * n + 1;
    return;
  }

  double* rw = parts(row(1));              // column j at rw[2j-2], rw[2j-1]
  const double* uw = parts(u(1));          // u(t) at uw[2t-2], uw[2t-1]
  const std::int32_t* jup = &ju(1);       // ju(t) at jup[t-1]

  for (int k = 1; k <= n; ++k) {
    // Clear the dense row only on the pattern of row k.
    for (int t = il(k); t < il(k + 1); ++t) row(jl(t)) = 0.0;
    row(k) = 0.0;
    for (int t = iu(k); t < iu(k + 1); ++t) row(ju(t)) = 0.0;

    // Scatter row r(k) of A in the new column numbers.
    const int v = r(k);
    for (int e = ia(v); e < ia(v + 1); ++e) row(ic(ja(e))) = a(e);
    cplx s = b(v);

    // Eliminate with the earlier rows of U in ascending order; each
    // multiplier is the entry of L, and it also updates the right-hand side.
    // The inner loop, where nearly all the time goes, works on the parts of
    // the complex words directly, with the loop bounds read once.
    for (int t = il(k); t < il(k + 1); ++t) {
      const int j = jl(t);
      const cplx x = row(j);
      l(t) = x;
      const double xr = parts(x)[0];
      const double xi = parts(x)[1];
      const int first = iu(j);
      const int last = iu(j + 1) - 1;
      for (int tu = first; tu <= last; ++tu) {
        double* w = rw + 2 * (jup[tu - 1] - 1);
        const double ur = uw[2 * tu - 2];
        const double ui = uw[2 * tu - 1];
        const double pr = xr * ur - xi * ui;
        const double pi = xr * ui + xi * ur;
        w[0] = w[0] - pr;
        w[1] = w[1] - pi;
      }
      s = s - mul(x, tmp(j));
    }

    // No pivoting: only an exactly zero pivot stops the factorization.
    const cplx pivot = row(k);
    if (pivot.real() == 0.0 && pivot.imag() == 0.0) {
      flag = 8 * n + k;
      return;
    }
    const cplx dk = cdiv(cplx(1.0, 0.0), pivot);
    d(k) = dk;
    tmp(k) = mul(s, dk);
    for (int t = iu(k); t < iu(k + 1); ++t) u(t) = mul(row(ju(t)), dk);
  }

  zn_back_substitution(n, c, iu, ju, u, z, tmp);
  flag = 0;
}

}  // namespace tp
