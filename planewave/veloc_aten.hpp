#pragma once
// Closed-form phase velocities and attenuation of the five plane waves (three
// compressional, two shear) of the three-phase medium, cell by cell.
#include "common/tables.hpp"

namespace tp {

// For every cell (k outer, j inner) the velocities (m/s) and 1000/Q of the
// waves P1, P2, P3, S1, S2 at angular frequency omega (rad/s), from the mass
// (kg/m3), friction (kg/(m3 s)) and elastic (Pa) coefficients of the cell.
// Prints the banner at cell (1, 1) and the wave report at (nx/2, ny/2);
// returns the values of cell (nx, ny). Stops 2000..2004 on a velocity <= 0.
void veloc_aten(const int& nx, const int& ny, const double& omega, const RealField& p11,
                const RealField& p12, const RealField& p13, const RealField& p22,
                const RealField& p23, const RealField& p33, const RealField& f11,
                const RealField& f12, const RealField& f22, const RealField& lambda1,
                const RealField& lambda3, const RealField& mu1, const RealField& mu3,
                const RealField& mu13, const RealField& b1, const RealField& b2,
                const RealField& m, const RealField& d3, double& vp1, double& vp2, double& vp3,
                double& vs1, double& vs2, double& q1000_p1, double& q1000_p2,
                double& q1000_p3, double& q1000_s1, double& q1000_s2);

}  // namespace tp
