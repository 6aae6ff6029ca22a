#pragma once
// The memory a run will take, estimated from the deck's grid before any
// large table is allocated, so that a run that cannot fit is refused at its
// start rather than after minutes of work or by the kernel.
//
// Every large table is counted: the sample (material and porosity maps),
// the 18 coefficient fields, the system (element numbering, row starts,
// columns and values, the vectors and the permutations), the per-cell
// results, the assembly's work area, the solver's fixed workspace (grids
// within the legacy size), its ordering lists, its factor, and MUMPS's copy
// of the row indices. The factor is only known after the symbolic analysis:
// here it is a low estimate from the grid (see factor_entries_estimate), so
// that the check never refuses a run that the exact check after the
// analysis would let through.
#include <cstdint>
#include <string>

namespace tp {

// The solver a run will use, as far as its memory goes.
enum class MemorySolver {
  any,                // not known yet: only what every run holds is counted
  own,                // the own sparse LU, factor in memory
  mumps,              // MUMPS, factors in memory
  mumps_out_of_core,  // MUMPS, factors written to disk
};

// Bytes of each part of a run (64-bit), and their peak sum.
struct RunMemory {
  std::int64_t sample = 0;        // matnum (int32) and phi (double), per cell
  std::int64_t coefficients = 0;  // 18 doubles per cell
  std::int64_t system = 0;        // xnod, ia, ja, avec, rhs_m, z, c, ic
  std::int64_t results = 0;       // 6 complex and 2 real fields per cell
  std::int64_t assembly = 0;      // the pattern work area, freed after the assembly
  std::int64_t workspace = 0;     // the fixed solver workspace (legacy grids only)
  std::int64_t ordering = 0;      // minimum-degree lists, freed after the ordering
  std::int64_t factor = 0;        // low estimate of the factor's storage
  std::int64_t mumps_rows = 0;    // MUMPS's row index of every stored entry
  // What the run holds at its peak: the tables that live through the run
  // plus the largest of the stages that come and go (assembly, ordering,
  // factorization).
  std::int64_t total = 0;
};

// Stored entries of the assembled matrix, a floor of what the assembly
// stores (about 41.5 per unknown inside a large grid, fewer on its edges).
std::int64_t stored_entries_estimate(std::int64_t nx, std::int64_t ny);

// Entries of L and U of the own solver's minimum-degree order on the nx by
// ny grid, a low estimate: measured fill runs from 18 to 21 n log2 n between
// 60 and 240 cells a side; 12 n log2 n is taken, and never more than the
// band of the grid's narrow side.
std::int64_t factor_entries_estimate(std::int64_t nx, std::int64_t ny);

// The memory of a run of an nx by ny grid with the solver `solver`.
RunMemory estimate_run_memory(std::int64_t nx, std::int64_t ny, MemorySolver solver);

// A byte count for the user, in the units THREEPHASE_MAX_MEMORY reads:
// "1.2 GiB", "850.0 MiB".
std::string memory_text(std::int64_t bytes);

}  // namespace tp
