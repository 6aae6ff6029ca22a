#pragma once
// The mean strains of one cell from its 20 local unknowns (the local order
// of global_numbering): bilinear displacements give strains linear across
// the cell, whose means are their values at its centre.
#include "common/complex.hpp"
#include "common/tables.hpp"

namespace tp {

// The solution at the 20 local unknowns of one cell, Z(1..20).
struct CellSolution {
  cplx v[20];
  const cplx& operator()(int l) const { return v[l - 1]; }
};

inline CellSolution gather(const UnknownVector& z, const XnodTable& xnod, int e) {
  CellSolution c;
  for (int l = 1; l <= 20; ++l) c.v[l - 1] = z(xnod(e, l));
  return c;
}

// Mean y derivative of a y displacement over the cell, from its lower
// corners (slots lo, lo+1) and upper corners (slots lo+2, lo+3).
inline cplx y_strain(const CellSolution& Z, int lo, double h) {
  return cdiv(Z(lo + 2) + Z(lo + 3) - Z(lo) - Z(lo + 1), cplx(2.0 * h));
}

// Mean x derivative of an x displacement: right corners 2, 3 minus left 1, 4.
inline cplx x_strain(const CellSolution& Z, int lo, double h) {
  return cdiv(Z(lo + 1) - Z(lo) + Z(lo + 2) - Z(lo + 3), cplx(2.0 * h));
}

// Divergence of the fluid flux: right minus left plus top minus bottom edge.
inline cplx flux_divergence(const CellSolution& Z, double h) {
  return cdiv(Z(10) - Z(9) + Z(12) - Z(11), cplx(h));
}

}  // namespace tp
