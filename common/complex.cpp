#include "common/complex.hpp"

#include <cmath>

namespace tp {

cplx cdiv(const cplx& a, const cplx& b) {
  const double ar = a.real(), ai = a.imag();
  const double br = b.real(), bi = b.imag();
  if (std::fabs(br) >= std::fabs(bi)) {
    const double r = bi / br;
    const double den = br + bi * r;
    return {(ar + ai * r) / den, (ai - ar * r) / den};
  }
  const double r = br / bi;
  const double den = br * r + bi;
  return {(ar * r + ai) / den, (ai * r - ar) / den};
}

cplx csqrt(const cplx& z) { return std::sqrt(z); }

}  // namespace tp
