// Plane-wave velocities and attenuation: the report, the cells it describes,
// the pairing of each velocity with its attenuation, and accuracy of 1000/Q
// at seismic frequencies against a quadruple-precision reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "common/tables.hpp"
#include "driver/stages.hpp"
#include "planewave/veloc_aten.hpp"
#include "support/sample.hpp"
#include "support/testing.hpp"

namespace {

using tp::cplx;

// One cell's coefficients: mass (kg/m3), friction (kg/(m3 s)), elastic (Pa).
using Coefs = tp::testing::CellCoefficients;

// The values of a cell in the order mass, friction, elastic.
Coefs cell_of(std::initializer_list<double> v) {
  const double* x = v.begin();
  Coefs c;
  c.p11 = x[0], c.p12 = x[1], c.p13 = x[2], c.p22 = x[3], c.p23 = x[4], c.p33 = x[5];
  c.f11 = x[6], c.f12 = x[7], c.f22 = x[8];
  c.lambda1 = x[9], c.lambda3 = x[10], c.mu1 = x[11], c.mu3 = x[12], c.mu13 = x[13];
  c.b1 = x[14], c.b2 = x[15], c.m = x[16], c.d3 = x[17];
  return c;
}

// Water-saturated sand with ice, and a shaley sand (shale as solid 3), both
// tight (about a millidarcy, so large friction): at 1 Hz their slow waves
// are thousands of times slower than the fast one.
const Coefs kIceSand = cell_of({1800, -100, -30, 400, -50, 300, 1e11, -2e10, 1e10, 5e9, 3e9, 6e9,
                                2e9, 1e9, 1e9, 3e8, 5e9, 3e8});
const Coefs kShaleySand = cell_of({1700, -150, -20, 450, -80, 500, 5e11, -1e11, 1e11, 4e9, 6e9, 5e9,
                                   3e9, 5e8, 2e9, 1e9, 6e9, 5e8});

// Velocities vp1, vp2, vp3, vs1, vs2 and their 1000/Q, in that order.
struct Result {
  double v[5], q[5];
};

// Room for the largest grid of these tests.
tp::testing::CoefficientSet& sized_fields() {
  static tp::testing::CoefficientSet f;
  f.size(4, 3);
  return f;
}
tp::testing::CoefficientSet& fields = sized_fields();

// The driver's plane-wave stage on the first nx by ny cells: its report and
// the waves of the last cell.
Result run(int nx, int ny, double omega, std::string* printed = nullptr) {
  tp::testing::CoefficientSet grid;
  grid.size(nx, ny);
  for (int k = 1; k <= ny; ++k)
    for (int j = 1; j <= nx; ++j) grid.set(j, k, fields.at(j, k));
  tp::testing::CapturedOutput out;
  const tp::CellWaves w = tp::plane_waves(tp::CellGrid{nx, ny, 0.01}, omega, grid);
  if (printed) *printed = out.text();
  Result r;
  for (int n = 0; n < 5; ++n) {
    const tp::Wave& x = n < 3 ? w.p[n] : w.s[n - 3];
    r.v[n] = x.v;
    r.q[n] = x.q1000;
  }
  return r;
}

Result run_cell(const Coefs& c, double omega) {
  fields.set(1, 1, c);
  return run(1, 1, omega);
}

// The numbers after a label on the report lines, in order of appearance.
std::vector<double> numbers_after(const std::string& text, const std::string& label) {
  std::vector<double> out;
  for (std::size_t at = text.find(label); at != std::string::npos; at = text.find(label, at + 1)) {
    out.push_back(std::stod(text.substr(at + label.size())));
  }
  return out;
}

// Quadruple-precision complex numbers for the reference eigenvalues.
struct Q {
  __float128 re = 0, im = 0;
};
Q operator+(Q a, Q b) { return {a.re + b.re, a.im + b.im}; }
Q operator-(Q a, Q b) { return {a.re - b.re, a.im - b.im}; }
Q operator*(Q a, Q b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
Q operator/(Q a, Q b) {
  const __float128 den = b.re * b.re + b.im * b.im;
  return {(a.re * b.re + a.im * b.im) / den, (a.im * b.re - a.re * b.im) / den};
}

// A pencil T - lam E of order n (3: compressional, 2: shear) in quad
// precision; det(T - lam E) vanishes at the squared slownesses.
struct Pencil {
  int n;
  Q t[3][3];
  Q e[3][3];
};

Pencil compressional(const Coefs& c, double omega) {
  const __float128 w = omega, f11 = c.f11 / w, f12 = c.f12 / w, f22 = c.f22 / w;
  const __float128 e14 = (__float128)c.mu13 + c.d3;
  return {3,
          {{{c.p11, -f11}, {c.p12, f12}, {c.p13, f11}},
           {{c.p12, f12}, {c.p22, -f22}, {c.p23, -f12}},
           {{c.p13, f11}, {c.p23, -f12}, {c.p33, -f11}}},
          {{{c.lambda1 + 2 * (__float128)c.mu1}, {c.b1}, {e14}},
           {{c.b1}, {c.m}, {c.b2}},
           {{e14}, {c.b2}, {c.lambda3 + 2 * (__float128)c.mu3}}}};
}

// Shear: the fluid's own entry eliminated from the mass-and-friction terms.
Pencil shear(const Coefs& c, double omega) {
  const Pencil p = compressional(c, omega);
  const Q t11 = p.t[0][0], t12 = p.t[0][1], t13 = p.t[0][2], t22 = p.t[1][1];
  const Q t23 = p.t[1][2], t33 = p.t[2][2], e25{c.mu13 / (__float128)2};
  const Q a25 = t13 - t12 * t23 / t22;
  return {2,
          {{t11 - t12 * t12 / t22, a25}, {a25, t33 - t23 * t23 / t22}},
          {{{c.mu1}, e25}, {e25, {c.mu3}}}};
}

Q pencil_det(const Pencil& p, Q lam, Q scale_t) {
  Q d[3][3];
  for (int r = 0; r < p.n; ++r)
    for (int s = 0; s < p.n; ++s) d[r][s] = scale_t * p.t[r][s] - lam * p.e[r][s];
  if (p.n == 2) return d[0][0] * d[1][1] - d[0][1] * d[1][0];
  return d[0][0] * (d[1][1] * d[2][2] - d[1][2] * d[2][1]) -
         d[0][1] * (d[1][0] * d[2][2] - d[1][2] * d[2][0]) +
         d[0][2] * (d[1][0] * d[2][1] - d[1][1] * d[2][0]);
}

// The waves of a pencil: its squared slownesses by Weierstrass
// (Durand-Kerner) iteration on the quad-precision characteristic polynomial
// from generic starting points, as (velocity, 1000/Q), slowest last.
struct Pair {
  double v, q1000;
};

std::vector<Pair> reference_waves(const Pencil& p) {
  const Q one{1, 0}, zero{0, 0};
  const Q lead = pencil_det(p, one, zero);  // det(-E)
  Q z[3], step{0.4, 0.9}, w = step;
  for (Q& zi : z) zi = w * Q{1e-2, 0}, w = w * step;
  for (int it = 0; it < 2000; ++it)
    for (int i = 0; i < p.n; ++i) {
      Q den = lead;
      for (int k = 0; k < p.n; ++k)
        if (k != i) den = den * (z[i] - z[k]);
      z[i] = z[i] - pencil_det(p, z[i], one) / den;
    }
  std::vector<Pair> out;
  for (int i = 0; i < p.n; ++i) {
    const cplx zs = std::sqrt(cplx((double)z[i].re, (double)z[i].im));
    out.push_back({1.0 / zs.real(), 1000.0 * std::fabs(zs.imag() / zs.real())});
  }
  std::sort(out.begin(), out.end(), [](const Pair& a, const Pair& b) { return a.v > b.v; });
  return out;
}

// True if (v, q1000) is one of the reference waves.
bool is_wave(const std::vector<Pair>& ref, double v, double q1000) {
  for (const Pair& w : ref)
    if (std::fabs(v - w.v) < 1e-9 * w.v && std::fabs(q1000 - w.q1000) < 1e-6 * w.q1000 + 1e-12)
      return true;
  return false;
}

constexpr double kTwoPi = 6.283185307179586;

TEST(PlaneWaves, FastCompressionalWaveIsPhysical) {
  for (const Coefs& c : {kIceSand, kShaleySand}) {
    const Result r = run_cell(c, kTwoPi * 1000.0);
    EXPECT_GT(r.v[0], 1500.0);
    EXPECT_LT(r.v[0], 6000.0);
    for (double q : r.q) EXPECT_GE(q, 0.0);
  }
}

// At 1 Hz the closed-form roots of the characteristic polynomial miss the
// fast wave's 1000/Q of these decks by 35% and 13%, and plain QR by 5% and
// 2%: the small imaginary part must survive eigenvalues 1e7 times larger.
TEST(PlaneWaves, SeismicFrequencyAttenuationMatchesQuadPrecisionReference) {
  for (const Coefs& c : {kIceSand, kShaleySand})
    for (double freq : {1.0, 10.0, 1000.0}) {
      const Result r = run_cell(c, kTwoPi * freq);
      const Pair fast = reference_waves(compressional(c, kTwoPi * freq))[0];
      EXPECT_NEAR(r.v[0], fast.v, 1e-9 * fast.v) << freq << " Hz";
      EXPECT_NEAR(r.q[0], fast.q1000, 0.01 * fast.q1000) << freq << " Hz";
    }
}

// In these decks roots 1 and 2 come out slow-first, and so do the two shear
// roots: the exchange must carry each attenuation along with its velocity.
TEST(PlaneWaves, EachAttenuationTravelsWithItsVelocity) {
  for (const Coefs& c : {kIceSand, kShaleySand})
    for (double freq : {1.0, 1000.0}) {
      const Result r = run_cell(c, kTwoPi * freq);
      const auto p = reference_waves(compressional(c, kTwoPi * freq));
      const auto s = reference_waves(shear(c, kTwoPi * freq));
      EXPECT_GT(r.v[0], r.v[1]);
      EXPECT_GE(r.v[3], r.v[4]);
      for (int n = 0; n < 3; ++n) EXPECT_TRUE(is_wave(p, r.v[n], r.q[n])) << "P" << n + 1;
      // The shear block's Schur complement is formed in double precision,
      // which at 1 Hz leaves S1's tiny 1000/Q to rounding: velocities only.
      for (int n = 3; n < 5; ++n) {
        if (freq > 100.0)
          EXPECT_TRUE(is_wave(s, r.v[n], r.q[n])) << "S" << n - 2 << " at " << freq << " Hz";
        else
          EXPECT_TRUE(is_wave(s, r.v[n], s[n - 3].q1000)) << "S" << n - 2 << " at " << freq;
      }
    }
}

TEST(PlaneWaves, WithoutFrictionShearWavesAreExactlyLossless) {
  Coefs c = kIceSand;
  c.f11 = c.f12 = c.f22 = 0.0;
  const Result r = run_cell(c, kTwoPi * 50.0);
  EXPECT_EQ(r.q[3], 0.0);
  EXPECT_EQ(r.q[4], 0.0);
  for (int n = 0; n < 3; ++n) EXPECT_LT(r.q[n], 1e-6);
}

// Cell (j, k) of a grid whose every cell differs (its shear modulus).
Coefs varied(int j, int k) {
  Coefs c = kShaleySand;
  c.mu1 *= 1.0 + 0.1 * j + 0.01 * k;
  return c;
}

// The report describes the centre cell (nx/2, ny/2); the caller gets the
// last cell (nx, ny). The printed numbers are the computed ones, unrounded.
TEST(PlaneWaves, ReportShowsCentreCellAndCallerGetsLastCell) {
  const int nx = 4, ny = 3;
  const double omega = kTwoPi * 100.0;
  const Result centre = run_cell(varied(2, 1), omega);
  const Result last = run_cell(varied(nx, ny), omega);
  for (int k = 1; k <= ny; ++k)
    for (int j = 1; j <= nx; ++j) fields.set(j, k, varied(j, k));
  std::string text;
  const Result r = run(nx, ny, omega, &text);
  for (int n = 0; n < 5; ++n) {
    EXPECT_EQ(r.v[n], last.v[n]);
    EXPECT_EQ(r.q[n], last.q[n]);
  }
  const char* vlabel[5] = {"vp1 = ", "vp2 = ", "vp3 = ", "vs1 = ", "vs2 = "};
  const char* qlabel[5] = {"1000/qp1 ", "1000/qp2 ", "1000/qp3 ", "1000/qs1 ", "1000/qs2 "};
  for (int n = 0; n < 5; ++n) {
    EXPECT_EQ(numbers_after(text, vlabel[n]), std::vector<double>{centre.v[n]});
    EXPECT_EQ(numbers_after(text, qlabel[n]), std::vector<double>{centre.q[n]});
  }
  EXPECT_EQ(numbers_after(text, "nx/2,ny/2 "), (std::vector<double>{2, 2}));
  EXPECT_DOUBLE_EQ(numbers_after(text, " Q1 = ")[0], 1000.0 / centre.q[0]);
  // Banner 5 lines, compressional report 14, shear report 12, closing 1.
  const auto lines = tp::testing::split_lines(text);
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[0], " ********************************************");
  EXPECT_EQ(lines[2].rfind("  ANGULAR FREQUENCY :   628.3", 0), 0u) << lines[2];
  EXPECT_EQ(lines[5], " nx/2,ny/2  2 1");
  EXPECT_EQ(lines[19], " nx/2,ny/2  2 1");
  EXPECT_EQ(lines.back(), "");
}

// A cell with the coefficients of the cell before keeps its slownesses;
// one that differs from it in any single coefficient, however slightly,
// gets its own: the last cell's waves are those of that cell alone.
TEST(PlaneWaves, CellDifferingFromItsNeighbourInAnyOneCoefficientIsSolvedAfresh) {
  const double omega = kTwoPi * 100.0;
  double Coefs::*const member[18] = {
      &Coefs::p11, &Coefs::p12,  &Coefs::p13, &Coefs::p22,     &Coefs::p23,     &Coefs::p33,
      &Coefs::f11, &Coefs::f12,  &Coefs::f22, &Coefs::lambda1, &Coefs::lambda3, &Coefs::mu1,
      &Coefs::mu3, &Coefs::mu13, &Coefs::b1,  &Coefs::b2,      &Coefs::m,       &Coefs::d3};
  for (double Coefs::*c : member) {
    Coefs other = kIceSand;
    other.*c *= 1.0 + 1e-6;
    const Result alone = run_cell(other, omega);
    fields.set(1, 1, kIceSand);
    fields.set(2, 1, other);
    const Result r = run(2, 1, omega);
    for (int n = 0; n < 5; ++n) {
      EXPECT_EQ(r.v[n], alone.v[n]);
      EXPECT_EQ(r.q[n], alone.q[n]);
    }
  }
  const Result alone = run_cell(kShaleySand, omega);
  for (int j = 1; j <= 4; ++j) fields.set(j, 1, kShaleySand);
  const Result r = run(4, 1, omega);
  for (int n = 0; n < 5; ++n) EXPECT_EQ(r.v[n], alone.v[n]);
}

// With a single column nx/2 is 0: no cell is the centre, so only the banner
// and the closing empty line are printed.
TEST(PlaneWaves, NarrowSampleGetsBannerButNoReport) {
  for (int k = 1; k <= 3; ++k) fields.set(1, k, varied(1, k));
  std::string text;
  run(1, 3, kTwoPi * 100.0, &text);
  const auto lines = tp::testing::split_lines(text);
  ASSERT_EQ(lines.size(), 6u) << text;
  EXPECT_EQ(lines[4], " ********************************************");
  EXPECT_EQ(lines[5], "");
}

}  // namespace
