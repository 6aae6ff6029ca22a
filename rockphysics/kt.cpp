// Kuster-Toksoz effective moduli for spherical inclusions: the scattering
// of a long wave by a dilute set of spheres, summed as if each sphere sat in
// the bare host. Valid at low concentration; used here to build dry frames.
#include "rockphysics/kt.hpp"

namespace tp {

// Effective (k, mu) of host (ks, mus) with spheres (ki, mui) at concentration c.
void kt(const double& ks, const double& mus, const double& ki, const double& mui, const double& c,
        double& k, double& mu) {
  const double f = 3.0 * ki + 4.0 * mus;
  k = ks * (1.0 + 4.0 * c * mus * (ki - ks) / (f * ks)) / (1.0 - 3.0 * c * (ki - ks) / f);
  // The shear result in the form that stays finite for empty inclusions.
  const double a = 9.0 * ks + 8.0 * mus;
  const double b = 6.0 * ks + 12.0 * mus;
  mu = mus * ((c * mui + (1.0 - c) * mus) * a + mui * b) /
       (mus * a + b * ((1.0 - c) * mui + c * mus));
}

}  // namespace tp
