#pragma once
// The complex type of the program and the two operations whose rounding we
// fix: division by the scaled (Smith) method and the principal square root.
#include <complex>

namespace tp {

using cplx = std::complex<double>;

// a / b by Smith's method: divide through by the larger in magnitude of the
// divisor's two parts, so that no intermediate squares b and overflows or
// underflows needlessly. Every complex division of the program goes here.
cplx cdiv(const cplx& a, const cplx& b);

// Principal square root: real part >= 0, branch cut along the negative axis.
cplx csqrt(const cplx& z);

}  // namespace tp
