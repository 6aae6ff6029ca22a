// Solve A^T z = b (plain transpose, no conjugation) with the factors:
// M^T = U^T L^T, so U^T forward by columns, then L^T backward with the
// pivots.
#include "sparse/zndrv.hpp"

namespace tp {

void znnt(SparseFactor &f, View1<cplx> b, View1<cplx> z) {
  const int n = f.n;
  const auto &r = f.r, &c = f.c, &il = f.il, &jl = f.jl, &iu = f.iu, &ju = f.ju;
  const auto &l = f.l, &d = f.d, &u = f.u, &tmp = f.tmp;
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
