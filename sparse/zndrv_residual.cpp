// Relative residual of a solution, the check every solve can print.
#include <cmath>

#include "sparse/zndrv.hpp"

namespace tp {

double zn_residual(const SparseRows& a, View1<cplx> z, View1<cplx> b) {
  double rr = 0.0, bb = 0.0;
  for (int i = 1; i <= a.n; ++i) {
    cplx s = 0.0;
    for (int e = a.ia(i); e < a.ia(i + 1); ++e) s += a.a(e) * z(a.ja(e));
    rr += std::norm(s - b(i));
    bb += std::norm(b(i));
  }
  return std::sqrt(rr / bb);
}

}  // namespace tp
