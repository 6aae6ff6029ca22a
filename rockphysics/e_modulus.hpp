#pragma once
// Elastic coefficients of the three-phase medium, cell by cell.
#include "common/tables.hpp"

namespace tp {

// Fills the nine elastic coefficients (Pa) of every cell from the per-layer
// constants and phi, for key_model 0 (permafrost) or 1 (shaley sand); reports
// cell (1, 1); in case 1 writes the coefficient maps and echoes
// "elast_coef_sand". Stops 45678, 555, 12345, 12346, 45687 or 45688.
void e_modulus(const int& nx, const int& ny, const int& nmat, const IntField& matnum,
               const RealLayers& phi_a, const RealField& phi, const RealLayers& s3,
               const RealLayers& akf, const RealLayers& eta, const double& omega,
               const RealLayers& ak_air, const RealLayers& xmu_air, const RealLayers& ak_s3,
               const RealLayers& xmu_s3, const RealLayers& ak_s1, const RealLayers& xmu_s1,
               const int& key_model, RealField& lambda1, RealField& lambda3, RealField& mu1,
               RealField& mu3, RealField& mu13, RealField& b1, RealField& b2, RealField& m,
               RealField& d3, const RealLayers& ro1, const RealLayers& ro2, const RealLayers& ro3,
               const int& icase);

}  // namespace tp
