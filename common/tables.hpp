#pragma once
// Fixed-capacity tables with 1-based accessors. They hold their storage
// inline, so the driver can own them in static storage and nothing is
// allocated during a run.
#include <cstddef>
#include <cstdint>

#include "common/capacity.hpp"
#include "common/complex.hpp"

namespace tp {

// View1<T>: 1-based view of storage owned elsewhere (a table of any length,
// or a partition of the solver workspace).
template <class T>
struct View1 {
  T* p = nullptr;
  T& operator()(int i) const { return p[i - 1]; }
};

// Table1<T, N>: entries 1..N.
template <class T, int N>
struct Table1 {
  T v[N];
  T& operator()(int i) { return v[i - 1]; }
  const T& operator()(int i) const { return v[i - 1]; }
  T* data() { return v; }
  const T* data() const { return v; }
  View1<T> view() { return View1<T>{v}; }
  static constexpr int capacity = N;
};

// Table2<T, R, C>: entries (1..R, 1..C), first index fastest (by columns).
template <class T, int R, int C>
struct Table2 {
  T v[R * C];
  T& operator()(int r, int c) { return v[(c - 1) * R + (r - 1)]; }
  const T& operator()(int r, int c) const { return v[(c - 1) * R + (r - 1)]; }
  T* data() { return v; }
  const T* data() const { return v; }
  static constexpr int rows = R;
  static constexpr int cols = C;
};

// A per-cell field over the CellGrid: cell (j, k), j = 1..nx along x from the
// left, k = 1..ny along y from the bottom, j varying fastest, leading
// dimension 60 whatever the grid in use.
template <class T>
using CellField = Table2<T, kMaxCells, kMaxCells>;

using RealField = CellField<double>;
using IntField = CellField<std::int32_t>;

// A per-layer table, indexed by layer (= material) number 1..2.
template <class T>
using LayerTable = Table1<T, kMaxLayers>;

using RealLayers = LayerTable<double>;
using IntLayers = LayerTable<std::int32_t>;

// The global unknown numbers of the 20 local unknowns of each element:
// xnod(e, l), e = 1..nx*ny, l = 1..20.
using XnodTable = Table2<std::int32_t, kMaxElements, kLocalDofs>;

// The grid in use: nx by ny square cells of side h (metres). Element number
// of cell (j, k) is (k - 1) nx + j.
struct CellGrid {
  int nx = 0;
  int ny = 0;
  double h = 0.0;
  int element(int j, int k) const { return (k - 1) * nx + j; }
};

// The 18 coefficients of the three-phase medium in every cell: elastic (Pa),
// mass (kg/m3) and friction (kg/(m3 s)).
struct Coefficients {
  RealField lambda1, lambda3, mu1, mu3, mu13, b1, b2, m, d3;
  RealField p11, p12, p13, p22, p23, p33;
  RealField f11, f12, f22;
};

// The global system in compressed sparse rows and its vectors.
using RowStarts = Table1<std::int32_t, kMaxNeq + 1>;       // ia(1..neq+1)
using ColumnIndices = Table1<std::int32_t, kMaxNonzeros>;  // ja(1..nnz)
using MatrixValues = Table1<cplx, kMaxNonzeros>;           // avec(1..nnz)
using UnknownVector = Table1<cplx, kMaxNeq>;               // rhs_m, z (1..neq)
using Permutation = Table1<std::int32_t, kMaxNeq>;         // c, ic (1..neq)

}  // namespace tp
