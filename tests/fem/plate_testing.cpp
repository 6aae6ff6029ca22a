#include "plate_testing.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "rockphysics/e_modulus.hpp"
#include "rockphysics/mass_visco_coef.hpp"

namespace tp::platetest {

void set_grid(testing::RockDeck& r, int nx, int ny, double phi) {
  r.nx = nx;
  r.ny = ny;
  r.matnum.resize(nx, ny);
  r.phi.resize(nx, ny);
  for (int k = 1; k <= ny; ++k) {
    for (int j = 1; j <= nx; ++j) {
      r.matnum(j, k) = 1;
      r.phi(j, k) = phi;
    }
  }
}

void set_bands(testing::RockDeck& r, const std::vector<double>& bands) {
  const int n = static_cast<int>(bands.size());
  for (int k = 1; k <= r.ny; ++k) {
    const int band = (k - 1) * n / r.ny;
    for (int j = 1; j <= r.nx; ++j) r.phi(j, k) = bands[band];
  }
}

void set_fractal(testing::RockDeck& r, unsigned seed, double lo, double hi) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> phase(0.0, 2.0 * std::numbers::pi);
  std::normal_distribution<double> amplitude(0.0, 1.0);
  const int modes = 6;
  double a[modes + 1][modes + 1], p[modes + 1][modes + 1];
  for (int m = 0; m <= modes; ++m) {
    for (int n = 0; n <= modes; ++n) {
      const double k = std::hypot(m, n);
      a[m][n] = k == 0.0 ? 0.0 : amplitude(gen) / std::pow(k, 1.5);
      p[m][n] = phase(gen);
    }
  }
  std::vector<double> v(static_cast<size_t>(r.nx) * r.ny);
  double vmin = 1e300, vmax = -1e300;
  for (int k = 1; k <= r.ny; ++k) {
    for (int j = 1; j <= r.nx; ++j) {
      const double x = (j - 0.5) / r.nx, y = (k - 0.5) / r.ny;
      double s = 0.0;
      for (int m = 0; m <= modes; ++m) {
        for (int n = 0; n <= modes; ++n) {
          s += a[m][n] * std::cos(2.0 * std::numbers::pi * (m * x + n * y) + p[m][n]);
        }
      }
      v[(k - 1) * r.nx + (j - 1)] = s;
      vmin = std::min(vmin, s);
      vmax = std::max(vmax, s);
    }
  }
  for (int k = 1; k <= r.ny; ++k) {
    for (int j = 1; j <= r.nx; ++j) {
      const double t = (v[(k - 1) * r.nx + (j - 1)] - vmin) / (vmax - vmin);
      r.phi(j, k) = lo + (hi - lo) * t;
    }
  }
}

void coefficients(const testing::RockDeck& r, double h, double omega, RockSample& s,
                  ElasticForm form) {
  s.deck = r;
  Deck d;
  Sample sample;
  testing::to_run(r, d, sample);
  d.h = h;
  sample.grid.h = h;
  s.grid = sample.grid;
  s.co.size(r.nx, r.ny);
  ElasticReport elastic;
  const CellFailure e = e_modulus(d, sample, omega, s.co, elastic, ElasticOptions{form, true});
  ASSERT_FALSE(e) << "e_modulus stops " << e.code << " at cell " << e.j << ", " << e.k;
  s.first = elastic.c;
  Fractions last;
  MassReport masses;
  const CellFailure m = mass_visco_coef(d, sample, s.co, last, masses);
  ASSERT_FALSE(m) << "mass_visco_coef stops " << m.code << " at cell " << m.j << ", " << m.k;
}

double relative(const cplx& a, const cplx& b) { return std::abs(a - b) / std::abs(b); }

}  // namespace tp::platetest
