// Bulk density of the sample from the fractions of every cell.
#include "rockphysics/sample_density.hpp"

#include "rockphysics/fractions.hpp"

namespace tp {

// Cells in the order j outer, k inner, as the coefficient routines.
CellFailure sample_density(const Deck& d, const Sample& s, double& rho) {
  const CellGrid& g = s.grid;
  double sum = 0.0;
  for (int j = 1; j <= g.nx; ++j) {
    for (int k = 1; k <= g.ny; ++k) {
      const int mat = s.matnum(j, k);
      CellFractions f;
      CellFailure fail{0, j, k, 0.0, nullptr, "sample_density"};
      fail.code = cell_fractions(d.key_model, d.phi_a(mat), s.phi(j, k), d.s3(mat), f, fail.what);
      if (fail) return fail;
      sum += d.ro1(mat) * f.phi1 + d.ro2(mat) * f.phi + d.ro3(mat) * f.phi3;
    }
  }
  rho = sum / (double(g.nx) * g.ny);
  return CellFailure{};
}

}  // namespace tp
