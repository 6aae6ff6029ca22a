#include "planewave/diffusion.hpp"

#include <cmath>

#include "common/capacity.hpp"

namespace tp {

namespace {

// Cells along a side of n cells of `across` cells per length that give
// `threshold` cells per length: the ceiling of n threshold / across, in
// doubles (a count within rounding of a whole number is that number). Past
// kMaxGridCells, or not finite, the count stops at kMaxGridCells + 1.
std::int64_t cells_needed(int n, double threshold, double across, bool& beyond) {
  const double exact = n * threshold / across;
  const double count = std::ceil(exact - 1e-9 * exact);
  if (count <= static_cast<double>(kMaxGridCells)) return static_cast<std::int64_t>(count);
  beyond = true;
  return std::int64_t{kMaxGridCells} + 1;
}

}  // namespace

DiffusionScale diffusion_scale(const CellGrid& g, const WaveReport& r) {
  DiffusionScale s;
  s.length = r.shortest_decay;
  s.j = r.j_shortest;
  s.k = r.k_shortest;
  s.cells_across = s.length / g.h;
  s.resolved = !(s.cells_across < s.threshold);
  if (s.resolved) {
    s.nx_needed = g.nx;
    s.ny_needed = g.ny;
    return s;
  }
  s.nx_needed = cells_needed(g.nx, s.threshold, s.cells_across, s.beyond);
  s.ny_needed = cells_needed(g.ny, s.threshold, s.cells_across, s.beyond);
  return s;
}

}  // namespace tp
