#pragma once
// Samples of the plate-test checks: the rock-physics coefficients of a
// permafrost or shaley-sand deck whose water fraction varies from cell to
// cell (homogeneous, banded in y, or a random field with a fractal-like
// spectrum), at one frequency.
#include <vector>

#include "rockphysics/e_modulus.hpp"
#include "support/sample.hpp"

namespace tp::platetest {

// A sample of the deck r (grid and cell side h, metres) and the 18
// coefficients of every cell at angular frequency omega.
struct RockSample {
  testing::RockDeck deck;
  CellGrid grid;
  testing::CoefficientSet co;
  CellModuli first;  // every modulus of cell (1, 1)
};

// Sizes r's fields to nx by ny cells of water fraction phi.
void set_grid(testing::RockDeck& r, int nx, int ny, double phi);

// Water fraction of every cell of row k from the bands: bands[b] covers the
// rows (b ny / n, (b + 1) ny / n] of n = bands.size() equal bands.
void set_bands(testing::RockDeck& r, const std::vector<double>& bands);

// A random field between lo and hi with a spectrum falling as 1/|k|^1.5
// (a self-similar medium), the same for the same seed.
void set_fractal(testing::RockDeck& r, unsigned seed, double lo, double hi);

// Coefficients of the sample at omega in the elastic form from the
// rock-physics routines (the deck's own checks must pass: the test fails
// otherwise), with the first cell's moduli in first.
void coefficients(const testing::RockDeck& r, double h, double omega, RockSample& s,
                  ElasticForm form = ElasticForm::two_dimensional);

// Relative distance |a - b| / |b|.
double relative(const cplx& a, const cplx& b);

}  // namespace tp::platetest
