#pragma once
// Shared fixtures of the finite-element tests: the shared coefficient set,
// sized to the largest grid the tests assemble, and global systems sized to
// each grid.
#include <cstring>

#include "common/structures.hpp"
#include "fem/global_numbering.hpp"
#include "fem/global_sist.hpp"
#include "fem/local_sys.hpp"
#include "support/sample.hpp"

namespace tp::femtest {

using Coefficients = testing::CoefficientSet;
using GlobalSystem = System;

// Coefficients of up to 60 by 60 cells: positive, of realistic magnitudes,
// different in every cell, or the same everywhere (a homogeneous sample).
inline void fill_random(Coefficients& c, unsigned stream) {
  c.size(60, 60);
  c.fill_random(stream);
}
inline void fill_uniform(Coefficients& c, double elastic, double mass, double friction) {
  c.size(60, 60);
  c.fill_uniform(elastic, mass, friction);
}

// The element matrix and load of cell (j, k) from the coefficient set.
inline void cell_system(int j, int k, int nx, int ny, double omega, double h, Coefficients& c,
                        ElementMatrix& a, ElementVector& b) {
  local_sys(CellGrid{nx, ny, h}, j, k, omega, c, a, b);
}

// Sizes s for the nx by ny grid, unless it already is (what it holds stays).
inline void size_for(GlobalSystem& s, int nx, int ny) {
  if (s.neq != unknown_count(nx, ny) || s.xnod.rows() != nx * ny) size_system(s, nx, ny);
}

// Fills a system sized for the grid with a recognisable junk pattern, as
// left by an earlier case.
inline void soil(GlobalSystem& s, int nx, int ny) {
  size_for(s, nx, ny);
  std::memset(static_cast<void*>(s.ia.data()), 0x5a, sizeof(std::int32_t) * (s.neq + 1));
  std::memset(static_cast<void*>(s.ja.data()), 0x5a, sizeof(std::int32_t) * s.room);
  std::memset(static_cast<void*>(s.avec.data()), 0x5a, sizeof(cplx) * s.room);
  std::memset(static_cast<void*>(s.rhs_m.data()), 0x5a, sizeof(cplx) * s.neq);
}

// Numbers the grid into s.xnod and assembles it, fast or by one-entry
// insertion.
inline void assemble(bool fast, double omega, int nx, int ny, double h, Coefficients& c,
                     GlobalSystem& s) {
  size_for(s, nx, ny);
  global_numbering(nx, ny, s.xnod);
  const CellGrid g{nx, ny, h};
  if (fast) {
    global_sist(omega, g, c, s);
  } else {
    global_sist_insertion(omega, g, c, s);
  }
}

// Value stored at (row, column); sets found to false when not stored.
inline cplx stored_value(const GlobalSystem& s, int row, int column, bool& found) {
  for (int p = s.ia(row); p < s.ia(row + 1); ++p) {
    if (s.ja(p) == column) {
      found = true;
      return s.avec(p);
    }
  }
  found = false;
  return cplx(0.0, 0.0);
}

// Exact equality including the sign of zeros and NaN payloads.
inline bool same_bits(const cplx& x, const cplx& y) {
  return std::memcmp(&x, &y, sizeof(cplx)) == 0;
}

}  // namespace tp::femtest
