#include "planewave/diffusion.hpp"

#include <cmath>

namespace tp {

DiffusionScale diffusion_scale(const CellGrid& g, const WaveReport& r) {
  DiffusionScale s;
  s.length = r.shortest_decay;
  s.j = r.j_shortest;
  s.k = r.k_shortest;
  s.cells_across = s.length / g.h;
  s.resolved = !(s.cells_across < s.threshold);
  const double scale = s.resolved ? 1.0 : s.threshold / s.cells_across;
  s.nx_needed = static_cast<int>(std::ceil(g.nx * scale));
  s.ny_needed = static_cast<int>(std::ceil(g.ny * scale));
  return s;
}

}  // namespace tp
