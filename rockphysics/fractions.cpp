// Volume fractions of a cell and their checks.
#include "rockphysics/fractions.hpp"

#include <cmath>

namespace tp {

// A zero fraction turns the moduli and the permeabilities into infinities
// or NaN (Kav, g1, g3, B1, B2, the tortuosities and f22 divide by them), so
// the cell is refused rather than run on garbage.
int cell_fractions(const int& key_model, const double& phi_a, const double& phi,
                   const double& s3_layer, CellFractions& f, const char*& zero) {
  f.phi = phi;
  if (key_model == 0) {
    // Permafrost: the absolute porosity phi_a holds water and ice.
    f.phi1 = 1.0 - phi_a;
    f.phi3 = phi_a - phi;
    if (!(f.phi3 > 0.0 && f.phi3 < 1.0)) return 45678;
  } else {
    // Shaley sand: shale is a fixed share of the solid.
    f.s3 = s3_layer;
    f.s1 = 1.0 - f.s3;
    f.phi1 = f.s1 * (1.0 - phi);
    f.phi3 = f.s3 * (1.0 - phi);
  }
  zero = phi == 0.0      ? "water fraction phi"
         : f.phi1 == 0.0 ? "bulk solid 1 fraction phi1"
         : f.phi3 == 0.0 ? "bulk solid 3 fraction phi3"
                         : nullptr;
  if (zero != nullptr) return kZeroFraction;
  if (key_model == 0) {
    f.s3 = f.phi3 / (1.0 - phi);
    f.s1 = 1.0 - f.s3;
    f.s3_prima = f.phi3 / (1.0 - f.phi1);
    f.sw = phi / phi_a;
    f.control = f.phi1 + phi + f.phi3;
  } else {
    f.control = f.phi3 + f.phi1 + phi;
  }
  return 0;
}

CellFailure checked_cell_fractions(const Deck& d, const Sample& s, const int& j, const int& k,
                                   const char* routine, CellFractions& f, CellFractions& first_f,
                                   int& reached) {
  const int mat = s.matnum(j, k);
  CellFailure fail{0, j, k, 0.0, nullptr, routine};
  fail.code = cell_fractions(d.key_model, d.phi_a(mat), s.phi(j, k), d.s3(mat), f, fail.what);
  if (fail) return fail;
  if (j == 1 && k == 1) {
    first_f = f;
    reached = 1;
  }
  if (!control_holds(f)) fail.code = 555;
  return fail;
}

bool control_holds(const CellFractions& f) { return std::fabs(f.control - 1.0) < 1e-15; }

}  // namespace tp
