#pragma once
// Kuster-Toksoz moduli of a host with spherical inclusions.

namespace tp {

// Effective bulk and shear moduli (k, mu) of a host (ks, mus) holding
// spherical inclusions (ki, mui) at volume concentration c. Pure function.
void kt(const double& ks, const double& mus, const double& ki, const double& mui, const double& c,
        double& k, double& mu);

}  // namespace tp
