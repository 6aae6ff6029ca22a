#pragma once
// Checks that a stage's numbers are numbers. Values that overflow the
// doubles (a sample of 1e200 m, a frequency of 1e300 Hz, a grain modulus of
// 1e300 Pa, a cell of 1e-320 m) run through the arithmetic as infinities and
// NaN and come out as NaN moduli after a normal end; these checks find the
// first such value and hand it back, so that the driver refuses the run
// naming the cell and the quantity (stop_at_cell, status 2).
#include "common/structures.hpp"
#include "fem/effective_moduli.hpp"

namespace tp {

// The first coefficient of the 18 fields (cells in the order j outer, k
// inner; fields in the order of Coefficients) that is not finite, as a
// CellFailure of code kNonFinite; none when all are finite.
CellFailure non_finite_coefficient(const CellGrid& g, const Coefficients& co);

// The first result that is not finite: the sample's volume changes and
// moduli, then the per-cell strains, stress and pressure with its
// differences; of the velocities, Q and 1000/Q only NaN (a sample without
// viscous coupling, eta = 0, has always ended normally with an infinite
// velocity and Q). The decay length of the slow P wave is not checked:
// infinite means nothing decays.
CellFailure non_finite_result(const CellGrid& g, const Results& r);

}  // namespace tp
