// Level-by-level numbering of the nodal and edge unknowns of the cell mesh.
#include "fem/global_numbering.hpp"

namespace tp {

// Fills xnod(e, 1..20) for the nx by ny cells; writes nothing else.
void global_numbering(const int& nx, const int& ny, XnodTable& xnod) {
  // A level is one horizontal node line (node, edge, node, ..., node: four
  // values per node, one per horizontal edge, 5 nx + 4 values) followed by
  // the nx + 1 vertical edges of the cell row above it. The top node line
  // closes the numbering without vertical edges.
  const int level = 6 * nx + 5;
  for (int j = 1; j <= nx; ++j) {
    for (int k = 1; k <= ny; ++k) {
      const int ne = (k - 1) * nx + j;
      const int n1 = level * (k - 1) + 5 * (j - 1) + 1;  // bottom-left corner
      const int n2 = n1 + 5;                             // bottom-right
      const int n4 = level * k + 5 * (j - 1) + 1;        // top-left
      const int n3 = n4 + 5;                             // top-right
      const int corner[4] = {n1, n2, n3, n4};
      // The four values of a node come in the order solid-1 x, solid-1 y,
      // solid-3 x, solid-3 y.
      for (int c = 1; c <= 4; ++c) {
        xnod(ne, c) = corner[c - 1];
        xnod(ne, 4 + c) = corner[c - 1] + 1;
        xnod(ne, 12 + c) = corner[c - 1] + 2;
        xnod(ne, 16 + c) = corner[c - 1] + 3;
      }
      const int left = level * (k - 1) + 5 * nx + 4 + j;
      xnod(ne, 9) = left;
      xnod(ne, 10) = left + 1;
      // A horizontal edge sits between its two end nodes on the node line.
      xnod(ne, 11) = n1 + 4;
      xnod(ne, 12) = n4 + 4;
    }
  }
}

}  // namespace tp
