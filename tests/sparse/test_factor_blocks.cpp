// The numeric factorization eliminates several rows together when the
// workspace has words to spare after U. It must give the very same numbers
// as one row at a time: the run's results may not depend on the room left.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/sparse/test_factor_system.hpp"

namespace tp::testing {
namespace {

// Band matrix with random extra entries and a dominant diagonal: its fill
// couples consecutive rows, so every block has rows that need the U rows of
// earlier rows of the same block.
Csr banded_system(int n, std::mt19937& gen) {
  std::vector<std::vector<Entry>> rows(n);
  std::uniform_int_distribution<int> col(1, n);
  for (int i = 1; i <= n; ++i) {
    std::vector<int> cols;
    for (int j = std::max(1, i - 3); j <= std::min(n, i + 3); ++j) cols.push_back(j);
    for (int t = 0; t < 2; ++t) {
      const int j = col(gen);
      if (std::find(cols.begin(), cols.end(), j) == cols.end()) cols.push_back(j);
    }
    for (int j : cols) rows[i - 1].push_back({j, j == i ? cplx(20.0, 3.0) : random_value(gen)});
    std::shuffle(rows[i - 1].begin(), rows[i - 1].end(), gen);
  }
  return make_csr(rows);
}

bool same_bits(const std::vector<cplx>& x, const std::vector<cplx>& y) {
  return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size() * sizeof(cplx)) == 0;
}

TEST(FactorBlocks, SolutionIsTheSameBitForBitWhateverTheSpareRoom) {
  std::mt19937 gen(77);
  for (int n : {2, 7, 8, 9, 61, 250}) {
    const Csr m = banded_system(n, gen);
    const auto p = random_permutation(n, gen);
    const auto b = random_vector(n, gen);

    Workspace roomy(100000);  // room for eight rows at a time
    Solve s(m, roomy);
    s.order(p);
    s.run(b);
    ASSERT_EQ(s.flag, 0) << "n " << n;
    const auto blocked = s.solution();

    // esp = 0: one row at a time; 3n spare words: blocks of four.
    for (int spare : {0, 3 * n, 3 * n + n / 2}) {
      Workspace tight(100000 - s.esp + spare);
      Solve t(m, tight);
      t.order(p);
      t.run(b);
      ASSERT_EQ(t.flag, 0) << "n " << n << " spare " << spare;
      EXPECT_EQ(t.esp, spare);
      EXPECT_TRUE(same_bits(t.solution(), blocked)) << "n " << n << " spare " << spare;
      EXPECT_TRUE(tight.guard_intact());
    }
  }
}

TEST(FactorBlocks, ZeroPivotIsReportedAtItsRowInsideABlock) {
  // Rows 1..4 of a block: row 3 loses its pivot to the elimination of row 1
  // (a31 a13 / a11 = a33), and rows 1 and 2 are finished before it.
  const Csr m = make_csr({{{1, 1.0}, {3, 2.0}}, {{2, 1.0}}, {{1, 1.0}, {3, 2.0}}, {{4, 1.0}}});
  Workspace ws(1000);
  Solve s(m, ws);
  s.run({1.0, 1.0, 1.0, 1.0});
  EXPECT_EQ(s.flag, 8 * 4 + 3);
}

}  // namespace
}  // namespace tp::testing
