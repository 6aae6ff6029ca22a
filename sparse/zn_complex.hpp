#pragma once
// Complex products of the factorization and the solves, written on the
// parts: (xr yr - xi yi, xr yi + xi yr) rounds exactly as the library
// product does for finite values, without its recovery branch for NaN
// results, which keeps the hot loops short.
#include "common/complex.hpp"

namespace tp {

inline double* zn_parts(cplx& x) { return reinterpret_cast<double*>(&x); }
inline const double* zn_parts(const cplx& x) { return reinterpret_cast<const double*>(&x); }

inline cplx zn_mul(const cplx& x, const cplx& y) {
  const double* a = zn_parts(x);
  const double* b = zn_parts(y);
  return {a[0] * b[0] - a[1] * b[1], a[0] * b[1] + a[1] * b[0]};
}

}  // namespace tp
