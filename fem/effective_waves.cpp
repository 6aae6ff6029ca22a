// Phase velocities and 1000/Q of the effective medium.
#include "fem/effective_waves.hpp"

#include <cmath>
#include <numbers>
#include <utility>

namespace tp {

EffectiveWave wave_of_modulus(const cplx& m, const double& rho) {
  const cplx velocity = csqrt(m / rho);
  EffectiveWave w;
  w.velocity = 1.0 / cdiv(cplx(1.0, 0.0), velocity).real();
  w.q = m.real() / m.imag();
  w.thousand_over_q = 1000.0 * m.imag() / m.real();
  return w;
}

ChristoffelModuli christoffel_moduli(const SampleStiffness& c, const double& angle) {
  const double n1 = std::sin(angle), n3 = std::cos(angle);
  const cplx g11 = c.c11 * (n1 * n1) + c.c55 * (n3 * n3);
  const cplx g33 = c.c55 * (n1 * n1) + c.c33 * (n3 * n3);
  const cplx g13 = (c.c13 + c.c55) * (n1 * n3);
  const cplx mean = 0.5 * (g11 + g33);
  const cplx half_gap = 0.5 * (g11 - g33);
  const cplx root = csqrt(half_gap * half_gap + g13 * g13);
  ChristoffelModuli m{mean + root, mean - root};
  if (m.qsv.real() > m.qp.real()) std::swap(m.qp, m.qsv);
  return m;
}

void oblique_waves(const SampleStiffness& c, const double& rho,
                   ObliqueWaves (&waves)[kWaveAngles]) {
  for (int i = 0; i < kWaveAngles; ++i) {
    const double degrees = kWaveAngleStep * i;
    const ChristoffelModuli m = christoffel_moduli(c, degrees * std::numbers::pi / 180.0);
    waves[i].angle_degrees = degrees;
    waves[i].qp = wave_of_modulus(m.qp, rho);
    waves[i].qsv = wave_of_modulus(m.qsv, rho);
  }
}

}  // namespace tp
