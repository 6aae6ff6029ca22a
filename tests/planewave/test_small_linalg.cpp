// The cubic, the 3 by 3 eigenvalues and the bordering inverse.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "planewave/small_linalg.hpp"

namespace {

using tp::cplx;

cplx random_cplx(std::mt19937& gen) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const double re = u(gen);
  return {re, u(gen)};
}

cplx char_det(const tp::Cmat3& s, const cplx& lam) {
  tp::Cmat3 d = s;
  for (int i = 1; i <= 3; ++i) d(i, i) -= lam;
  return d(1, 1) * (d(2, 2) * d(3, 3) - d(2, 3) * d(3, 2)) -
         d(1, 2) * (d(2, 1) * d(3, 3) - d(2, 3) * d(3, 1)) +
         d(1, 3) * (d(2, 1) * d(3, 2) - d(2, 2) * d(3, 1));
}

// Cardano's roots of the characteristic polynomial of s, in their order.
void cardano_roots(const tp::Cmat3& s, cplx x[3]) {
  const cplx t = s(1, 1) + s(2, 2) + s(3, 3);
  const cplx m = s(1, 1) * s(2, 2) + s(1, 1) * s(3, 3) + s(2, 2) * s(3, 3) - s(1, 2) * s(2, 1) -
                 s(1, 3) * s(3, 1) - s(2, 3) * s(3, 2);
  tp::cubeq2(1.0, -t, m, -char_det(s, 0.0), x[0], x[1], x[2]);
}

TEST(Cubic, CubeRootsOfUnityComeInFixedOrder) {
  cplx x1, x2, x3;
  tp::cubeq2(1.0, 0.0, 0.0, -1.0, x1, x2, x3);
  const double h = std::sqrt(3.0) / 2.0;
  EXPECT_NEAR(std::abs(x1 - cplx(1.0, 0.0)), 0.0, 1e-15);
  EXPECT_NEAR(std::abs(x2 - cplx(-0.5, h)), 0.0, 1e-15);
  EXPECT_NEAR(std::abs(x3 - cplx(-0.5, -h)), 0.0, 1e-15);
}

TEST(Cubic, RandomComplexCubicsAreSolvedBySubstitution) {
  std::mt19937 gen(11);
  for (int trial = 0; trial < 200; ++trial) {
    const cplx a = random_cplx(gen) + 2.0, b = random_cplx(gen), c = random_cplx(gen),
               d = random_cplx(gen);
    cplx x[3];
    tp::cubeq2(a, b, c, d, x[0], x[1], x[2]);
    for (const cplx& r : x) {
      const double scale =
          std::abs(a * r * r * r) + std::abs(b * r * r) + std::abs(c * r) + std::abs(d);
      // Cardano is not backward stable near close roots: a few 1e-12 at worst.
      EXPECT_LT(std::abs(((a * r + b) * r + c) * r + d), 1e-10 * scale);
    }
  }
}

TEST(Inverse, TwoByTwoMatchesTheClosedForm) {
  tp::Cmat5 a{};
  const cplx a11(2.0, 1.0), a12(0.5, -1.0), a21(-1.0, 0.25), a22(3.0, 0.5);
  a(1, 1) = a11, a(1, 2) = a12, a(2, 1) = a21, a(2, 2) = a22;
  tp::c_invert(2, a);
  const cplx det = a11 * a22 - a12 * a21;
  EXPECT_LT(std::abs(a(1, 1) - a22 / det), 1e-15);
  EXPECT_LT(std::abs(a(1, 2) + a12 / det), 1e-15);
  EXPECT_LT(std::abs(a(2, 1) + a21 / det), 1e-15);
  EXPECT_LT(std::abs(a(2, 2) - a11 / det), 1e-15);
}

// Every order from 1 to 5 inverts its block and leaves the rest of the 5 by 5
// storage alone, bit for bit: the caller keeps other data there.
TEST(Inverse, InvertsLeadingBlockOfEveryOrderAndTouchesNothingElse) {
  std::mt19937 gen(5);
  for (int n = 1; n <= 5; ++n) {
    tp::Cmat5 a, orig;
    for (int c = 1; c <= 5; ++c)
      for (int r = 1; r <= 5; ++r) a(r, c) = random_cplx(gen) + (r == c ? 4.0 : 0.0);
    // Outside the block: NaNs, which would spread into the result if read.
    for (int c = 1; c <= 5; ++c)
      for (int r = 1; r <= 5; ++r)
        if (r > n || c > n) a(r, c) = cplx(std::nan(""), 1.0e300 * r + c);
    orig = a;
    tp::c_invert(n, a);
    for (int c = 1; c <= 5; ++c)
      for (int r = 1; r <= 5; ++r) {
        if (r > n || c > n) {
          EXPECT_EQ(std::memcmp(&a(r, c), &orig(r, c), sizeof(cplx)), 0) << r << "," << c;
          continue;
        }
        cplx sum = 0.0;
        for (int l = 1; l <= n; ++l) sum += orig(r, l) * a(l, c);
        EXPECT_LT(std::abs(sum - (r == c ? 1.0 : 0.0)), 1e-14) << "n=" << n;
      }
  }
}

TEST(Inverse, ZeroLeadingPivotGivesNonFiniteEntriesNotAStop) {
  tp::Cmat5 a{};
  a(1, 2) = 1.0, a(2, 1) = 1.0;  // the exchange matrix: invertible, but a11 = 0
  tp::c_invert(2, a);
  EXPECT_FALSE(std::isfinite(std::abs(a(2, 2))));
}

// The eigenvalues go in the slots of Cardano's roots of the characteristic
// polynomial, whose order decides which compressional wave is P3.
TEST(Eigenvalues, TriangularMatrixGivesDiagonalInCardanoOrder) {
  tp::Cmat3 s{};
  s(1, 1) = cplx(2.0, 0.1), s(2, 2) = cplx(-1.0, 0.5), s(3, 3) = cplx(0.3, -2.0);
  s(1, 2) = 0.7, s(1, 3) = cplx(0.2, 0.2), s(2, 3) = -1.5;
  const tp::Cmat3 orig = s;
  tp::Table1<cplx, 3> lam;
  tp::cautov(s, lam);
  cplx x[3];
  cardano_roots(s, x);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_LT(std::abs(lam(i) - x[i - 1]), 1e-12);
    int hits = 0;
    for (int d = 1; d <= 3; ++d) hits += std::abs(lam(i) - s(d, d)) < 1e-15;
    EXPECT_EQ(hits, 1);
  }
  EXPECT_EQ(std::memcmp(&s, &orig, sizeof s), 0);
}

// Where the closed form is accurate (eigenvalues of like size), both routes
// agree closely; and each eigenvalue makes S - lambda I singular.
TEST(Eigenvalues, RandomMatricesAgreeWithClosedFormAndAnnulTheDeterminant) {
  std::mt19937 gen(3);
  for (int trial = 0; trial < 200; ++trial) {
    tp::Cmat3 s;
    for (int c = 1; c <= 3; ++c)
      for (int r = 1; r <= 3; ++r) s(r, c) = random_cplx(gen);
    const tp::Cmat3 orig = s;
    tp::Table1<cplx, 3> lam;
    tp::cautov(s, lam);
    EXPECT_EQ(std::memcmp(&s, &orig, sizeof s), 0);
    cplx x[3];
    cardano_roots(s, x);
    double gap = 1e300;  // closed form is accurate only for separated roots
    for (int i = 0; i < 3; ++i) gap = std::min(gap, std::abs(x[i] - x[(i + 1) % 3]));
    for (int i = 1; i <= 3; ++i) {
      EXPECT_LT(std::abs(char_det(s, lam(i))), 1e-13);
      if (gap > 0.1) {
        EXPECT_LT(std::abs(lam(i) - x[i - 1]), 1e-9 * std::abs(x[i - 1]) + 1e-13);
      }
    }
  }
}

}  // namespace
