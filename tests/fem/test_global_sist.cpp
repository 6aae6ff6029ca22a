// The global system: the one-entry insertion, the pattern and load of the
// assembled matrix, and the fast assembly equal bit for bit to the insertion.
#include <gtest/gtest.h>

#include <cstring>

#include "fem_testing.hpp"

namespace tp {
namespace {

using femtest::assemble;
using femtest::Coefficients;
using femtest::GlobalSystem;
using femtest::same_bits;
using femtest::stored_value;

Coefficients coef;
GlobalSystem fast_sys, slow_sys;

constexpr double kOmega = 2.0 * M_PI * 30.0;

// contribucion_yale on a 3 by 3 matrix built by hand.
TEST(OneEntryInsertion, KeepsRowsSortedAndShiftsEveryLaterEntry) {
  GlobalSystem& s = slow_sys;
  const int neq = 3;
  s.ia.resize(neq + 1);
  s.ja.resize(10);
  s.avec.resize(10);
  for (int r = 1; r <= neq + 1; ++r) s.ia(r) = 1;
  contribucion_yale(3, 1, cplx(1, 0), neq, s.ia, s.ja, s.avec);  // (1,3)
  contribucion_yale(2, 3, cplx(2, 0), neq, s.ia, s.ja, s.avec);  // (3,2)
  contribucion_yale(1, 1, cplx(3, 0), neq, s.ia, s.ja, s.avec);  // (1,1) before (1,3)
  // Row 2 is empty: the entry goes to ia(2) and row 3 moves up one place.
  contribucion_yale(2, 2, cplx(0, 0), neq, s.ia, s.ja, s.avec);  // a zero is stored too
  EXPECT_EQ(s.ia(1), 1);
  EXPECT_EQ(s.ia(2), 3);
  EXPECT_EQ(s.ia(3), 4);
  EXPECT_EQ(s.ia(4), 5);
  const int cols[] = {1, 3, 2, 2};
  const cplx vals[] = {cplx(3, 0), cplx(1, 0), cplx(0, 0), cplx(2, 0)};
  for (int p = 1; p <= 4; ++p) {
    EXPECT_EQ(s.ja(p), cols[p - 1]);
    EXPECT_EQ(s.avec(p), vals[p - 1]);
  }
  // Adding at a stored position sums and moves nothing.
  contribucion_yale(3, 1, cplx(0.5, -1), neq, s.ia, s.ja, s.avec);
  EXPECT_EQ(s.ia(2), 3);
  EXPECT_EQ(s.ia(4), 5);
  EXPECT_EQ(s.ja(2), 3);
  EXPECT_EQ(s.avec(2), cplx(1.5, -1));
  EXPECT_EQ(s.ja(3), 2);
}

TEST(Assembly, StoresTheUnionOfElementPairsSortedInEachRow) {
  femtest::fill_random(coef, 11);
  const int sizes[][3] = {{1, 1, 400}, {2, 2, 1292}, {60, 60, 922216}};
  for (const auto& g : sizes) {
    const int nx = g[0], ny = g[1];
    SCOPED_TRACE(::testing::Message() << nx << " by " << ny);
    assemble(true, kOmega, nx, ny, 0.01, coef, fast_sys);
    const int neq = unknown_count(nx, ny);
    EXPECT_EQ(fast_sys.ia(1), 1);
    EXPECT_EQ(fast_sys.ia(neq + 1) - 1, g[2]);
    int longest = 0;
    for (int r = 1; r <= neq; ++r) {
      longest = std::max(longest, fast_sys.ia(r + 1) - fast_sys.ia(r));
      for (int p = fast_sys.ia(r) + 1; p < fast_sys.ia(r + 1); ++p) {
        ASSERT_LT(fast_sys.ja(p - 1), fast_sys.ja(p)) << "row " << r;
      }
    }
    if (nx >= 2 && ny >= 2) {
      EXPECT_EQ(longest, 48);  // interior node: 4 cells
    }
  }
}

// One cell: every row holds the columns 1..20, the values are the element
// matrix read through the numbering, the load sits on the top corners' y.
TEST(Assembly, SingleCellIsTheElementMatrixRenumbered) {
  femtest::fill_random(coef, 5);
  const double h = 0.25;
  static ElementMatrix a;
  static ElementVector b;
  femtest::cell_system(1, 1, 1, 1, kOmega, h, coef, a, b);
  assemble(true, kOmega, 1, 1, h, coef, fast_sys);
  for (int r = 1; r <= 21; ++r) EXPECT_EQ(fast_sys.ia(r), 20 * (r - 1) + 1);
  for (int p = 1; p <= 400; ++p) EXPECT_EQ(fast_sys.ja(p), (p - 1) % 20 + 1);
  for (int il = 1; il <= 20; ++il) {
    for (int jl = 1; jl <= 20; ++jl) {
      const int p = 20 * (fast_sys.xnod(1, il) - 1) + fast_sys.xnod(1, jl);
      EXPECT_TRUE(same_bits(fast_sys.avec(p), a(il, jl))) << il << "," << jl;
    }
  }
  for (int g = 1; g <= 20; ++g) {
    const bool loaded = g == 13 || g == 15 || g == 18 || g == 20;
    EXPECT_EQ(fast_sys.rhs_m(g), loaded ? cplx(-h / 2, 0) : cplx(0, 0)) << g;
  }
}

// Each top cell pushes -h/2 on the y displacement of both solids at its two
// top corners: -h where two cells meet, -h/2 at the sample's corners.
TEST(Assembly, LoadIsAUnitStressOnTheTopNodeLine) {
  femtest::fill_random(coef, 6);
  const int nx = 4, ny = 3;
  const double h = 0.5;
  assemble(true, kOmega, nx, ny, h, coef, fast_sys);
  const int top = (6 * nx + 5) * ny;  // unknowns below the top node line
  for (int g = 1; g <= unknown_count(nx, ny); ++g) {
    cplx want(0, 0);
    const int along = g - top - 1;  // offset on the top line: node i at 5 i
    if (along >= 0 && along % 5 != 4 && (along % 5 == 1 || along % 5 == 3)) {
      const int node = along / 5;
      want = cplx((node == 0 || node == nx) ? -h / 2 : -h, 0);
    }
    EXPECT_EQ(fast_sys.rhs_m(g), want) << g;
  }
}

// A fixed unknown shared by two boundary cells: its row keeps the full
// pattern but only the diagonal is nonzero, the sum of both cells' diagonals
// in cell order.
TEST(Assembly, FixedRowKeepsItsPatternWithOnlyTheSummedDiagonal) {
  femtest::fill_random(coef, 7);
  const int nx = 3, ny = 3;
  const double h = 0.1;
  static ElementMatrix a_low, a_up;
  static ElementVector b;
  femtest::cell_system(1, 1, nx, ny, kOmega, h, coef, a_low, b);
  femtest::cell_system(1, 2, nx, ny, kOmega, h, coef, a_up, b);
  assemble(true, kOmega, nx, ny, h, coef, fast_sys);
  // Solid-1 x on the left side between cells (1,1) and (1,2).
  const int g = fast_sys.xnod(1 + nx, 1);
  ASSERT_EQ(g, fast_sys.xnod(1, 4));
  // Two cells: 6 nodes of 4 values and 7 edges.
  EXPECT_EQ(fast_sys.ia(g + 1) - fast_sys.ia(g), 31);
  for (int p = fast_sys.ia(g); p < fast_sys.ia(g + 1); ++p) {
    if (fast_sys.ja(p) == g) {
      EXPECT_TRUE(same_bits(fast_sys.avec(p), a_low(4, 4) + a_up(1, 1)));
    } else {
      EXPECT_EQ(fast_sys.avec(p), cplx(0, 0)) << "column " << fast_sys.ja(p);
    }
  }
  bool found = false;
  stored_value(fast_sys, g, g, found);
  EXPECT_TRUE(found);
}

// The fast assembly must give the same ia, ja and avec as the insertion, bit
// for bit (the solver's results depend on every bit), over the whole cleared
// room of 50 neq positions, whatever the arrays held before.
TEST(Assembly, FastPathMatchesOneEntryInsertionBitForBit) {
  const int shapes[][2] = {{1, 1}, {2, 2}, {1, 5}, {6, 1}, {3, 5}, {7, 4}, {10, 10}};
  unsigned draw = 100;
  for (const auto& s : shapes) {
    const int nx = s[0], ny = s[1];
    SCOPED_TRACE(::testing::Message() << nx << " by " << ny);
    femtest::fill_random(coef, ++draw);
    const double omega = kOmega * (1 + draw % 7), h = 0.01 * (1 + draw % 3);
    femtest::soil(fast_sys, nx, ny);
    femtest::soil(slow_sys, nx, ny);
    assemble(false, omega, nx, ny, h, coef, slow_sys);
    assemble(true, omega, nx, ny, h, coef, fast_sys);
    const int neq = unknown_count(nx, ny);
    for (int r = 1; r <= neq + 1; ++r) ASSERT_EQ(fast_sys.ia(r), slow_sys.ia(r)) << r;
    for (int p = 1; p <= 50 * neq; ++p) {
      ASSERT_EQ(fast_sys.ja(p), slow_sys.ja(p)) << p;
      ASSERT_TRUE(same_bits(fast_sys.avec(p), slow_sys.avec(p))) << p;
    }
    for (int g = 1; g <= neq; ++g) ASSERT_TRUE(same_bits(fast_sys.rhs_m(g), slow_sys.rhs_m(g)));
  }
}

// Zero coefficients make many contributions -0.0; a position whose first
// contribution is -0.0 must store -0.0 as the insertion does.
TEST(Assembly, FastPathKeepsTheSignOfZeroContributions) {
  femtest::fill_uniform(coef, 0.0, 0.0, -1.0);
  femtest::soil(fast_sys, 3, 2);
  femtest::soil(slow_sys, 3, 2);
  assemble(false, 0.0, 3, 2, 0.1, coef, slow_sys);
  assemble(true, 0.0, 3, 2, 0.1, coef, fast_sys);
  const int nnz = slow_sys.ia(unknown_count(3, 2) + 1) - 1;
  int negative_zeros = 0;
  for (int p = 1; p <= nnz; ++p) {
    ASSERT_TRUE(same_bits(fast_sys.avec(p), slow_sys.avec(p))) << p;
    negative_zeros += std::signbit(slow_sys.avec(p).real()) + std::signbit(slow_sys.avec(p).imag());
  }
  EXPECT_GT(negative_zeros, 0);
}

}  // namespace
}  // namespace tp
