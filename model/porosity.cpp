#include "model/porosity.hpp"

#include <cstdio>

#include "common/input.hpp"

namespace tp {

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
    for (int k = 1; k <= ny; ++k) {
      for (int j = 1; j <= nx; ++j) {
        char what[64];
        std::snprintf(what, sizeof what, "the porosity of cell (%d, %d)", j, k);
        phi(j, k) = read_fixed_real(frac, 12, 4, what);
      }
    }
  }
}

}  // namespace tp
