#pragma once
// Assembly of the global complex system of the compressibility test in
// compressed sparse rows.
//
// Storage of the matrix (neq rows and columns, all indices 1-based):
//   ia(1..neq+1)  row starts: row i is stored at positions ia(i)..ia(i+1)-1
//   ja(1..nnz)    column of each stored entry, strictly increasing in a row
//   avec(1..nnz)  value of each stored entry
// with nnz = ia(neq+1) - 1. The stored positions are the union over the
// elements of the 20 x 20 pairs of their global unknowns, zero values
// included, so the pattern is symmetric even where the values are not.
#include "common/structures.hpp"

namespace tp {

// Builds sys.ia, ja, avec and rhs_m for the grid g at angular frequency
// omega from the numbering sys.xnod and the 18 per-cell coefficients co;
// sys must be sized for g (size_system). Positions up to sys.room of ja and
// avec beyond the stored entries are left zero. Reads no mass
// coefficient (see local_sys). Builds the pattern first and then adds each
// element matrix into it, so the time grows linearly with the stored
// entries; the result is bit for bit that of global_sist_insertion, every
// position summing its contributions in the cell order j outer, k inner.
// Returns 1 when its pattern work area cannot be allocated, else 0.
int global_sist(const double& omega, const CellGrid& g, const Coefficients& co, System& sys);

// The pattern alone: fills sys.ia(1..neq+1) and sys.ja(1..nnz) from the
// numbering sys.xnod of the grid g, exactly as global_sist stores them, and
// touches no value. Systems of other tests on the same mesh take it, so that
// one ordering and one symbolic factorization serve them all. Returns 1
// when its work area cannot be allocated, else 0.
int global_pattern(const CellGrid& g, System& sys);

// The same system built one entry at a time through contribucion_yale, in the
// cell order j outer, k inner and the element order row outer, column inner.
// Its time grows with the square of the stored entries; it is the reference
// the fast assembly is checked against.
void global_sist_insertion(const double& omega, const CellGrid& g, const Coefficients& co,
                           System& sys);

// Adds value at (row, column) of the neq-row matrix (note the argument order:
// column first). An existing position is summed into; a new one is inserted
// in sorted place, shifting every later stored entry of the matrix up by one.
// A zero value is inserted like any other. No capacity check: the grid limit
// keeps the stored entries below 50 neq.
void contribucion_yale(const int& column, const int& row, const cplx& value, const int& neq,
                       RowStarts& ia, ColumnIndices& ja, MatrixValues& avec);

}  // namespace tp
