#pragma once
// Capacities of every fixed table of the program. The sample is at most
// 60 by 60 cells; all other sizes follow from that grid.
#include <cstdint>

namespace tp {

constexpr int kMaxCells = 60;                    // cells along x and along y
constexpr int kMaxElements = kMaxCells * kMaxCells;  // 3600 elements
constexpr int kMaxLayers = 2;                    // per-layer tables
constexpr int kLocalDofs = 20;                   // unknowns of one element
// neq = (6 nx + 5) ny + 5 nx + 4 at nx = ny = 60
constexpr int kMaxNeq = (6 * kMaxCells + 5) * kMaxCells + 5 * kMaxCells + 4;  // 22204
constexpr int kMaxNonzeros = 1110200;            // stored entries of the global matrix
constexpr int kSolverWords = 11102000;           // complex words of the solver workspace
constexpr int kPressureCells = 160;              // side of the pressure tables

static_assert(kMaxNeq == 22204);

}  // namespace tp
