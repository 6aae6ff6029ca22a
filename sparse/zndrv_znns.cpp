// Solve A z = b with the factors already in the workspace: forward
// elimination with L and its pivots, then back substitution with U.
#include "sparse/zn_complex.hpp"
#include "sparse/zndrv.hpp"

namespace tp {

void zn_back_substitution(const int& n, View1<std::int32_t> c, View1<std::int32_t> iu,
                          View1<std::int32_t> ju, View1<cplx> u, View1<cplx> z,
                          View1<cplx> tmp) {
  for (int k = n; k >= 1; --k) {
    cplx s = tmp(k);
    for (int t = iu(k); t < iu(k + 1); ++t) s = s - zn_mul(u(t), tmp(ju(t)));
    tmp(k) = s;
    z(c(k)) = s;
  }
}

void znns(const int& n, View1<std::int32_t> r, View1<std::int32_t> c, View1<std::int32_t> il,
          View1<std::int32_t> jl, View1<cplx> l, View1<cplx> d, View1<std::int32_t> iu,
          View1<std::int32_t> ju, View1<cplx> u, View1<cplx> z, View1<cplx> b,
          View1<cplx> tmp) {
  for (int k = 1; k <= n; ++k) {
    cplx s = b(r(k));
    for (int t = il(k); t < il(k + 1); ++t) s = s - zn_mul(l(t), tmp(jl(t)));
    tmp(k) = zn_mul(s, d(k));
  }
  zn_back_substitution(n, c, iu, ju, u, z, tmp);
}

}  // namespace tp
