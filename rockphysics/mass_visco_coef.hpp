#pragma once
// Mass and viscous-friction coefficients of the three-phase medium.
#include "common/tables.hpp"

namespace tp {

// Fills the six mass coefficients (kg/m3) and three friction coefficients of
// every cell for key_model 0 (permafrost) or 1 (shaley sand); returns the
// fractions s1, s3_matrix, phi1, phi3 of cell (nx, ny); reports cell (1, 1);
// in case 1 echoes "b11_b22_b12_sand" and writes the friction maps.
// Stops 45678, 555, 99999 or 99998.
void mass_visco_coef(const int& nx, const int& ny, const int& nmat, const IntField& matnum,
                     const RealLayers& phi_a, const RealField& phi, const RealLayers& s3,
                     const RealLayers& eta, const double& omega, const int& key_model,
                     const RealLayers& ro1, const RealLayers& ro2, const RealLayers& ro3,
                     const RealLayers& capa_1_0, const RealLayers& capa_3_0,
                     const RealLayers& rs1, const RealLayers& rs3, const RealLayers& coef_b13,
                     RealField& p11, RealField& p12, RealField& p13, RealField& p22,
                     RealField& p23, RealField& p33, RealField& f11, RealField& f12,
                     RealField& f22, double& s1, double& s3_matrix, double& phi1, double& phi3,
                     const int& icase);

}  // namespace tp
