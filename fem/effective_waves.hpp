#pragma once
// Waves of the effective medium the plate tests measure: the phase velocity
// and attenuation of a complex modulus, and the quasi-compressional (qP) and
// quasi-shear (qSV) waves of the transversely isotropic medium with a
// vertical axis that C11, C13, C33 and C55 describe.
//
// Time goes as exp(+i omega t), so a passive medium has Im M >= 0 and a
// wave of modulus M and density rho travels as exp(i (omega t - k x)) with
// the complex velocity V = sqrt(M / rho) (principal root) and k = omega / V:
//   phase velocity  v = 1 / Re(1 / V)            (m/s)
//   quality factor  Q = Re M / Im M,   1000/Q = 1000 Im M / Re M
// (an elastic modulus has Q infinite and 1000/Q zero).
#include "fem/plate_tests.hpp"

namespace tp {

// Velocity and attenuation of one wave.
struct EffectiveWave {
  double velocity = 0.0;         // m/s
  double q = 0.0;                // Re M / Im M
  double thousand_over_q = 0.0;  // 1000 Im M / Re M
};

// The wave of the complex modulus m (Pa) in a medium of density rho (kg/m3).
EffectiveWave wave_of_modulus(const cplx& m, const double& rho);

// The qP and qSV waves at one angle off the vertical (the symmetry axis).
struct ObliqueWaves {
  double angle_degrees = 0.0;
  EffectiveWave qp, qsv;
};

// Angles of the table: 0 to 90 degrees every 5.
constexpr int kWaveAngles = 19;
constexpr double kWaveAngleStep = 5.0;

// The qP and qSV waves of the stiffness c (C13 from the vertical test) and
// density rho at the angles 0, 5, ..., 90 degrees off the vertical into
// waves[0..18]. For the direction n = (sin a, cos a) the Christoffel matrix
//   G = [[C11 n1^2 + C55 n3^2, (C13 + C55) n1 n3],
//        [(C13 + C55) n1 n3,   C55 n1^2 + C33 n3^2]]
// has the eigenvalues M = (G11 + G33)/2 +- sqrt(((G11 - G33)/2)^2 + G13^2)
// (principal root): the larger in real part is the qP modulus, the other
// the qSV one, each turned into a wave by wave_of_modulus.
void oblique_waves(const SampleStiffness& c, const double& rho, ObliqueWaves (&waves)[kWaveAngles]);

// The two Christoffel moduli at the angle a (radians) off the vertical:
// qp has the larger real part.
struct ChristoffelModuli {
  cplx qp, qsv;
};
ChristoffelModuli christoffel_moduli(const SampleStiffness& c, const double& angle);

}  // namespace tp
