#pragma once
// The limits of a run and the sizes every table takes from the deck's grid.
// Tables are allocated once, at the start of the run, from nx and ny; the
// counts that grow with the grid are computed in 64 bits and checked before
// anything is allocated.
#include <cstdint>

namespace tp {

// The deck reader accepts nx and ny from 1 to kMaxGridCells: the longest
// side whose strip one cell wide keeps the positions of the matrix storage
// (50 per unknown, 11 n + 9 unknowns) within 32 bits. Which grids within it
// can run is for the memory to say (common/memory_estimate.hpp) and for
// table_sizes to check: a banded sample of 2 by 2600 cells is small, one of
// 2000 by 2000 needs tens of GB.
constexpr int kMaxGridCells = 3900000;
constexpr int kMaxLayers = 2;   // per-layer tables (nmat is 1 or 2)
constexpr int kLocalDofs = 20;  // unknowns of one element

// Room per unknown in ja and avec: the assembly clears 50 neq positions, and
// no row stores more than 48 entries.
constexpr int kRoomPerUnknown = 50;

// Grids up to kLegacyCells a side keep the solver's workspace of
// kSolverWords complex words, so their report (the "ESP=" line of a failed
// factorization included) stays what it always was.
constexpr int kLegacyCells = 60;
constexpr int kSolverWords = 11102000;

// The sizes of the tables of an nx by ny grid.
struct TableSizes {
  std::int64_t cells = 0;  // nx ny elements
  std::int64_t neq = 0;    // unknowns, (6 nx + 5) ny + 5 nx + 4
  std::int64_t room = 0;   // positions of ja and avec, kRoomPerUnknown neq
  std::int64_t words = 0;  // complex words of the solver workspace
  bool fits = false;       // every count and 32-bit position < 2^31
};

// Sizes of the tables of an nx by ny grid, in 64 bits; fits is false when a
// count or a position of the 32-bit tables would pass 2^31 - 1. The
// workspace is capped where its 32-bit view (2 per word) would overflow.
TableSizes table_sizes(std::int64_t nx, std::int64_t ny);

}  // namespace tp
