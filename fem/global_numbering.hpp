#pragma once
// Mesh and unknown numbering of the finite-element grid.
#include "common/tables.hpp"

namespace tp {

// Numbers the unknowns of the nx by ny cell mesh level by level from the
// bottom and fills xnod(e, 1..20) for every element e = (k - 1) nx + j with
// the global numbers (1..neq) of its 20 local unknowns. xnod holds at least
// nx ny rows; the grid is any the tables were sized for (its unknowns within
// 32-bit numbers, common/capacity.hpp).
//
// Local order of an element's unknowns (the order of the element matrix):
//   1-4   solid-1 x displacement at corners 1-4
//   5-8   solid-1 y displacement at corners 1-4
//   9,10  fluid x component on the left and right edges
//   11,12 fluid y component on the bottom and top edges
//   13-16 solid-3 x displacement at corners 1-4
//   17-20 solid-3 y displacement at corners 1-4
// Corners run counter-clockwise from the bottom-left one: 1 bottom-left,
// 2 bottom-right, 3 top-right, 4 top-left.
void global_numbering(const int& nx, const int& ny, XnodTable& xnod);

// Number of unknowns of the nx by ny mesh: 4 per node plus 1 per edge.
constexpr int unknown_count(int nx, int ny) { return (6 * nx + 5) * ny + 5 * nx + 4; }

}  // namespace tp
