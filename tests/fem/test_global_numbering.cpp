// The unknown numbering: the fixed tables of small grids, a one-to-one map
// onto 1..neq and the numbers neighbouring cells must share.
#include <gtest/gtest.h>

#include <vector>

#include "fem/global_numbering.hpp"

namespace tp {
namespace {

// Room for the largest grid numbered here, 60 by 60 cells.
XnodTable& sized_xnod() {
  static XnodTable x;
  if (x.rows() == 0) x.resize(3600, kLocalDofs);
  return x;
}
XnodTable& xnod = sized_xnod();

std::vector<int> row_of(int ne) {
  std::vector<int> r;
  for (int l = 1; l <= kLocalDofs; ++l) r.push_back(xnod(ne, l));
  return r;
}

TEST(Numbering, SingleCellFollowsLocalOrder) {
  global_numbering(1, 1, xnod);
  EXPECT_EQ(unknown_count(1, 1), 20);
  EXPECT_EQ(row_of(1), (std::vector<int>{1, 6,  17, 12, 2,  7,  18, 13, 10, 11,
                                         5, 16, 3,  8,  19, 14, 4,  9,  20, 15}));
}

TEST(Numbering, TwoByTwoGridGoesLevelByLevelFromTheBottom) {
  global_numbering(2, 2, xnod);
  EXPECT_EQ(unknown_count(2, 2), 48);
  EXPECT_EQ(row_of(1), (std::vector<int>{1, 6,  23, 18, 2,  7,  24, 19, 15, 16,
                                         5, 22, 3,  8,  25, 20, 4,  9,  26, 21}));
  EXPECT_EQ(row_of(2), (std::vector<int>{6,  11, 28, 23, 7,  12, 29, 24, 16, 17,
                                         10, 27, 8,  13, 30, 25, 9,  14, 31, 26}));
  EXPECT_EQ(row_of(3), (std::vector<int>{18, 23, 40, 35, 19, 24, 41, 36, 32, 33,
                                         22, 39, 20, 25, 42, 37, 21, 26, 43, 38}));
  EXPECT_EQ(row_of(4), (std::vector<int>{23, 28, 45, 40, 24, 29, 46, 41, 33, 34,
                                         27, 44, 25, 30, 47, 42, 26, 31, 48, 43}));
}

TEST(Numbering, RowsPastTheGridAreLeftUntouched) {
  for (int l = 1; l <= kLocalDofs; ++l) xnod(5, l) = -7;
  global_numbering(2, 2, xnod);
  for (int l = 1; l <= kLocalDofs; ++l) EXPECT_EQ(xnod(5, l), -7);
}

// Every (element, local) pair maps into 1..neq, every number is reached, an
// element's 20 numbers are distinct, and neighbours share their common
// corners and edges. The mesh has exactly neq distinct unknowns, so together
// these make the numbering one to one; a fault would couple unrelated
// unknowns or leave a row of the global system empty.
TEST(Numbering, MapsTheMeshOneToOneOntoTheUnknownsForManyGridShapes) {
  const int shapes[][2] = {{1, 1}, {1, 6}, {6, 1}, {3, 4}, {7, 2}, {60, 60}};
  for (const auto& s : shapes) {
    const int nx = s[0], ny = s[1];
    SCOPED_TRACE(::testing::Message() << nx << " by " << ny);
    global_numbering(nx, ny, xnod);
    const int neq = unknown_count(nx, ny);
    std::vector<int> hits(neq + 1, 0);
    for (int ne = 1; ne <= nx * ny; ++ne) {
      std::vector<bool> seen(neq + 1, false);
      for (int l = 1; l <= kLocalDofs; ++l) {
        const int g = xnod(ne, l);
        ASSERT_GE(g, 1);
        ASSERT_LE(g, neq);
        EXPECT_FALSE(seen[g]) << "element " << ne << " local " << l;
        seen[g] = true;
        ++hits[g];
      }
    }
    for (int g = 1; g <= neq; ++g) EXPECT_GT(hits[g], 0) << "unknown " << g;
    for (int j = 1; j <= nx; ++j) {
      for (int k = 1; k <= ny; ++k) {
        const int ne = (k - 1) * nx + j;
        if (j < nx) {  // right neighbour: its corners 1, 4 are our 2, 3
          const int nr = ne + 1;
          EXPECT_EQ(xnod(ne, 10), xnod(nr, 9));
          for (int base : {0, 4, 12, 16}) {
            EXPECT_EQ(xnod(ne, base + 2), xnod(nr, base + 1));
            EXPECT_EQ(xnod(ne, base + 3), xnod(nr, base + 4));
          }
        }
        if (k < ny) {  // upper neighbour: its corners 1, 2 are our 4, 3
          const int nu = ne + nx;
          EXPECT_EQ(xnod(ne, 12), xnod(nu, 11));
          for (int base : {0, 4, 12, 16}) {
            EXPECT_EQ(xnod(ne, base + 4), xnod(nu, base + 1));
            EXPECT_EQ(xnod(ne, base + 3), xnod(nu, base + 2));
          }
        }
      }
    }
  }
  EXPECT_EQ(unknown_count(60, 60), 22204);
}

}  // namespace
}  // namespace tp
