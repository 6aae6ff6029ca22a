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
    for (int t = il(k); t < il(k + 1); ++t) {
      const int j = jl(t);
      const cplx x = row(j);
      l(t) = x;
      const double xr = parts(x)[0];
      const double xi = parts(x)[1];
      for (int tu = iu(j); tu < iu(j + 1); ++tu) {
        double* w = parts(row(ju(tu)));
        const double* f = parts(u(tu));
        const double pr = xr * f[0] - xi * f[1];
        const double pi = xr * f[1] + xi * f[0];
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
