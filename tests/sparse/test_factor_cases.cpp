// The factorization driver on small hand-made systems: its flags, its use of
// the workspace and the phases that reuse a factorization.
#include <gtest/gtest.h>

#include "tests/sparse/test_factor_system.hpp"

namespace tp::testing {
namespace {

constexpr int kRoomy = 4000;

// 4 1 .      rows stored out of column order on purpose
// 2 5 1
// . 3 6
Csr tridiagonal() {
  return make_csr({{{2, 1.0}, {1, 4.0}}, {{3, 1.0}, {1, 2.0}, {2, 5.0}}, {{2, 3.0}, {3, 6.0}}});
}

TEST(FactorCases, OrderOneDividesByThePivotThroughItsReciprocal) {
  const cplx a11(3.0, -4.0), b1(1.0, 2.0);
  const Csr m = make_csr({{{1, a11}}});
  Workspace ws(64);
  Solve s(m, ws);
  s.run({b1});
  EXPECT_EQ(s.flag, 0);
  EXPECT_EQ(s.z[0], b1 * cdiv(cplx(1.0, 0.0), a11));
}

TEST(FactorCases, PatternsAndValuesSitWhereTheWorkspaceLayoutPutsThem) {
  const Csr m = tridiagonal();
  Workspace ws(100);
  Solve s(m, ws);
  s.run({1.0, 2.0, 3.0});
  ASSERT_EQ(s.flag, 0);
  auto isp = ws.isp();
  auto rsp = ws.rsp();
  // il at 1, iu at n+2, jl at 2n+3 and ju right behind the final jl.
  EXPECT_EQ((std::vector<int>{isp(1), isp(2), isp(3), isp(4)}), (std::vector<int>{1, 1, 2, 3}));
  EXPECT_EQ((std::vector<int>{isp(5), isp(6), isp(7), isp(8)}), (std::vector<int>{1, 2, 3, 3}));
  EXPECT_EQ((std::vector<int>{isp(9), isp(10), isp(11), isp(12)}), (std::vector<int>{1, 2, 2, 3}));
  // l from the first word wholly after ju (integers 13.. fall in word 4):
  // the eliminated entries, not divided by the pivot; then the pivot
  // reciprocals d and the scaled rows of U.
  EXPECT_EQ(rsp(4), cplx(2.0));
  EXPECT_EQ(rsp(5), cplx(3.0));
  const cplx d1 = cdiv(1.0, 4.0);
  const cplx d2 = cdiv(1.0, 5.0 - 2.0 * d1);
  EXPECT_EQ(rsp(6), d1);
  EXPECT_EQ(rsp(7), d2);
  EXPECT_EQ(rsp(9), d1);
  EXPECT_EQ(rsp(10), d2);
  // u runs from word 9 up to tmp at nsp + 1 - 2n = 95.
  EXPECT_EQ(s.esp, (95 - 9) - 2);
}

TEST(FactorCases, ExchangeMatrixFailsForWantOfPivoting) {
  Workspace ws(kRoomy);
  // No diagonal in the pattern: null pivot at row 1, 5n + 1.
  const Csr pattern = make_csr({{{2, 1.0}}, {{1, 1.0}}});
  Solve s1(pattern, ws);
  s1.run({1.0, 1.0});
  EXPECT_EQ(s1.flag, 11);
  // The zero diagonal stored explicitly: zero pivot at row 1, 8n + 1.
  const Csr stored = make_csr({{{1, 0.0}, {2, 1.0}}, {{1, 1.0}, {2, 0.0}}});
  Solve s2(stored, ws);
  s2.run({1.0, 1.0});
  EXPECT_EQ(s2.flag, 17);
  // Ordered so that the ones come onto the diagonal it solves.
  s2.order({1, 2}, {2, 1});
  s2.run({cplx(1.0, 2.0), 3.0});
  EXPECT_EQ(s2.flag, 0);
  EXPECT_EQ(s2.z[0], 3.0);
  EXPECT_EQ(s2.z[1], cplx(1.0, 2.0));
}

TEST(FactorCases, SingularLeadingBlockStopsANonsingularMatrix) {
  // det = -1, but the leading 2 by 2 block is singular: no pivoting saves it.
  const Csr m =
      make_csr({{{1, 1.0}, {2, 1.0}}, {{1, 1.0}, {2, 1.0}, {3, 1.0}}, {{2, 1.0}, {3, 1.0}}});
  Workspace ws(kRoomy);
  Solve s(m, ws);
  s.run({1.0, 1.0, 1.0});
  EXPECT_EQ(s.flag, 8 * 3 + 2);
  s.order({3, 2, 1});
  s.run({1.0, 2.0, 3.0});
  EXPECT_EQ(s.flag, 8 * 3 + 2);
  s.order({1, 3, 2});
  const auto z = s.run({1.0, 2.0, 3.0});
  EXPECT_EQ(s.flag, 0);
  const auto ref = dense_solve(dense(m), {1.0, 2.0, 3.0});
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(std::abs(z[i] - ref[i]), 0.0, 1e-14);
}

TEST(FactorCases, BadRowsOfTheMatrixAreNamedInItsOwnNumbering) {
  Workspace ws(kRoomy);
  // Row 2 holds nothing: n + 2 whatever the order and even with b(2) = 0.
  const Csr empty = make_csr({{{1, 1.0}}, {}, {{3, 1.0}}});
  Solve s(empty, ws);
  s.order({3, 2, 1});
  s.run({1.0, 0.0, 1.0});
  EXPECT_EQ(s.flag, 3 + 2);
  // Column 1 twice in row 3: 2n + 3, found while row 3 is in new position 1.
  const Csr twice = make_csr({{{1, 1.0}}, {{2, 1.0}}, {{1, 1.0}, {3, 1.0}, {1, 2.0}}});
  Solve t(twice, ws);
  t.order({3, 1, 2}, {1, 2, 3});
  t.analyse();
  EXPECT_EQ(t.flag, 2 * 3 + 3);
}

TEST(FactorCases, LaterPhasesReuseTheFactorsBitForBit) {
  std::mt19937 gen(11);
  const Csr m = make_csr({{{1, cplx(5.0, 1.0)}, {3, cplx(1.0, -2.0)}},
                          {{2, cplx(4.0, 0.5)}, {1, cplx(0.0, 1.0)}, {4, 2.0}},
                          {{3, cplx(6.0, -1.0)}, {2, cplx(1.0, 1.0)}},
                          {{4, cplx(3.0, 2.0)}, {1, cplx(-1.0, 0.0)}, {3, cplx(0.5, 0.5)}}});
  const std::vector<std::int32_t> p = {3, 1, 4, 2};
  const auto b1 = random_vector(4, gen);
  const auto b2 = random_vector(4, gen);
  Workspace fresh(kRoomy), reused(kRoomy);

  Solve once(m, fresh);
  once.order(p);
  const auto z2 = once.run(b2);
  ASSERT_EQ(once.flag, 0);

  // Another solve after the factorization, with another right-hand side.
  Solve again(m, reused);
  again.order(p);
  again.run(b1);
  ASSERT_EQ(again.flag, 0);
  again.flag = 42;
  EXPECT_EQ(again.solve(b2), z2);
  EXPECT_EQ(again.flag, 42);

  // Analyse, then factor and solve later: the same solution.
  Solve split(m, reused);
  split.order(p);
  split.analyse();
  ASSERT_EQ(split.flag, 0);
  split.factor();
  EXPECT_EQ(split.solve(b2), z2);
  EXPECT_EQ(split.flag, 0);
}

TEST(FactorCases, TransposedSolveUsesThePlainTranspose) {
  // A complex symmetric matrix (not Hermitian): both solves agree.
  const Csr sym = make_csr({{{1, cplx(4.0, 1.0)}, {2, cplx(1.0, 2.0)}},
                            {{1, cplx(1.0, 2.0)}, {2, cplx(5.0, -1.0)}, {3, cplx(0.0, 3.0)}},
                            {{2, cplx(0.0, 3.0)}, {3, cplx(6.0, 2.0)}}});
  const std::vector<cplx> b = {cplx(1.0, 1.0), cplx(2.0, -1.0), cplx(0.0, 3.0)};
  Workspace ws(kRoomy);
  Solve s(sym, ws);
  s.order({2, 3, 1});
  const auto z1 = s.run(b);
  ASSERT_EQ(s.flag, 0);
  const auto z4 = s.solve(b, true);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(std::abs(z4[i] - z1[i]), 0.0, 1e-15);
}

// A random system with fill in its factors, big enough for every region of
// the workspace to hold several words.
Csr filled_system(std::mt19937& gen) {
  const int n = 12;
  std::vector<std::vector<Entry>> rows(n);
  for (int i = 1; i <= n; ++i) {
    rows[i - 1].push_back({i, cplx(10.0, 1.0)});
    for (int j : {(i % n) + 1, ((i + 4) % n) + 1})
      if (j != i) rows[i - 1].push_back({j, random_value(gen)});
  }
  return make_csr(rows);
}

TEST(FactorCases, ExcessWorkspaceCountsTheWordsLeftAfterU) {
  std::mt19937 gen(3);
  const Csr m = filled_system(gen);
  const auto b = random_vector(m.n, gen);
  Workspace big(kRoomy);
  Solve s(m, big);
  const auto z = s.run(b);
  ASSERT_EQ(s.flag, 0);
  const int nu = big.isp()(2 * m.n + 2) - 1;  // iu(n+1) - 1
  ASSERT_GT(nu, 1);

  // Exactly enough words for U: esp = 0 and the same solution.
  const int tight = kRoomy - s.esp;
  Workspace exact(tight);
  Solve e(m, exact);
  EXPECT_EQ(e.run(b), z);
  EXPECT_EQ(e.flag, 0);
  EXPECT_EQ(e.esp, 0);
  EXPECT_TRUE(exact.guard_intact());

  // One word short: esp = -1 and no room for the values of U.
  Workspace shortw(tight - 1);
  Solve sh(m, shortw);
  sh.run(b);
  EXPECT_EQ(sh.esp, -1);
  EXPECT_EQ(sh.flag, 7 * m.n + 1);

  // No word at all for U: the driver refuses before factoring.
  Workspace none(tight - nu);
  Solve no(m, none);
  no.run(b);
  EXPECT_EQ(no.esp, -nu);
  EXPECT_EQ(no.flag, 10 * m.n + 1);
  Workspace one(tight - nu + 1);
  Solve on(m, one);
  on.run(b);
  EXPECT_EQ(on.flag, 7 * m.n + 1);
}

// Full lower (or upper) triangle of order 10 with a strong diagonal.
Csr triangle(bool lower) {
  std::vector<std::vector<Entry>> rows(10);
  for (int i = 1; i <= 10; ++i)
    for (int j = 1; j <= 10; ++j)
      if (i == j || (lower ? j < i : j > i)) rows[i - 1].push_back({j, i == j ? 20.0 : 1.0});
  return make_csr(rows);
}

TEST(FactorCases, SymbolicStepOutOfRoomKeepsItsOwnExcessEstimate) {
  // nsp = 21: max = 4 nsp - 4n - 3 = 41, so jl gets 20 integers, the
  // temporary ju the other 21 up to the end of the workspace, esp = 10.
  const std::vector<cplx> b(10, 1.0);
  const Csr lo = triangle(true), up = triangle(false);
  Workspace w1(21);
  Solve lower(lo, w1);
  lower.run(b);
  EXPECT_EQ(lower.flag, 3 * 10 + 7);  // 1+2+...+6 = 21 > 20 L columns
  EXPECT_EQ(lower.esp, 10);
  EXPECT_TRUE(w1.guard_intact());

  Workspace w2(21);
  Solve upper(up, w2);
  upper.analyse();
  EXPECT_EQ(upper.flag, 6 * 10 + 3);  // 9+8+7 = 24 > 21 U columns
  EXPECT_EQ(upper.esp, 10);
  // ju ends at the last integer of the workspace: nothing written past it.
  EXPECT_TRUE(w2.guard_intact());

  // Too small for the partition at all.
  Workspace w3(10);
  Solve tiny(lo, w3);
  tiny.run(b);
  EXPECT_EQ(tiny.flag, 10 * 10 + 1);
  EXPECT_EQ(tiny.esp, (4 * 10 - 43) / 4);
}

}  // namespace
}  // namespace tp::testing
