#pragma once
// The bulk density of the sample, the density its effective waves carry.
#include "common/structures.hpp"

namespace tp {

// Volume average of the bulk densities of the cells of the sample (kg/m3):
// each cell weighs its layer's densities by its own fractions,
// ro1 phi1 + ro2 phi + ro3 phi3 (cell_fractions), and the cells, all of one
// size, count alike. rho is the average when every cell passes; otherwise
// the first failed cell comes back (45678 or kZeroFraction, routine
// "sample_density") and rho is left as it was.
CellFailure sample_density(const Deck& d, const Sample& s, double& rho);

}  // namespace tp
