// The element matrix and load: the reference entries of an interior cell,
// agreement of every entry with the weak form integrated numerically, the
// boundary rows and the load, and how the entries scale with h and omega.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "fem/local_sys.hpp"
#include "support/sample.hpp"

namespace tp {
namespace {

// One cell's coefficients, distinct enough that a swapped coefficient or a
// wrong block shows: elastic in Pa, friction in kg/(m^3 s).
struct Cell : testing::CellCoefficients {
  Cell() {
    lambda1 = 3.1e9, lambda3 = 4.7e9, mu1 = 2.3e9, mu3 = 1.9e9, mu13 = 0.7e9;
    b1 = 5.3e9, b2 = 1.3e9, m = 8.9e9, d3 = 0.6e9;
    f11 = 2.9e7, f12 = 1.7e7, f22 = 4.1e7;
  }
};

constexpr double kOmega = 2.0 * M_PI * 50.0;
constexpr double kH = 0.02;

// The element of cell (j, k) of an nx by ny grid holding c there; c takes
// back the cell's coefficients as local_sys leaves them.
void element(Cell& c, int j, int k, int nx, int ny, double omega, double h, ElementMatrix& a,
             ElementVector& b) {
  static testing::CoefficientSet co;
  co.size(nx, ny);
  co.set(j, k, c);
  local_sys(CellGrid{nx, ny, h}, j, k, omega, co, a, b);
  static_cast<testing::CellCoefficients&>(c) = co.at(j, k);
}

// Entry agrees with the closed form to rounding, part by part.
void expect_close(const cplx& got, const cplx& want, const char* what) {
  const double tol = 1e-14 * (std::abs(want.real()) + std::abs(want.imag()) + 1.0);
  EXPECT_NEAR(got.real(), want.real(), tol) << what;
  EXPECT_NEAR(got.imag(), want.imag(), tol) << what;
}

// The weak form evaluated pointwise for local unknowns l (test) and n
// (trial) and integrated by 2 x 2 Gauss points, exact for these bilinear
// products. An independent route to every entry of K.
struct Basis {
  int phase = 0;  // 1 solid 1, 2 fluid, 3 solid 3
  double vx = 0, vy = 0, div = 0, exx = 0, eyy = 0, exy = 0;
};

Basis basis(int l, double x, double y, double h) {
  const double xi = x / h, eta = y / h;
  Basis f;
  if (l >= 9 && l <= 12) {
    f.phase = 2;
    const double value[4] = {1 - xi, xi, 1 - eta, eta};
    const double sign[4] = {-1, 1, -1, 1};
    (l <= 10 ? f.vx : f.vy) = value[l - 9];
    f.div = sign[l - 9] / h;
    return f;
  }
  f.phase = l <= 8 ? 1 : 3;
  const int idx = l <= 8 ? l - 1 : l - 13;
  const int corner = idx % 4;
  const bool along_y = idx >= 4;
  const double phi[4] = {(1 - xi) * (1 - eta), xi * (1 - eta), xi * eta, (1 - xi) * eta};
  const double dx[4] = {-(1 - eta) / h, (1 - eta) / h, eta / h, -eta / h};
  const double dy[4] = {-(1 - xi) / h, -xi / h, xi / h, (1 - xi) / h};
  if (along_y) {
    f.vy = phi[corner];
    f.div = f.eyy = dy[corner];
    f.exy = 0.5 * dx[corner];
  } else {
    f.vx = phi[corner];
    f.div = f.exx = dx[corner];
    f.exy = 0.5 * dy[corner];
  }
  return f;
}

cplx weak_form(const Cell& c, int l, int n, double omega, double h) {
  const double g = 0.5 / std::sqrt(3.0);
  const double pts[2] = {h * (0.5 - g), h * (0.5 + g)};
  const double w = 0.25 * h * h;
  cplx sum = 0.0;
  for (double x : pts) {
    for (double y : pts) {
      const Basis t = basis(l, x, y, h), u = basis(n, x, y, h);
      const double dd = t.div * u.div;
      const double ee = t.exx * u.exx + t.eyy * u.eyy + 2 * t.exy * u.exy;
      const double vv = t.vx * u.vx + t.vy * u.vy;
      double stiff = 0, fric = 0;
      if (t.phase != 2 && u.phase != 2) {
        if (t.phase == 1 && u.phase == 1) stiff = c.lambda1 * dd + 2 * c.mu1 * ee;
        if (t.phase == 3 && u.phase == 3) stiff = c.lambda3 * dd + 2 * c.mu3 * ee;
        if (t.phase != u.phase) stiff = c.d3 * dd + c.mu13 * ee;
        fric = (t.phase == u.phase ? c.f11 : -c.f11) * vv;
      } else if (t.phase == 2 && u.phase == 2) {
        stiff = c.m * dd;
        fric = c.f22 * vv;
      } else {
        const bool solid1 = t.phase == 1 || u.phase == 1;
        stiff = (solid1 ? c.b1 : c.b2) * dd;
        fric = (solid1 ? -c.f12 : c.f12) * vv;
      }
      sum += w * cplx(stiff, omega * fric);
    }
  }
  return sum;
}

ElementMatrix a, a2;
ElementVector b, b2;

TEST(ElementMatrix, InteriorCellReproducesReferenceEntries) {
  Cell c;
  element(c, 2, 2, 3, 3, kOmega, kH, a, b);
  const double wh = kOmega * kH * kH;
  const auto I = cplx(0.0, 1.0);
  const double l1 = c.lambda1, mu1 = c.mu1, f11 = c.f11, f12 = c.f12;
  const struct {
    int l, n;
    cplx want;
  } refs[] = {
      {1, 1, l1 / 3 + mu1 + I * wh * f11 / 9.0},
      {1, 2, -l1 / 3 - mu1 / 2 + I * wh * f11 / 18.0},
      {1, 3, -l1 / 6 - mu1 / 2 + I * wh * f11 / 36.0},
      {1, 4, l1 / 6 + I * wh * f11 / 18.0},
      {1, 5, (l1 + mu1) / 4},
      {1, 6, (l1 - mu1) / 4},
      {1, 7, -(l1 + mu1) / 4},
      {1, 8, (mu1 - l1) / 4},
      {1, 9, c.b1 / 2 - I * wh * f12 / 6.0},
      {1, 10, -c.b1 / 2 - I * wh * f12 / 12.0},
      {1, 11, c.b1 / 2},
      {1, 12, -c.b1 / 2},
      {1, 13, c.d3 / 3 + c.mu13 / 2 - I * wh * f11 / 9.0},
      {1, 14, -c.d3 / 3 - c.mu13 / 4 - I * wh * f11 / 18.0},
      {1, 16, c.d3 / 6 - I * wh * f11 / 18.0},
      {1, 17, c.d3 / 4 + c.mu13 / 8},
      {4, 10, -c.b1 / 2 - I * wh * f12 / 12.0},
      {9, 9, c.m + I * wh * c.f22 / 3.0},
      {9, 10, -c.m + I * wh * c.f22 / 6.0},
      {9, 11, c.m},
      {9, 12, -c.m},
      {9, 13, c.b2 / 2 + I * wh * f12 / 6.0},
      {11, 13, c.b2 / 2},
      {11, 14, -c.b2 / 2},
      {11, 17, c.b2 / 2 + I * wh * f12 / 6.0},
      {13, 13, c.lambda3 / 3 + c.mu3 + I * wh * f11 / 9.0},
  };
  for (const auto& r : refs) {
    SCOPED_TRACE(::testing::Message() << "A(" << r.l << "," << r.n << ")");
    expect_close(a(r.l, r.n), r.want, "");
  }
  for (int l = 1; l <= 20; ++l) EXPECT_EQ(b(l), cplx(0.0, 0.0));
}

TEST(ElementMatrix, InteriorCellIsTheSymmetricWeakFormEntryForEntry) {
  Cell c;
  element(c, 2, 2, 3, 3, kOmega, kH, a, b);
  for (int l = 1; l <= 20; ++l) {
    for (int n = 1; n <= 20; ++n) {
      SCOPED_TRACE(::testing::Message() << "A(" << l << "," << n << ")");
      const cplx want = weak_form(c, l, n, kOmega, kH);
      EXPECT_NEAR(a(l, n).real(), want.real(), 1e-4);  // entries ~1e9 Pa
      EXPECT_NEAR(a(l, n).imag(), want.imag(), 1e-7);  // entries ~1e5 Pa
      EXPECT_EQ(a(l, n), a(n, l));                     // symmetric, not Hermitian
    }
  }
}

// A fixed row holds its diagonal only; a free row below it has a zero in
// that column, a free row above it keeps its regular entry.
TEST(ElementMatrix, LeftSideCellFixesRowsButNotColumnsAbove) {
  Cell c;
  element(c, 2, 2, 3, 3, kOmega, kH, a2, b2);  // interior, for comparison
  element(c, 1, 2, 3, 3, kOmega, kH, a, b);
  for (int l : {1, 4, 9, 13, 16}) {
    for (int n = 1; n <= 20; ++n) {
      if (n == l) {
        EXPECT_EQ(a(l, l), a2(l, l)) << "diagonal of fixed row " << l;
      } else {
        EXPECT_EQ(a(l, n), cplx(0.0, 0.0)) << "A(" << l << "," << n << ")";
      }
    }
  }
  expect_close(a(1, 1), c.lambda1 / 3 + c.mu1 + cplx(0, kOmega * kH * kH * c.f11 / 9), "A11");
  expect_close(a(9, 9), c.m + cplx(0, kOmega * kH * kH * c.f22 / 3), "A99");
  EXPECT_EQ(a(2, 1), cplx(0.0, 0.0));
  EXPECT_EQ(a(2, 4), a2(2, 4));
  EXPECT_EQ(a(2, 9), a2(2, 9));         // row above fixed unknown 9: regular
  EXPECT_EQ(a(10, 9), cplx(0.0, 0.0));  // row below it: zero
  EXPECT_EQ(a(10, 4), cplx(0.0, 0.0));
  EXPECT_EQ(a(2, 3), a2(2, 3));
  for (int l = 1; l <= 20; ++l) EXPECT_EQ(b(l), cplx(0.0, 0.0));
}

// On a single cell all four sides apply at once: only the y displacements of
// the top corners stay free, and they carry the load.
TEST(ElementMatrix, SingleCellGridFixesAllButTheLoadedTopCorners) {
  Cell c;
  element(c, 2, 2, 3, 3, kOmega, kH, a2, b2);
  element(c, 1, 1, 1, 1, kOmega, kH, a, b);
  const int free_locals[] = {7, 8, 19, 20};
  auto is_free = [&](int l) { return l == 7 || l == 8 || l == 19 || l == 20; };
  for (int l = 1; l <= 20; ++l) {
    if (is_free(l)) {
      EXPECT_EQ(b(l), cplx(-kH / 2, 0.0)) << l;
    } else {
      EXPECT_EQ(b(l), cplx(0.0, 0.0)) << l;
      for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(a(l, n), n == l ? a2(l, l) : cplx(0.0, 0.0)) << l << "," << n;
      }
    }
  }
  for (int l : free_locals) {
    for (int n = 1; n <= 20; ++n) {
      // Columns of fixed unknowns left of the diagonal are zero; all
      // others are the regular entries.
      const cplx want =
          (n < l && !is_free(n)) ? cplx(0.0, 0.0) : a2(std::min(l, n), std::max(l, n));
      EXPECT_EQ(a(l, n), want) << l << "," << n;
    }
  }
}

TEST(ElementMatrix, TopCellLoadsBothSolidsDownAtTheTopCornersOnly) {
  Cell c;
  element(c, 2, 3, 3, 3, kOmega, kH, a, b);
  for (int l = 1; l <= 20; ++l) {
    const bool loaded = l == 7 || l == 8 || l == 19 || l == 20;
    EXPECT_EQ(b(l), loaded ? cplx(-kH / 2, 0.0) : cplx(0.0, 0.0)) << l;
  }
  // Only the fluid crossing the top is fixed there.
  for (int n = 1; n <= 20; ++n) {
    if (n != 12) {
      EXPECT_EQ(a(12, n), cplx(0.0, 0.0));
    }
  }
  EXPECT_NE(a(7, 8), cplx(0.0, 0.0));
}

// Inertia is off: whatever mass coefficients come in, the matrix is the same
// and the cell's entries are left as they came (data flows one way).
TEST(ElementMatrix, MassCoefficientsAreIgnoredAndLeftAsTheyCame) {
  Cell c;
  element(c, 2, 2, 3, 3, kOmega, kH, a2, b2);
  Cell heavy;
  heavy.p11 = 2.0e3, heavy.p12 = -1.0e2, heavy.p13 = 3.0e2;
  heavy.p22 = 1.0e3, heavy.p23 = 5.0e1, heavy.p33 = 2.5e3;
  element(heavy, 2, 2, 3, 3, kOmega, kH, a, b);
  EXPECT_EQ(heavy.p11, 2.0e3);
  EXPECT_EQ(heavy.p33, 2.5e3);
  for (int l = 1; l <= 20; ++l) {
    for (int n = 1; n <= 20; ++n) EXPECT_EQ(a(l, n), a2(l, n));
  }
}

// Stiffness has no length scale, friction integrates over the area and the
// load over the edge; doubling h is exact in binary.
TEST(ElementMatrix, DoublingTheCellSideScalesFrictionByFourAndLoadByTwo) {
  Cell c;
  element(c, 2, 3, 3, 3, kOmega, kH, a, b);
  element(c, 2, 3, 3, 3, kOmega, 2 * kH, a2, b2);
  for (int l = 1; l <= 20; ++l) {
    for (int n = 1; n <= 20; ++n) {
      EXPECT_EQ(a2(l, n).real(), a(l, n).real());
      EXPECT_EQ(a2(l, n).imag(), 4 * a(l, n).imag());
    }
    EXPECT_EQ(b2(l), 2.0 * b(l));
  }
}

TEST(ElementMatrix, ZeroFrequencyGivesARealMatrix) {
  Cell c;
  element(c, 2, 2, 3, 3, 0.0, kH, a, b);
  for (int l = 1; l <= 20; ++l) {
    for (int n = 1; n <= 20; ++n) EXPECT_EQ(a(l, n).imag(), 0.0);
  }
}

}  // namespace
}  // namespace tp
