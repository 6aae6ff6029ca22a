#pragma once
// Tables with 1-based accessors. The grid's tables are sized from the deck
// once, at the start of the run, and hold zeros until filled; the small
// fixed tables (per layer, per element) hold their storage inline.
//
// In the checked build (THREEPHASE_CHECKED_INDEX, set by the sanitizer
// build) every accessor checks its indices against the table's size and
// ends the process with the table and the index on standard error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "common/capacity.hpp"
#include "common/complex.hpp"

namespace tp {

// Reports an index outside 1..size and aborts (checked build only).
[[noreturn]] void index_fault(long long index, long long size, const char* table);

#ifdef THREEPHASE_CHECKED_INDEX
inline void check_index(long long i, long long n, const char* table) {
  if (i < 1 || i > n) index_fault(i, n, table);
}
#else
inline void check_index(long long, long long, const char*) {}
#endif

// View1<T>: 1-based view of storage owned elsewhere (a table of any length,
// or a partition of the solver workspace).
template <class T>
struct View1 {
  T* p = nullptr;
  T& operator()(int i) const { return p[i - 1]; }
};

// Zeroed storage of n values, from calloc: large tables start as pages of
// zeros the system maps on first touch, not by a clearing pass. Null when
// the memory is not there.
void* zeroed_storage(std::size_t n, std::size_t size);

// Array1<T>: entries 1..n, n set by resize (which starts them at zero).
template <class T>
class Array1 {
  static_assert(std::is_trivially_copyable_v<T>, "zero bytes must be a value of T");

 public:
  Array1() = default;
  Array1(const Array1& o) { *this = o; }
  // A copy of every entry (a deliberate, whole-table copy).
  Array1& operator=(const Array1& o) {
    if (this != &o && resize(o.n_) && o.n_ > 0) {
      std::memcpy(v_, o.v_, static_cast<std::size_t>(o.n_) * sizeof(T));
    }
    return *this;
  }
  ~Array1() { std::free(v_); }
  // Allocates n zeroed entries (the old ones are dropped); false when the
  // memory is not there.
  bool resize(std::int64_t n) {
    std::free(v_);
    v_ = static_cast<T*>(zeroed_storage(static_cast<std::size_t>(n), sizeof(T)));
    n_ = v_ != nullptr ? n : 0;
    return v_ != nullptr || n == 0;
  }
  T& operator()(int i) {
    check_index(i, n_, "Array1");
    return v_[i - 1];
  }
  const T& operator()(int i) const {
    check_index(i, n_, "Array1");
    return v_[i - 1];
  }
  T* data() { return v_; }
  const T* data() const { return v_; }
  View1<T> view() { return View1<T>{v_}; }
  std::int64_t size() const { return n_; }

 private:
  T* v_ = nullptr;
  std::int64_t n_ = 0;
};

// Array2<T>: entries (1..rows, 1..cols), first index fastest (by columns).
template <class T>
class Array2 {
  static_assert(std::is_trivially_copyable_v<T>, "zero bytes must be a value of T");

 public:
  Array2() = default;
  Array2(const Array2& o) { *this = o; }
  // A copy of every entry (a deliberate, whole-table copy).
  Array2& operator=(const Array2& o) {
    if (this != &o && resize(o.rows_, o.cols_) && o.v_ != nullptr) {
      std::memcpy(v_, o.v_, static_cast<std::size_t>(o.rows_) * o.cols_ * sizeof(T));
    }
    return *this;
  }
  ~Array2() { std::free(v_); }
  // Allocates rows by cols zeroed entries; false when the memory is not there.
  bool resize(int rows, int cols) {
    std::free(v_);
    const std::size_t n = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
    v_ = static_cast<T*>(zeroed_storage(n, sizeof(T)));
    rows_ = v_ != nullptr ? rows : 0;
    cols_ = v_ != nullptr ? cols : 0;
    return v_ != nullptr || n == 0;
  }
  T& operator()(int r, int c) {
    check_index(r, rows_, "Array2 row");
    check_index(c, cols_, "Array2 column");
    return v_[static_cast<std::ptrdiff_t>(c - 1) * rows_ + (r - 1)];
  }
  const T& operator()(int r, int c) const {
    check_index(r, rows_, "Array2 row");
    check_index(c, cols_, "Array2 column");
    return v_[static_cast<std::ptrdiff_t>(c - 1) * rows_ + (r - 1)];
  }
  T* data() { return v_; }
  const T* data() const { return v_; }
  int rows() const { return rows_; }
  int cols() const { return cols_; }

 private:
  T* v_ = nullptr;
  int rows_ = 0;
  int cols_ = 0;
};

// Table1<T, N>: entries 1..N, inline (the small fixed tables).
template <class T, int N>
struct Table1 {
  T v[N];
  T& operator()(int i) {
    check_index(i, N, "Table1");
    return v[i - 1];
  }
  const T& operator()(int i) const {
    check_index(i, N, "Table1");
    return v[i - 1];
  }
  T* data() { return v; }
  const T* data() const { return v; }
  View1<T> view() { return View1<T>{v}; }
  static constexpr int capacity = N;
};

// Table2<T, R, C>: entries (1..R, 1..C) inline, first index fastest.
template <class T, int R, int C>
struct Table2 {
  T v[R * C];
  T& operator()(int r, int c) {
    check_index(r, R, "Table2 row");
    check_index(c, C, "Table2 column");
    return v[(c - 1) * R + (r - 1)];
  }
  const T& operator()(int r, int c) const {
    check_index(r, R, "Table2 row");
    check_index(c, C, "Table2 column");
    return v[(c - 1) * R + (r - 1)];
  }
  T* data() { return v; }
  const T* data() const { return v; }
  static constexpr int rows = R;
  static constexpr int cols = C;
};

// A per-cell field over the CellGrid: cell (j, k), j = 1..nx along x from the
// left, k = 1..ny along y from the bottom, j varying fastest (leading
// dimension nx).
template <class T>
using CellField = Array2<T>;

using RealField = CellField<double>;
using IntField = CellField<std::int32_t>;

// A per-layer table, indexed by layer (= material) number 1..2.
template <class T>
using LayerTable = Table1<T, kMaxLayers>;

using RealLayers = LayerTable<double>;
using IntLayers = LayerTable<std::int32_t>;

// The global unknown numbers of the 20 local unknowns of each element:
// xnod(e, l), e = 1..nx*ny, l = 1..20.
using XnodTable = Array2<std::int32_t>;

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

// Sizes the 18 fields to nx by ny cells (zeros); false when the memory is
// not there.
bool size_coefficients(Coefficients& co, int nx, int ny);

// The global system in compressed sparse rows and its vectors.
using RowStarts = Array1<std::int32_t>;      // ia(1..neq+1)
using ColumnIndices = Array1<std::int32_t>;  // ja(1..room), room = 50 neq
using MatrixValues = Array1<cplx>;           // avec(1..room)
using UnknownVector = Array1<cplx>;          // rhs_m, z (1..neq)

}  // namespace tp
