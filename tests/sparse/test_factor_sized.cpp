// The solver beyond the fixed workspace: storage sized from the symbolic
// factorization, on grids of the shapes the program meets past 60 by 60
// cells, the 64-bit storage arithmetic and the progress reports.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/sparse/test_factor_system.hpp"

namespace tp::testing {
namespace {

// All three phases in the order p; returns the flag.
int run_in_order(Solve& s, const std::vector<std::int32_t>& p, const std::vector<cplx>& b) {
  s.order(p);
  s.run(b);
  return s.flag;
}

TEST(FactorSized, StripsOfOneAndTwoCellsMatchTheDenseSolve) {
  // Strips far longer than 60 cells: the shapes whose fill is least like a
  // square's, and whose orders stress the degree lists at their ends.
  std::mt19937 gen(300);
  for (auto [nx, ny] : {std::pair{1, 300}, std::pair{250, 2}}) {
    Csr m = grid_system(nx, ny, 1, gen);
    const auto p = md_order(m);
    const auto b = random_vector(m.n, gen);
    Workspace own(0);
    Solve s(m, own);
    ASSERT_EQ(run_in_order(s, p, b), 0) << nx << " by " << ny;
    EXPECT_EQ(s.esp, (kFactorBlock - 1) * m.n);
    EXPECT_LT(max_diff(s.solution(), dense_solve(dense(m), b)), 1e-12) << nx << " by " << ny;
  }
}

TEST(FactorSized, GridPastSixtyCellsSolvesAndMatchesTheWorkspaceBitForBit) {
  // 61 by 61 cells, two unknowns a node: the fill is many times the matrix,
  // so the self-sized symbolic step must grow its pattern storage past its
  // first guess; the result must not depend on where the factors are kept.
  std::mt19937 gen(61);
  Csr m = grid_system(61, 61, 2, gen);
  const auto p = md_order(m);
  const auto b = random_vector(m.n, gen);
  Workspace own(0);
  Solve sized(m, own);
  ASSERT_EQ(run_in_order(sized, p, b), 0);
  EXPECT_GT(sized.f.lnz, 2 * (m.ia[m.n] - 1));  // past the first guess
  std::vector<cplx> bb = b;
  EXPECT_LT(zn_residual(sized.rows(), View1<cplx>{sized.z.data()}, View1<cplx>{bb.data()}), 1e-13);

  Workspace room(4000000);
  Solve fixed(m, room);
  ASSERT_EQ(run_in_order(fixed, p, b), 0);
  const auto x = sized.solution(), y = fixed.solution();
  EXPECT_EQ(std::memcmp(x.data(), y.data(), x.size() * sizeof(cplx)), 0);
  EXPECT_EQ(sized.f.work_to[m.n], fixed.f.work_to[m.n]);

  // The memory the factor reports is what it holds once factored.
  const FactorStorage st = factor_storage(m.n, sized.f.lnz, sized.f.unz);
  EXPECT_EQ(zn_memory_bytes(sized.f), st.bytes);
  EXPECT_EQ(static_cast<std::int64_t>(sized.f.own_words.size()), st.words);
}

TEST(FactorSized, StorageArithmeticHoldsPastTwoToTheThirtyOne) {
  // A grid of about 2000 by 2000 cells: 24 million unknowns, patterns near
  // the 32-bit limit. Nothing is allocated: only the counts are checked.
  const std::int64_t n = 24'020'004, lnz = 2'147'000'000, unz = 2'147'400'000;
  const FactorStorage s = factor_storage(n, lnz, unz);
  EXPECT_EQ(s.ints, 3 * (n + 1) + lnz + unz);
  EXPECT_GT(s.ints, std::int64_t{1} << 31);  // past the 32-bit integers
  EXPECT_GT(s.ints, std::int64_t{1} << 32);  // and past the unsigned ones too
  EXPECT_EQ(s.words, lnz + unz + (kFactorBlock + 2) * n);
  EXPECT_EQ(s.bytes, 4 * s.ints + 8 * (n + 1) + 16 * s.words);
  EXPECT_GT(s.bytes, std::int64_t{64} << 30);
  // Ordering lists of a matrix with 1.2e9 entries: past 2^31 slots, which
  // the 32-bit lists cannot address.
  EXPECT_GT(ordering_ints(n, 1'200'000'000), kMaxPatternEntries);
  EXPECT_EQ(ordering_ints(n, 1'200'000'000), 2 * (n + 2 * 1'200'000'000LL + 2) + n);
}

struct Reports {
  std::vector<double> done;
  double total = -1.0;
};

void record(void* context, double done, double total) {
  auto& r = *static_cast<Reports*>(context);
  r.done.push_back(done);
  r.total = total;
}

TEST(FactorSized, FactorizationReportsRisingShareOfItsMultiplyAdds) {
  std::mt19937 gen(5);
  Csr m = grid_system(40, 40, 2, gen);
  const auto p = md_order(m);
  Workspace own(0);
  Solve s(m, own);
  s.order(p);
  s.analyse();
  ASSERT_EQ(s.flag, 0);
  Reports reports;
  const Progress progress{record, &reports};
  s.f.progress = &progress;
  s.factor();
  ASSERT_EQ(s.flag, 0);
  // A report every 512 rows: few enough to cost nothing, enough to follow.
  EXPECT_EQ(static_cast<int>(reports.done.size()), (m.n - 1) / (64 * kFactorBlock) + 1);
  EXPECT_EQ(reports.total, static_cast<double>(s.f.work_to[m.n]));
  EXPECT_TRUE(std::is_sorted(reports.done.begin(), reports.done.end()));
  EXPECT_LT(reports.done.back(), reports.total);
}

}  // namespace
}  // namespace tp::testing
