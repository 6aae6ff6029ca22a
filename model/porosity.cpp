#include "model/porosity.hpp"

#include <cstdio>

#include "common/input.hpp"

namespace tp {

// Layered rows or the file's values, cell by cell.
void porosity(const int& nx, const int& ny, const RealLayers& phi_layer, const int& model,
              RealField& phi) {
  if (model == 0) {
    const int half = ny / 2;
    for (int k = 1; k <= ny; ++k) {
      const double value = k <= half ? phi_layer(1) : phi_layer(2);
      for (int j = 1; j <= nx; ++j) phi(j, k) = value;
    }
  } else if (model == 1) {
    static LineSource frac;
    if (frac.f == nullptr) open_file_source(frac, "porosity.frac");
    read_porosity_field(frac, nx, ny, phi);
  }
}

// One value per line, checked to be a water fraction.
void read_porosity_field(LineSource& frac, const int& nx, const int& ny, RealField& phi) {
  for (int k = 1; k <= ny; ++k) {
    for (int j = 1; j <= nx; ++j) {
      char what[64];
      std::snprintf(what, sizeof what, "the porosity of cell (%d, %d)", j, k);
      const double v = read_fixed_real(frac, 12, 4, what);
      // A water fraction: outside 0..1 (or NaN) no volume fractions of the
      // cell exist. The edges themselves are left to the rock-physics
      // routines, which name the fraction that vanishes.
      if (!(v >= 0.0 && v <= 1.0)) {
        char msg[160];
        std::snprintf(msg, sizeof msg, "%s = %.10g is not a porosity between 0 and 1", what, v);
        source_error(frac, msg);
      }
      phi(j, k) = v;
    }
  }
}

}  // namespace tp
