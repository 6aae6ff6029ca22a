// The MUMPS adapter on small matrices whose answer is known: pivoting where
// the own solver would need none, both orders, and failures that must come
// back as codes with a sentence, never as a quiet wrong solution.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "sparse/mumps_solver.hpp"

namespace {

using tp::cplx;

// A 1-based compressed-row matrix with its load.
struct Small {
  int n;
  std::vector<std::int32_t> ia, ja;
  std::vector<cplx> a;
};

// The tridiagonal matrix of order n with a zero diagonal in row 1 (no LU
// without row exchanges exists in the natural order), complex and
// unsymmetric.
Small zero_leading_pivot(int n) {
  Small s{n, {1}, {}, {}};
  for (int i = 1; i <= n; ++i) {
    for (int j = std::max(1, i - 1); j <= std::min(n, i + 1); ++j) {
      s.ja.push_back(j);
      const cplx v = i == j ? (i == 1 ? cplx(0, 0) : cplx(4.0, 0.5 * i)) : cplx(1.0 + i, -j);
      s.a.push_back(v);
    }
    s.ia.push_back(static_cast<std::int32_t>(s.ja.size()) + 1);
  }
  return s;
}

#define REQUIRE_MUMPS() \
  if (!tp::kHaveMumps) GTEST_SKIP() << "built without MUMPS"

TEST(Mumps, SolvesAMatrixThatNeedsPivotingWithBothOrders) {
  REQUIRE_MUMPS();
  const Small s = zero_leading_pivot(40);
  std::vector<cplx> x(s.n), b(s.n, cplx(0, 0));
  for (int i = 0; i < s.n; ++i) x[i] = cplx(1.0 / (i + 1), i % 3);
  for (int i = 0; i < s.n; ++i)
    for (int e = s.ia[i] - 1; e < s.ia[i + 1] - 1; ++e) b[i] += s.a[e] * x[s.ja[e] - 1];
  for (auto order : {tp::MumpsOrder::amd, tp::MumpsOrder::metis}) {
    if (order == tp::MumpsOrder::metis && !tp::kHaveMetis) continue;
    tp::MumpsFactor f;
    tp::MumpsOptions opt;
    opt.order = order;
    ASSERT_EQ(tp::mumps_analyse(f, s.n, s.ia.data(), s.ja.data(), s.a.data(), opt), 0);
    ASSERT_EQ(tp::mumps_factor(f), 0);
    EXPECT_GE(f.counts.factor_entries, s.ia[s.n] - 1);
    std::vector<cplx> z = b;
    ASSERT_EQ(tp::mumps_solve(f, z.data()), 0);
    for (int i = 0; i < s.n; ++i) EXPECT_NEAR(std::abs(z[i] - x[i]), 0.0, 1e-12) << i;
    EXPECT_LT(tp::backward_error(s.n, s.ia.data(), s.ja.data(), s.a.data(), z.data(), b.data()),
              1e-15);
  }
}

TEST(Mumps, SingularMatrixIsAnErrorNamingTheSingularity) {
  REQUIRE_MUMPS();
  Small s = zero_leading_pivot(10);
  // Row 5 holds zeros: numerically singular, pattern intact.
  for (int e = s.ia[4] - 1; e < s.ia[5] - 1; ++e) s.a[e] = 0.0;
  tp::MumpsFactor f;
  ASSERT_EQ(tp::mumps_analyse(f, s.n, s.ia.data(), s.ja.data(), s.a.data(), {}), 0);
  const int st = tp::mumps_factor(f);
  ASSERT_LT(st, 0);
  EXPECT_EQ(st, f.counts.infog1);
  const std::string m = tp::mumps_message(f.counts.infog1, f.counts.infog2);
  EXPECT_NE(m.find("singular"), std::string::npos) << m;
}

TEST(Mumps, MemoryCapBelowTheNeedFailsBeforeAnyWrongAnswer) {
  REQUIRE_MUMPS();
  const Small s = zero_leading_pivot(200000);
  tp::MumpsFactor f;
  ASSERT_EQ(tp::mumps_analyse(f, s.n, s.ia.data(), s.ja.data(), s.a.data(), {}), 0);
  EXPECT_GT(f.counts.memory_in_core, 1000000) << "the memory check needs the estimate";
  tp::MumpsOptions opt;
  opt.memory_cap_mb = 1;
  int st = tp::mumps_analyse(f, s.n, s.ia.data(), s.ja.data(), s.a.data(), opt);
  if (st == 0) st = tp::mumps_factor(f);
  ASSERT_LT(st, 0);
  const std::string m = tp::mumps_message(f.counts.infog1, f.counts.infog2);
  EXPECT_NE(m.find("memory"), std::string::npos) << m;
}

TEST(Mumps, BackwardErrorSeesAWrongSolution) {
  const Small s = zero_leading_pivot(5);
  std::vector<cplx> z(5, cplx(1, 0)), b(5, cplx(0, 0));
  for (int i = 0; i < 5; ++i)
    for (int e = s.ia[i] - 1; e < s.ia[i + 1] - 1; ++e) b[i] += s.a[e];
  EXPECT_EQ(tp::backward_error(5, s.ia.data(), s.ja.data(), s.a.data(), z.data(), b.data()), 0.0);
  z[2] += 1e-3;
  EXPECT_GT(tp::backward_error(5, s.ia.data(), s.ja.data(), s.a.data(), z.data(), b.data()), 1e-6);
}

TEST(Mumps, BuildWithoutMumpsSaysSoInsteadOfSolving) {
  if (tp::kHaveMumps) GTEST_SKIP() << "built with MUMPS";
  const Small s = zero_leading_pivot(5);
  tp::MumpsFactor f;
  EXPECT_EQ(tp::mumps_analyse(f, s.n, s.ia.data(), s.ja.data(), s.a.data(), {}),
            tp::kMumpsNotBuilt);
  EXPECT_NE(std::string(tp::kSolverBuild).find("without MUMPS"), std::string::npos);
}

}  // namespace
