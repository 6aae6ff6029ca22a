// Random sparse complex systems solved by the factorization driver and
// checked against a dense solve with partial pivoting.
#include <gtest/gtest.h>

#include "tests/sparse/test_factor_system.hpp"

namespace tp::testing {
namespace {

// Random unsymmetric pattern, about `per_row` entries a row stored in random
// order, with a dominant diagonal at (r(k), c(k)) for k = 1..n, so that the
// reordered matrix is diagonally dominant and needs no pivoting.
Csr random_system(int n, int per_row, const std::vector<std::int32_t>& r,
                  const std::vector<std::int32_t>& c, std::mt19937& gen) {
  std::vector<std::vector<Entry>> rows(n);
  std::uniform_int_distribution<int> col(1, n);
  std::vector<int> seen(n + 1, 0);
  for (int k = 1; k <= n; ++k) {
    auto& row = rows[r[k - 1] - 1];
    std::fill(seen.begin(), seen.end(), 0);
    seen[c[k - 1]] = 1;
    double off = 0.0;
    for (int t = 1; t < per_row; ++t) {
      const int j = col(gen);
      if (seen[j]) continue;
      seen[j] = 1;
      row.push_back({j, random_value(gen)});
      off += std::abs(row.back().value);
    }
    const cplx dir = random_value(gen);
    row.push_back({c[k - 1], (1.0 + off) * dir / std::abs(dir)});
    std::shuffle(row.begin(), row.end(), gen);
  }
  return make_csr(rows);
}

struct Case {
  int n;
  int per_row;
  bool separate_orders;  // r and c drawn independently
};

TEST(FactorRandom, SparseSystemsMatchTheDenseSolveInEveryOrder) {
  std::mt19937 gen(2024);
  const Case cases[] = {{1, 1, false}, {2, 2, false},  {5, 3, true},   {17, 4, false},
                        {40, 6, true}, {96, 5, false}, {150, 8, true}, {300, 7, false}};
  for (const Case& cs : cases) {
    for (int trial = 0; trial < 3; ++trial) {
      const auto r = random_permutation(cs.n, gen);
      const auto c = cs.separate_orders ? random_permutation(cs.n, gen) : r;
      const Csr m = random_system(cs.n, cs.per_row, r, c, gen);
      const auto full = dense(m);
      const auto b = random_vector(cs.n, gen);
      Workspace ws(200000);
      Solve s(m, ws);
      s.order(r, c);
      s.run(b);
      ASSERT_EQ(s.flag, 0) << "n " << cs.n << " trial " << trial;
      EXPECT_GE(s.esp, 0);
      EXPECT_LT(max_diff(s.solution(), dense_solve(full, b)), 1e-12) << "n " << cs.n;

      // Another right-hand side, and the transposed system, on the same factors.
      const auto b2 = random_vector(cs.n, gen);
      s.solve(b2);
      EXPECT_LT(max_diff(s.solution(), dense_solve(full, b2)), 1e-12) << "n " << cs.n;
      s.solve(b2, true);
      EXPECT_LT(max_diff(s.solution(), dense_solve(transpose(full), b2)), 1e-12) << "n " << cs.n;
      EXPECT_TRUE(ws.guard_intact());
    }
  }
}

}  // namespace
}  // namespace tp::testing
