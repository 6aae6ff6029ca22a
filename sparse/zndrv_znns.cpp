// Solve A z = b with the factors: forward elimination with L and its
// pivots, then back substitution with U. Each entry takes its updates in
// ascending column order, as the factorization's rows took theirs.
#include "sparse/zn_complex.hpp"
#include "sparse/zndrv.hpp"

namespace tp {

void znns(SparseFactor &f, View1<cplx> b, View1<cplx> z) {
  const int n = f.n;
  const auto &r = f.r, &c = f.c, &il = f.il, &jl = f.jl, &iu = f.iu, &ju = f.ju;
  const auto &l = f.l, &d = f.d, &u = f.u, &tmp = f.tmp;
  for (int k = 1; k <= n; ++k) {
    cplx s = b(r(k));
    for (int t = il(k); t < il(k + 1); ++t) s = s - zn_mul(l(t), tmp(jl(t)));
    tmp(k) = zn_mul(s, d(k));
  }
  for (int k = n; k >= 1; --k) {
    cplx s = tmp(k);
    for (int t = iu(k); t < iu(k + 1); ++t) s = s - zn_mul(u(t), tmp(ju(t)));
    tmp(k) = s;
    z(c(k)) = s;
  }
}

}  // namespace tp
