// Waves of the effective medium: the velocity and attenuation of a complex
// modulus, the qP and qSV moduli of the Christoffel equation, and the
// sample's density from every cell's own fractions.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "fem/effective_waves.hpp"
#include "plate_testing.hpp"
#include "rockphysics/sample_density.hpp"

namespace tp {
namespace {

// M = |M| exp(i phi): V = sqrt(|M| / rho) exp(i phi / 2), so the phase
// velocity 1 / Re(1 / V) is sqrt(|M| / rho) / cos(phi / 2) and a modulus
// with Im M / Re M = 1 / Q0 has 1000/Q = 1000 / Q0.
TEST(EffectiveWaves, ModulusGivesPhaseVelocityAndAttenuation) {
  const double rho = 2300.0;
  for (double q0 : {5.0, 40.0, 1.0e6}) {
    const cplx m = 2.0e10 * cplx(1.0, 1.0 / q0);
    const EffectiveWave w = wave_of_modulus(m, rho);
    const double want = std::sqrt(std::abs(m) / rho) / std::cos(0.5 * std::arg(m));
    EXPECT_NEAR(w.velocity, want, 1e-12 * want) << "Q " << q0;
    EXPECT_NEAR(w.q, q0, 1e-9 * q0);
    EXPECT_NEAR(w.thousand_over_q, 1000.0 / q0, 1e-12 * 1000.0 / q0);
  }
  const EffectiveWave elastic = wave_of_modulus(cplx(2.0e10, 0.0), rho);
  EXPECT_DOUBLE_EQ(elastic.velocity, std::sqrt(2.0e10 / rho));
  EXPECT_EQ(elastic.thousand_over_q, 0.0);
  EXPECT_TRUE(std::isinf(elastic.q));
}

// An isotropic stiffness has the same qP (C11) and qSV (C55) modulus in
// every direction.
TEST(EffectiveWaves, IsotropicStiffnessIsTheSameAtEveryAngle) {
  SampleStiffness c;
  c.c55 = cplx(9.0e9, 3.0e7);
  c.c13 = cplx(1.2e10, 5.0e7);
  c.c11 = c.c33 = c.c13 + 2.0 * c.c55;
  ObliqueWaves w[kWaveAngles];
  oblique_waves(c, 2000.0, w);
  const EffectiveWave p = wave_of_modulus(c.c11, 2000.0), s = wave_of_modulus(c.c55, 2000.0);
  for (const ObliqueWaves& a : w) {
    EXPECT_NEAR(a.qp.velocity, p.velocity, 1e-10 * p.velocity) << a.angle_degrees;
    EXPECT_NEAR(a.qsv.velocity, s.velocity, 1e-10 * s.velocity) << a.angle_degrees;
    EXPECT_NEAR(a.qp.thousand_over_q, p.thousand_over_q, 1e-8) << a.angle_degrees;
    EXPECT_NEAR(a.qsv.thousand_over_q, s.thousand_over_q, 1e-8) << a.angle_degrees;
  }
  EXPECT_EQ(w[0].angle_degrees, 0.0);
  EXPECT_EQ(w[kWaveAngles - 1].angle_degrees, 90.0);
}

// A transversely isotropic stiffness: at every angle both moduli solve
// det(G - M I) = 0 for the Christoffel matrix G of the direction (n1 across
// the axis, n3 along it), and qP is the faster.
TEST(EffectiveWaves, ChristoffelModuliOfTransverselyIsotropicStiffness) {
  SampleStiffness c;
  c.c11 = cplx(3.4e10, 2.0e8);
  c.c33 = cplx(2.6e10, 4.0e8);
  c.c13 = cplx(8.0e9, 1.0e8);
  c.c55 = cplx(7.0e9, 6.0e7);
  for (int degrees = 0; degrees <= 90; degrees += 5) {
    const double a = degrees * std::numbers::pi / 180.0;
    const double sx = std::sin(a), cz = std::cos(a);
    const cplx g11 = c.c11 * sx * sx + c.c55 * cz * cz, g33 = c.c55 * sx * sx + c.c33 * cz * cz;
    const cplx g13 = (c.c13 + c.c55) * sx * cz;
    const ChristoffelModuli m = christoffel_moduli(c, a);
    for (const cplx& mm : {m.qp, m.qsv}) {
      EXPECT_LT(std::abs((g11 - mm) * (g33 - mm) - g13 * g13), 1e-12 * std::norm(c.c11)) << degrees;
    }
    EXPECT_GT(m.qp.real(), m.qsv.real()) << degrees;
  }
}

// The density of the sample averages every cell with its own fractions:
// it equals the mean of the rigid-motion mass p11 + 2 p13 + p33 of the
// cells, which the mass routine builds from the same fractions.
TEST(SampleDensity, AveragesEveryCellsOwnFractions) {
  for (int model = 0; model <= 1; ++model) {
    testing::RockDeck r =
        model == 0 ? testing::permafrost_deck(7, 5) : testing::shaley_sand_deck(7, 5);
    platetest::set_fractal(r, 7 + model, 0.04, 0.27);
    platetest::RockSample s;
    platetest::coefficients(r, 0.01, 100.0, s);
    double mass = 0.0;
    for (int j = 1; j <= 7; ++j) {
      for (int k = 1; k <= 5; ++k) mass += s.co.p11(j, k) + 2.0 * s.co.p13(j, k) + s.co.p33(j, k);
    }
    Deck d;
    Sample sample;
    testing::to_run(r, d, sample);
    double rho = 0.0;
    ASSERT_FALSE(sample_density(d, sample, rho));
    EXPECT_NEAR(rho, mass / 35.0, 1e-12 * rho) << "model " << model;
  }
}

}  // namespace
}  // namespace tp
