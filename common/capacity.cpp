#include "common/capacity.hpp"

namespace tp {

// Counts of the grid in 64 bits. Beyond the legacy size there is no fixed
// workspace: the solver sizes its storage from its own analysis.
TableSizes table_sizes(std::int64_t nx, std::int64_t ny) {
  constexpr std::int64_t kInt32Max = 2147483647;
  TableSizes s;
  s.cells = nx * ny;
  s.neq = (6 * nx + 5) * ny + 5 * nx + 4;
  s.room = kRoomPerUnknown * s.neq;
  const bool legacy = nx <= kLegacyCells && ny <= kLegacyCells;
  s.words = legacy ? kSolverWords : 0;
  s.fits = s.cells * kLocalDofs <= kInt32Max && s.room <= kInt32Max;
  return s;
}

}  // namespace tp
