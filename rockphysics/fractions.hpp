#pragma once
// Volume fractions of one cell of the three-phase medium, shared by the
// elastic moduli and the mass and friction coefficients, which must see the
// same fractions.
#include "common/structures.hpp"

namespace tp {

// Fractions of cell (j, k): phi (water), phi1 and phi3 (bulk solid 1 and
// solid 3), s1 and s3 (shares of the solid), and for the permafrost report
// s3_prima (ice share of the pores), sw (water saturation) and control.
struct CellFractions {
  double phi = 0.0;
  double phi1 = 0.0;
  double phi3 = 0.0;
  double s1 = 0.0;
  double s3 = 0.0;
  double s3_prima = 0.0;
  double sw = 0.0;
  double control = 0.0;
};

// Fractions of a cell for key_model 0 (ice fills phi_a - phi) or 1 (shale
// is the share s3_layer of the solid). Returns 0; 45678 when the ice
// fraction is outside (0, 1); or kZeroFraction, naming in `zero` the
// fraction phi, phi1 or phi3 that is zero, before anything divides by it.
int cell_fractions(const int& key_model, const double& phi_a, const double& phi,
                   const double& s3_layer, CellFractions& f, const char*& zero);

// The fractions of cell (j, k) of the sample from the constants of its
// layer, checked as the coefficient routines need them: a failure (45678,
// kZeroFraction, 555) comes back with the cell and `routine`. Cell (1, 1)'s
// fractions are kept in first_f (reached = 1) before their sum is checked.
CellFailure checked_cell_fractions(const Deck& d, const Sample& s, const int& j, const int& k,
                                   const char* routine, CellFractions& f, CellFractions& first_f,
                                   int& reached);

// True when the three bulk fractions add up to one (else the cell stops 555).
bool control_holds(const CellFractions& f);

}  // namespace tp
