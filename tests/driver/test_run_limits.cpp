// The run's limits as numbers: the memory estimate against what a run
// really takes, MUMPS's memory counts, a results file on a full disk, and
// the checks that refuse coefficients and results that are not numbers.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <regex>
#include <string>

#include "common/memory_estimate.hpp"
#include "driver/finite_checks.hpp"
#include "results/results_json.hpp"
#include "sparse/mumps_solver.hpp"
#include "support/deck_edit.hpp"
#include "support/run.hpp"
#include "support/sample.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp::testing;

// The factor estimate must stay below what the own solver's analysis
// finds, or the check before the tables would refuse runs that fit; and
// within a small factor of it, or it would let far too much through. The
// results.json of a run counts the factor's entries (L, U and the pivots).
TEST(MemoryEstimate, FactorEstimateLiesBelowTheMeasuredFillOfSquareAndStrip) {
  for (const auto& [nx, ny] : {std::pair{64, 64}, std::pair{2, 300}}) {
    const std::string dir = fresh_dir("fill");
    copy_example("permafrost", dir);
    write_file(dir + "/grid", join_lines(with_grid(example_lines("permafrost"), nx, ny)));
    const RunResult r = run_with_args(dir, "run --solver own grid -o out --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    std::smatch m;
    const std::string json = read_file(dir + "/out/results.json");
    ASSERT_TRUE(std::regex_search(json, m, std::regex("\"factor_entries\": ([0-9]+)")));
    const double measured = std::stod(m[1]);
    const double estimate = static_cast<double>(tp::factor_entries_estimate(nx, ny));
    EXPECT_LE(estimate, measured) << nx << " by " << ny;
    EXPECT_GT(estimate, measured / 3) << nx << " by " << ny;
  }
}

// Every large table is counted once: the known sizes of a 100 by 100 grid
// (10000 cells, 61004 unknowns, 50 positions an unknown).
TEST(MemoryEstimate, TablesOfAGridAddUpByteForByte) {
  const tp::RunMemory m = tp::estimate_run_memory(100, 100, tp::MemorySolver::any);
  EXPECT_EQ(m.sample, 12 * 10000);
  EXPECT_EQ(m.coefficients, 144 * 10000);
  EXPECT_EQ(m.results, 112 * 10000);
  EXPECT_EQ(m.system, 80 * 10000 + 4 * 61005 + 20 * 50 * 61004LL + 40 * 61004);
  EXPECT_EQ(m.workspace, 0) << "beyond 60 cells the solver sizes its own storage";
  EXPECT_EQ(m.total, m.sample + m.coefficients + m.system + m.results + m.assembly);
  // The solver adds to what every run holds; MUMPS with its factors on disk
  // adds the least of the three.
  const auto total = [](tp::MemorySolver s) { return tp::estimate_run_memory(100, 100, s).total; };
  EXPECT_GT(total(tp::MemorySolver::own), total(tp::MemorySolver::mumps_out_of_core));
  EXPECT_GT(total(tp::MemorySolver::mumps), total(tp::MemorySolver::mumps_out_of_core));
  EXPECT_GE(total(tp::MemorySolver::mumps_out_of_core), m.total);
  // Within 60 by 60 the fixed workspace of 11102000 complex words is held.
  EXPECT_EQ(tp::estimate_run_memory(60, 60, tp::MemorySolver::own).workspace, 16 * 11102000LL);
}

TEST(MemoryEstimate, CountsOfAHugeGridStayExactIn64Bits) {
  const tp::RunMemory m = tp::estimate_run_memory(2000, 2000, tp::MemorySolver::own);
  EXPECT_EQ(m.coefficients, 144LL * 4000000);
  EXPECT_GT(m.total, 20LL << 30) << "2000 by 2000 needs tens of GB";
  EXPECT_EQ(tp::memory_text(3LL << 29), "1.5 GiB");
  EXPECT_EQ(tp::memory_text(64LL << 20), "64.0 MiB");
}

// MUMPS gives its estimates in megabytes of 10^6 bytes: read as MiB they
// would be 5% high and refuse runs that fit.
TEST(MumpsMemory, MegabytesAreMillionsOfBytes) {
  EXPECT_EQ(tp::mumps_memory_bytes(1), 1000000);
  EXPECT_EQ(tp::mumps_memory_bytes(3000), 3000000000LL) << "no 32-bit overflow";
}

// With the factors on disk the run needs MUMPS's out-of-core estimate, the
// smaller one; in memory the in-core one.
TEST(MumpsMemory, OutOfCoreRunIsJudgedByTheSmallerOutOfCoreEstimate) {
  tp::MumpsCounts c;
  c.memory_in_core = 900000000;
  c.memory_out_of_core = 300000000;
  EXPECT_EQ(tp::mumps_factor_memory(c, true), 300000000);
  EXPECT_EQ(tp::mumps_factor_memory(c, false), 900000000);
  if (!tp::kHaveMumps) GTEST_SKIP() << "built without MUMPS: the library's estimates not read";
  // The library's own estimates of a 5-point Laplacian on 150 by 150 nodes.
  const int side = 150, n = side * side;
  std::vector<std::int32_t> ia{1}, ja;
  std::vector<tp::cplx> a;
  for (int i = 0; i < n; ++i) {
    for (int j : {i - side, i - 1, i, i + 1, i + side}) {
      if (j < 0 || j >= n || (j == i - 1 && i % side == 0) || (j == i + 1 && j % side == 0))
        continue;
      ja.push_back(j + 1);
      a.emplace_back(j == i ? 4.0 : -1.0, 0.0);
    }
    ia.push_back(static_cast<std::int32_t>(ja.size()) + 1);
  }
  tp::MumpsFactor f;
  tp::MumpsOptions opt;
  opt.out_of_core = true;
  ASSERT_EQ(tp::mumps_analyse(f, n, ia.data(), ja.data(), a.data(), opt), 0);
  EXPECT_GT(f.counts.memory_out_of_core, 0);
  EXPECT_LT(f.counts.memory_out_of_core, f.counts.memory_in_core);
  EXPECT_EQ(f.counts.memory_in_core % 1000000, 0) << "whole megabytes of 10^6 bytes";
}

// A results file cut short by a full disk must not be reported written: a
// short text fits the stream's buffer, so only the close meets the error.
TEST(ResultsFile, FullDiskIsAFailureEvenWhenOnlyTheCloseSeesIt) {
  errno = 0;
  EXPECT_FALSE(tp::write_text_file("/dev/full", "{}\n"));
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_FALSE(tp::write_text_file("/dev/full", std::string(1 << 20, ' ')));
  const std::string path = fresh_dir("results_file") + "/results.json";
  EXPECT_TRUE(tp::write_text_file(path.c_str(), "{}\n"));
  EXPECT_EQ(read_file(path), "{}\n");
}

// ---- numbers that are not numbers ----

TEST(NonFinite, FirstCoefficientThatIsNoNumberIsNamedWithItsCell) {
  CoefficientSet co;
  co.size(3, 4);
  co.fill_uniform(1e9, 1e3, 1e7);
  EXPECT_FALSE(tp::non_finite_coefficient(tp::CellGrid{3, 4, 0.1}, co));
  co.f12(2, 3) = NAN;
  co.mu1(3, 1) = INFINITY;  // a later cell in the order j outer, k inner
  const tp::CellFailure f = tp::non_finite_coefficient(tp::CellGrid{3, 4, 0.1}, co);
  ASSERT_TRUE(f);
  EXPECT_EQ(f.code, tp::kNonFinite);
  EXPECT_EQ(std::string(f.what), "f12");
  EXPECT_EQ(f.j, 2);
  EXPECT_EQ(f.k, 3);
}

TEST(NonFinite, InfiniteQOrVelocityOfALosslessSampleIsAResultButNaNIsNot) {
  tp::Results r;
  ASSERT_TRUE(tp::size_results(r, 2, 2));
  r.mstar = r.c33 = r.mstar3 = tp::cplx(1e10, 0.0);
  r.w_mstar = r.w_c33 = r.w_mstar3 = tp::WaveProperties{INFINITY, 0.0, 3000.0};
  const tp::CellGrid g{2, 2, 0.1};
  EXPECT_FALSE(tp::non_finite_result(g, r)) << "no loss: Q infinite, 1000/Q zero";
  r.w_mstar.v = INFINITY;
  EXPECT_FALSE(tp::non_finite_result(g, r)) << "eta = 0 has always ended with an infinite velocity";
  r.w_c33.q = NAN;
  EXPECT_EQ(std::string(tp::non_finite_result(g, r).what), "1000/Q of c33");
  r.w_c33.q = INFINITY;
  r.pres(2, 1) = tp::cplx(0.0, NAN);
  const tp::CellFailure f = tp::non_finite_result(g, r);
  EXPECT_EQ(std::string(f.what), "pres");
  EXPECT_EQ(f.j, 2);
  EXPECT_EQ(f.k, 1);
}

}  // namespace
