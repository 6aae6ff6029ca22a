// Solve A^T z = b (plain transpose, no conjugation) with the factors already
// in the workspace: M^T = U^T L^T, so U^T forward by columns, then L^T
// backward with the pivots.
#include "sparse/zndrv.hpp"

namespace tp {

void znnt(const int& n, View1<std::int32_t> r, View1<std::int32_t> c, View1<std::int32_t> il,
          View1<std::int32_t> jl, View1<cplx> l, View1<cplx> d, View1<std::int32_t> iu,
          View1<std::int32_t> ju, View1<cplx> u, View1<cplx> z, View1<cplx> b,
          View1<cplx> tmp) {
  for (int k = 1; k <= n; ++k) tmp(k) = b(c(k));
  for (int k = 1; k <= n; ++k) {
    const cplx t = tmp(k);
    for (int p = iu(k); p < iu(k + 1); ++p) tmp(ju(p)) = tmp(ju(p)) - u(p) * t;
  }
  for (int k = n; k >= 1; --k) {
    const cplx t = tmp(k) * d(k);
    for (int p = il(k); p < il(k + 1); ++p) tmp(jl(p)) = tmp(jl(p)) - l(p) * t;
    z(r(k)) = t;
  }
}

}  // namespace tp
