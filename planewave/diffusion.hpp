#pragma once
// Whether the grid resolves the fluid-pressure diffusion of the sample. At
// the frequencies of the test the slowest compressional wave is diffusive:
// the fluid pressure that a compression raises more in one cell than in its
// neighbour, or under the loaded side, relaxes by flow over its decay length
// 1/(omega Im z). The loss the test measures happens in these boundary
// layers; a grid with fewer than about two cells across the thinnest of them
// draws each as one linear ramp and misjudges the flow, and so the Q.
#include <cstdint>

#include "common/tables.hpp"
#include "planewave/veloc_aten.hpp"

namespace tp {

// Cells across the shortest diffusion length below which the grid is not
// trusted to resolve it.
constexpr double kDiffusionCells = 2.0;

// The shortest diffusion length of the sample against the grid.
struct DiffusionScale {
  double length = 0;        // shortest decay length of the slow P wave (m)
  int j = 0, k = 0;         // its cell
  double cells_across = 0;  // length / h
  double threshold = kDiffusionCells;
  bool resolved = true;  // cells_across >= threshold
  // The grid of this sample that would resolve it, counted in 64 bits; a
  // side past the deck's kMaxGridCells (or a length of zero) is not
  // counted: it holds kMaxGridCells + 1 and beyond is set.
  std::int64_t nx_needed = 0, ny_needed = 0;
  bool beyond = false;  // no grid a run can hold resolves it
};

// The scale of the waves' report on grid g: the grid that would resolve it
// keeps the sample's size with cells of side length / threshold at most.
DiffusionScale diffusion_scale(const CellGrid& g, const WaveReport& r);

}  // namespace tp
