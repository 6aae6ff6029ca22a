#include "planewave/wave_order.hpp"

#include <algorithm>

#include "planewave/veloc_aten.hpp"

namespace tp {

void survey_p_labels(int nx, int ny, const double& omega, const Coefficients& co,
                     LabelSurvey& s) {
  s = LabelSurvey{};
  for (int k = 1; k <= ny; ++k) {
    for (int j = 1; j <= nx; ++j) {
      cplx zp[3], zs[2];
      cell_slownesses(j, k, omega, co, zp, zs);
      // P1 and P2: the faster and the slower of the first two roots.
      const double a = 1.0 / zp[0].real(), b = 1.0 / zp[1].real();
      const double v1 = std::max(a, b), v2 = std::min(a, b), v3 = 1.0 / zp[2].real();
      if (!(v3 > v2)) continue;
      if (s.cells++ == 0) s = LabelSurvey{1, 0, j, k, v1, v2, v3};
      if (v3 > v1) ++s.faster_than_p1;
    }
  }
}

}  // namespace tp
