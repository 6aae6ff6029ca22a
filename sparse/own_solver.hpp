#pragma once
// The own sparse solver with its analysis kept. The minimum-degree order and
// the symbolic factorization depend on the pattern alone, and the
// elimination pivots in that static order, so one analysis serves every
// matrix of the pattern: the coefficients of another frequency, another
// test of the same sample. Each factorization is bit for bit the one a
// fresh analysis would give.
#include <cstdint>
#include <vector>

#include "sparse/zndrv.hpp"

namespace tp {

struct OwnSolver {
  int n = 0;
  std::vector<std::int32_t> c, ic;  // the order (rows and columns) and its inverse
  SparseFactor f;
  cplx* space = nullptr;  // the caller's workspace of nsp words, or none (self-sized)
  int nsp = 0;
  int orderings = 0, analyses = 0, factorizations = 0;  // how often each phase ran
};

// The minimum-degree order of the pattern of a, in the workspace of nsp
// complex words or (nsp = 0) in lists of its own. Returns the ordering's flag
// (0 on success).
int own_order(OwnSolver& s, const SparseRows& a, cplx* space, int nsp, const Progress* progress);

// The symbolic factorization of a's pattern in the order found. Returns the
// analysis's flag (0 on success); s.f then tells the factor's size.
int own_analyse(OwnSolver& s, const SparseRows& a);

// The numeric factorization of a, whose pattern must be the analysed one.
// Returns the factorization's flag (0 on success).
int own_factor(OwnSolver& s, const SparseRows& a, const Progress* progress);

// Solves A z = b with the last factorization.
void own_solve(OwnSolver& s, View1<cplx> b, View1<cplx> z);

// Makes w a solver of its own numeric factorization on the analysis of a
// (which must outlive w and keep its pattern unchanged): the order and the
// symbolic factors are shared read-only, so that several threads factor
// matrices of one pattern at once. The numeric storage of w is its own.
void own_share_analysis(const OwnSolver& a, OwnSolver& w);

// Stored entries of L and U with the pivots.
long long own_factor_entries(const OwnSolver& s);

}  // namespace tp
