#include "common/capacity.hpp"

namespace tp {

// Counts of the grid in 64 bits; the workspace of a grid beyond the legacy
// size is a generous multiple of the matrix room until the solver sizes it
// from its own analysis.
TableSizes table_sizes(std::int64_t nx, std::int64_t ny) {
  constexpr std::int64_t kInt32Max = 2147483647;
  TableSizes s;
  s.cells = nx * ny;
  s.neq = (6 * nx + 5) * ny + 5 * nx + 4;
  s.room = kRoomPerUnknown * s.neq;
  const bool legacy = nx <= kLegacyCells && ny <= kLegacyCells;
  // The solver sees the workspace also as 32-bit integers, two per word.
  const std::int64_t most_words = kInt32Max / 2;
  s.words = legacy ? kSolverWords : 20 * s.room;
  if (s.words > most_words) s.words = most_words;
  s.fits = s.cells * kLocalDofs <= kInt32Max && s.room <= kInt32Max;
  return s;
}

}  // namespace tp
