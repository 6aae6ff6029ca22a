#pragma once
// Elastic coefficients of the three-phase medium, cell by cell.
#include "common/progress.hpp"
#include "common/structures.hpp"
#include "rockphysics/fractions.hpp"

namespace tp {

// Every modulus of one cell, kept for the report of the first cell.
struct CellModuli {
  double km1, mum1, km3, mum3;  // dry frames
  double kav, g1, g3, muav;     // average moduli
  double mu1, mu3, mu13;        // shear moduli with the fluid coupling
  double alfa1, alfa3, kg1, kg3, kg;
  double k1, k2, k3, c12, c13, c23;
  double h1, h3, bb1, bb2, bb3;
  double lambda1, lambda3, d3;
};
// What the report shows of cell (1, 1): its fractions (reached 1 or more),
// then all its moduli (reached 2, when its fractions add up to one).
struct ElasticReport {
  int reached = 0;
  CellFractions f;
  CellModuli c;
};

// How e_modulus builds the coefficients: the elastic form, and whether a
// first cell with lambda1 or lambda3 <= 0 is a failure.
struct ElasticOptions {
  ElasticForm form = ElasticForm::two_dimensional;
  bool lambda_warning_only = false;
};

// Fills the nine elastic coefficients (Pa) of every cell of the sample at
// omega from the deck's per-layer constants, for key_model 0 (permafrost) or
// 1 (shaley sand) in the elastic form of options, cells in the order j outer, k inner; keeps cell
// (1, 1) in first. Returns the first failed check with its cell: 45678, kZeroFraction, 555, at cell
// (1, 1) 12345 (lambda1 <= 0, value lambda1) or 12346, and 45687 or 45688 (after the cell's
// coefficients are stored). With options.lambda_warning_only, 12345 and 12346 are not failures: the
// plane form's lambda = K - mu is negative for a stiff frame whose strain energy is still positive,
// which 45687 and 45688 check. Reports the cells done to progress after each column.
CellFailure e_modulus(const Deck& d, const Sample& s, const double& omega, Coefficients& co,
                      ElasticReport& first, const ElasticOptions& options = {},
                      const Progress* progress = nullptr);

}  // namespace tp
