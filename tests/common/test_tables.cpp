// The tables sized from the grid: their sizes in 64 bits, past 2^31 without
// allocating, their zeros and copies, and the index checks of the checked
// (sanitizer) build.
#include <gtest/gtest.h>

#include "common/capacity.hpp"
#include "common/tables.hpp"

namespace tp {
namespace {

TEST(TableSizes, LegacyGridsKeepTheFixedWorkspaceAndLargerOnesLeaveItToTheSolver) {
  const TableSizes legacy = table_sizes(60, 60);
  EXPECT_EQ(legacy.neq, 22204);
  EXPECT_EQ(legacy.room, 1110200);
  EXPECT_EQ(legacy.words, kSolverWords) << "the report's ESP= line depends on it";
  EXPECT_TRUE(legacy.fits);
  EXPECT_EQ(table_sizes(1, 60).words, kSolverWords);
  const TableSizes strip = table_sizes(1, 300);
  EXPECT_EQ(strip.neq, 11 * 300 + 9);
  EXPECT_EQ(strip.words, 0) << "beyond 60 the solver sizes its storage from its analysis";
}

// Counts that pass 2^31 come out exact in 64 bits and are refused, never
// wrapped; no table is allocated to find out.
TEST(TableSizes, CountsPastTwoToThe31AreExactAndRefused) {
  const TableSizes limit = table_sizes(2000, 2000);
  EXPECT_EQ(limit.neq, (6LL * 2000 + 5) * 2000 + 5 * 2000 + 4);
  EXPECT_TRUE(limit.fits) << "2000 by 2000 keeps 32-bit positions (its memory is another matter)";
  EXPECT_TRUE(table_sizes(1, kMaxGridCells).fits)
      << "the deck reader's longest side must still give a strip of 32-bit positions";
  EXPECT_FALSE(table_sizes(2, kMaxGridCells).fits);
  const TableSizes huge = table_sizes(7000, 7000);
  EXPECT_EQ(huge.room, 50 * ((6LL * 7000 + 5) * 7000 + 5 * 7000 + 4));
  EXPECT_GT(huge.room, 2147483647LL);
  EXPECT_FALSE(huge.fits);
  EXPECT_FALSE(table_sizes(100000, 100000).fits);
}

TEST(Tables, StartAtZeroAndCopyEveryEntry) {
  RealField a;
  ASSERT_TRUE(a.resize(61, 3));
  EXPECT_EQ(a.rows(), 61);
  EXPECT_EQ(a(61, 3), 0.0);
  a(61, 3) = 2.5;
  a(1, 1) = -1.0;
  RealField b = a;
  a(61, 3) = 0.0;
  EXPECT_EQ(b(61, 3), 2.5) << "a copy owns its entries";
  EXPECT_EQ(b(1, 1), -1.0);
  Array1<cplx> v;
  ASSERT_TRUE(v.resize(5));
  EXPECT_EQ(v(5), cplx(0.0, 0.0));
}

#ifdef THREEPHASE_CHECKED_INDEX
constexpr bool kChecked = true;
#else
constexpr bool kChecked = false;
#endif

// In the checked build a cell past the grid is caught at the access, where
// an unchecked build would read the next column or past the end.
TEST(TablesDeathTest, CheckedBuildCatchesACellBeyondTheGrid) {
  if (!kChecked) GTEST_SKIP() << "indices are checked in the sanitizer build only";
  RealField f;
  ASSERT_TRUE(f.resize(60, 60));
  EXPECT_DEATH(f(61, 1) = 1.0, "Array2 row index 61 outside 1..60");
  EXPECT_DEATH(f(1, 0) = 1.0, "Array2 column index 0 outside 1..60");
  Array1<int> ia;
  ASSERT_TRUE(ia.resize(10));
  EXPECT_DEATH(ia(11) = 0, "Array1 index 11 outside 1..10");
}

}  // namespace
}  // namespace tp
