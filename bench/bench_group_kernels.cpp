// The rectangular update of a group of U rows alone, at each vector width:
// eight dense rows through a full group of 32 U rows of 128 shared columns,
// the columns side by side (one element's unknowns) or spread out, the U
// rows one after the other as in the factor (each a column shorter than the
// one before) or far apart. Counts complex multiply-adds per second (items), to set against
// the rate of the whole factorization (bench_solver_grid).
//
//   bench_group_kernels [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "sparse/zn_group_kernels.hpp"

namespace {

using namespace tp;

constexpr int kRows = 8, kGroup = 32, kCols = 128;

struct Case {
  std::vector<double> dense;  // kRows rows of n complex words
  std::vector<double> u;      // the U rows
  std::vector<std::int32_t> cols;
  std::vector<double> x;  // kRows by kGroup complex multipliers
  double* w[kRows];
  const double* xp[kRows];
  const double* urow[kGroup];
};

// Random values of modulus about 1e-3, so that a long run neither
// overflows nor reaches subnormal numbers.
void fill(Case& c, const bool spread_cols, const bool far_apart) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> v(-1e-3, 1e-3);
  const int n = spread_cols ? 3 * kCols + 3 : kCols;
  c.dense.resize(2L * n * kRows);
  for (double& d : c.dense) d = v(gen);
  // U row t holds the columns of the group after it, then the pattern.
  const long stride = far_apart ? 32768 + 8 : kCols + kGroup;
  c.u.resize(2L * stride * kGroup);
  for (double& d : c.u) d = v(gen);
  for (int q = 0; q < kCols; ++q) c.cols.push_back(spread_cols ? 3 * q + 1 + q % 2 : q + 1);
  c.x.resize(2L * kRows * kGroup);
  for (double& d : c.x) d = v(gen);
  for (int i = 0; i < kRows; ++i) {
    c.w[i] = c.dense.data() + 2L * n * i;
    c.xp[i] = c.x.data() + 2L * kGroup * i;
  }
  long at = 0;
  for (int t = 0; t < kGroup; ++t) {
    c.urow[t] = c.u.data() + at + 2L * (kGroup - 1 - t);
    at += far_apart ? 2L * stride : 2L * (kCols + kGroup - 1 - t);
  }
}

// Whether the processor runs the kernels of this width; marks the case
// skipped if not.
bool width_runs(benchmark::State& state, const KernelWidth want) {
  if (kernel_width(want) == want) return true;
  state.SkipWithError("the processor does not run this width");
  return false;
}

// state.range(0): width in doubles; (1): columns spread out; (2): U rows
// far apart (32776 complex words) rather than one after the other.
void GroupRectangle(benchmark::State& state) {
  const KernelWidth want = static_cast<KernelWidth>(state.range(0));
  if (!width_runs(state, want)) return;
  Case c;
  fill(c, state.range(1) != 0, state.range(2) != 0);
  const GroupKernels k = group_kernels(want);
  const GroupBlock b{c.w, c.xp, kRows, c.urow, kGroup, c.cols.data(), kCols};
  for (auto _ : state) {
    k.rectangle(b);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kRows * kGroup * kCols);
}
BENCHMARK(GroupRectangle)->ArgsProduct({{2, 4, 8}, {0, 1}, {0, 1}});

// The triangular step's row update over the 31, 30, ..., 1 columns of a
// group after each of its U rows.
void GroupTriangle(benchmark::State& state) {
  const KernelWidth want = static_cast<KernelWidth>(state.range(0));
  if (!width_runs(state, want)) return;
  Case c;
  fill(c, false, false);
  const GroupKernels k = group_kernels(want);
  for (auto _ : state) {
    for (int jj = 0; jj < kGroup; ++jj)
      for (int i = 0; i < kRows; ++i)
        k.row_update(c.w[i] + 2 * jj + 2, c.xp[i] + 2 * jj, c.urow[jj] - 2 * (kGroup - 1 - jj),
                     kGroup - 1 - jj);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kRows * kGroup * (kGroup - 1) / 2);
}
BENCHMARK(GroupTriangle)->Arg(2)->Arg(4)->Arg(8);

}  // namespace
