#pragma once
// Small complex linear algebra of the plane-wave analysis: the roots of a
// complex cubic in closed form, the eigenvalues of a 3 by 3 complex matrix,
// and the in-place inverse of a complex matrix of order at most 5.
#include "common/complex.hpp"
#include "common/tables.hpp"

namespace tp {

using Cmat3 = Table2<cplx, 3, 3>;  // s(1..3, 1..3), by columns
using Cmat5 = Table2<cplx, 5, 5>;  // a(1..5, 1..5), by columns; order n <= 5 in use

// Roots of a x^3 + b x^2 + c x + d = 0 by Cardano's formula, written to
// x1, x2, x3 in the fixed order of the three cube roots (k = 0, 1, 2).
// Non-finite when a = 0 or when the shifted cubic degenerates (w = 0).
void cubeq2(const cplx& a, const cplx& b, const cplx& c, const cplx& d, cplx& x1, cplx& x2,
            cplx& x3);

// The three eigenvalues of s, in the slots of the roots that cubeq2 gives for
// its characteristic polynomial. s is left unchanged.
void cautov(const Cmat3& s, Table1<cplx, 3>& lam);

// Inverse of the leading n by n block of a (1 <= n <= 5), in place, by
// bordering without pivoting. Nothing outside that block is read or written.
// A singular leading block gives non-finite entries.
void c_invert(const int& n, Cmat5& a);

}  // namespace tp
