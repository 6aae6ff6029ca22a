#pragma once
// Kernels of the grouped elimination in znnf, in vectors of two doubles
// (any processor), four (AVX) and eight (AVX-512). Every lane computes
// w - (xr u + xi us) with a separate multiplication, addition and
// subtraction, in that order, so the three widths give the same bits; the
// wider ones only do it in fewer instructions.
#include <cstdint>

#include "sparse/zndrv.hpp"

namespace tp {

// Two doubles handled together: the real and imaginary parts of one complex
// word. Each lane is rounded as the scalar operation would be. The vector
// extension and its element access are common to g++ and clang++.
typedef double Pair __attribute__((vector_size(16)));

inline Pair load(const double* p) {
  Pair v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

inline void store(double* p, const Pair& v) { __builtin_memcpy(p, &v, sizeof v); }

// The product x u of a multiplier x with a U entry u is formed lane by lane
// as xr (ur, ui) + xi (-ui, ur) = (xr ur - xi ui, xr ui + xi ur): the
// rounding of the complex product, since xi (-ui) is -(xi ui) exactly and
// a + (-b) is a - b. So a multiplier is kept as its two parts and each part
// is spread over a whole vector, while the swapped and signed copy of u
// serves every row that U row updates.
// The rectangular update of a group for m dense rows that entered it at the
// same U row: w[i](col) = w[i](col) - x_i(t) u(t, col) for the columns
// col = cols[q], q = 0..nt-1, of the group's shared pattern and the U rows
// t = 0..s-1 in turn, whose entries of the pattern lie side by side from
// urow[t] (column cols[q] at urow[t] + 2 q).
struct GroupBlock {
  double* const* w;        // dense rows w[0..m-1], column c at 2c-2, 2c-1
  const double* const* x;  // row i's multiplier for U row t: x[i][2t], x[i][2t+1]
  int m;
  const double* const* urow;  // urow[0..s-1]
  int s;
  const std::int32_t* cols;  // cols[0..nt-1], ascending
  int nt;
};

// The widest the processor runs, at most `most`.
KernelWidth kernel_width(KernelWidth most);

// The kernels of one width. rectangle updates b (the columns that fill no
// tile of its width go to the two-double kernels); row_update does
// w(c) = w(c) - x u(c) for the len complex words side by side at w and u,
// x = (x[0], x[1]) (the triangular step of a group).
struct GroupKernels {
  void (*rectangle)(const GroupBlock& b);
  void (*row_update)(double* w, const double* x, const double* u, int len);
};
GroupKernels group_kernels(KernelWidth width);

// U entries fetched ahead of the tile in use: the rows of a group lie far
// apart in u, too many streams for the processor to foresee.
constexpr int kAhead = 16;

}  // namespace tp
