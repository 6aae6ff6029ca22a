#pragma once
// The sample's stiffness against frequency: one point per frequency of the
// rigid-plate tests, with the diffusion length of the slow P wave against
// the grid, and the two limits that bound a relaxation curve.
#include <vector>

#include "fem/plate_tests.hpp"

namespace tp {

struct CurvePoint {
  double frequency = 0.0;  // Hz
  SampleStiffness c{};
  double cells_across = 0.0;  // the shortest diffusion length over the cell side
  bool resolved = true;       // cells_across at least the threshold of the warning
};

// The limits of the stiffness (Pa, real): relaxed, omega -> 0 (the fluid
// pressure equilibrates across the sample; the friction only selects the
// fluid's motion among those that cost no energy), and unrelaxed, no
// relative motion of the phases (both solids locked together, the fluid
// still relative to them).
struct CurveBounds {
  SampleStiffness relaxed{}, unrelaxed{};
};

struct Curve {
  std::vector<CurvePoint> points;
  CurveBounds bounds;
  bool full = false;  // c11 and c55 beside c33
  int threads = 1;    // concurrent factorizations
  int analyses = 0;   // orderings with symbolic factorizations for the whole curve
};

}  // namespace tp
