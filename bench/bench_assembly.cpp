// Time of the whole global assembly (numbering excluded) on the largest grid,
// and of the one-entry insertion it replaces on a 20 by 20 grid.
#include <benchmark/benchmark.h>

#include <cmath>

#include "fem/global_numbering.hpp"
#include "fem/global_sist.hpp"

namespace {

using namespace tp;

// Coefficients of a water-saturated sand with some ice, varied from cell to
// cell: elastic in Pa, mass in kg/m^3, friction in kg/(m^3 s).
RealField lambda1, lambda3, mu1, mu3, mu13, b1, b2, m, d3;
RealField p11, p12, p13, p22, p23, p33, f11, f12, f22;
XnodTable xnod;
MatrixValues avec;
RowStarts ia;
ColumnIndices ja;
UnknownVector rhs_m;

void set_coefficients() {
  for (int k = 1; k <= kMaxCells; ++k) {
    for (int j = 1; j <= kMaxCells; ++j) {
      const double v = 1.0 + 0.2 * std::sin(0.37 * j + 0.91 * k);
      lambda1(j, k) = 2.2e10 * v;
      lambda3(j, k) = 4.1e9 * v;
      mu1(j, k) = 1.8e10 * v;
      mu3(j, k) = 2.6e9 * v;
      mu13(j, k) = 3.0e8 * v;
      b1(j, k) = 5.0e9 * v;
      b2(j, k) = 1.1e9 * v;
      m(j, k) = 6.5e9 * v;
      d3(j, k) = 4.0e8 * v;
      f11(j, k) = 3.3e6 * v;
      f12(j, k) = 3.1e7 * v;
      f22(j, k) = 2.9e8 * v;
    }
  }
}

void assemble(bool fast, int n) {
  const double omega = 2.0 * M_PI * 100.0;
  const double h = 0.1 / n;
  auto* run = fast ? &global_sist : &global_sist_insertion;
  run(omega, n, n, h, xnod, lambda1, lambda3, mu1, mu3, mu13, b1, b2, m, d3, p11, p12,
      p13, p22, p23, p33, f11, f12, f22, avec, ia, ja, rhs_m);
}

void BM_GlobalSist60(benchmark::State& state) {
  set_coefficients();
  global_numbering(60, 60, xnod);
  for (auto _ : state) {
    assemble(true, 60);
    benchmark::DoNotOptimize(avec.data());
  }
  state.counters["neq"] = unknown_count(60, 60);
  state.counters["stored"] = ia(unknown_count(60, 60) + 1) - 1;
}
BENCHMARK(BM_GlobalSist60)->Unit(benchmark::kMillisecond);

void BM_OneEntryInsertion20(benchmark::State& state) {
  set_coefficients();
  global_numbering(20, 20, xnod);
  for (auto _ : state) {
    assemble(false, 20);
    benchmark::DoNotOptimize(avec.data());
  }
  state.counters["neq"] = unknown_count(20, 20);
  state.counters["stored"] = ia(unknown_count(20, 20) + 1) - 1;
}
BENCHMARK(BM_OneEntryInsertion20)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_GlobalSist20(benchmark::State& state) {
  set_coefficients();
  global_numbering(20, 20, xnod);
  for (auto _ : state) {
    assemble(true, 20);
    benchmark::DoNotOptimize(avec.data());
  }
}
BENCHMARK(BM_GlobalSist20)->Unit(benchmark::kMillisecond);

}  // namespace
