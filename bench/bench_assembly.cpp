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
Coefficients co;
System sys;

void set_coefficients() {
  size_coefficients(co, 60, 60);
  for (int k = 1; k <= 60; ++k) {
    for (int j = 1; j <= 60; ++j) {
      const double v = 1.0 + 0.2 * std::sin(0.37 * j + 0.91 * k);
      co.lambda1(j, k) = 2.2e10 * v;
      co.lambda3(j, k) = 4.1e9 * v;
      co.mu1(j, k) = 1.8e10 * v;
      co.mu3(j, k) = 2.6e9 * v;
      co.mu13(j, k) = 3.0e8 * v;
      co.b1(j, k) = 5.0e9 * v;
      co.b2(j, k) = 1.1e9 * v;
      co.m(j, k) = 6.5e9 * v;
      co.d3(j, k) = 4.0e8 * v;
      co.f11(j, k) = 3.3e6 * v;
      co.f12(j, k) = 3.1e7 * v;
      co.f22(j, k) = 2.9e8 * v;
    }
  }
}

// The system sized and numbered for the n by n grid.
void number(int n) {
  size_system(sys, n, n);
  global_numbering(n, n, sys.xnod);
}

void assemble(bool fast, int n) {
  const double omega = 2.0 * M_PI * 100.0;
  const CellGrid g{n, n, 0.1 / n};
  if (fast) {
    global_sist(omega, g, co, sys);
  } else {
    global_sist_insertion(omega, g, co, sys);
  }
}

void BM_GlobalSist60(benchmark::State& state) {
  set_coefficients();
  number(60);
  for (auto _ : state) {
    assemble(true, 60);
    benchmark::DoNotOptimize(sys.avec.data());
  }
  state.counters["neq"] = unknown_count(60, 60);
  state.counters["stored"] = sys.ia(unknown_count(60, 60) + 1) - 1;
}
BENCHMARK(BM_GlobalSist60)->Unit(benchmark::kMillisecond);

void BM_OneEntryInsertion20(benchmark::State& state) {
  set_coefficients();
  number(20);
  for (auto _ : state) {
    assemble(false, 20);
    benchmark::DoNotOptimize(sys.avec.data());
  }
  state.counters["neq"] = unknown_count(20, 20);
  state.counters["stored"] = sys.ia(unknown_count(20, 20) + 1) - 1;
}
BENCHMARK(BM_OneEntryInsertion20)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_GlobalSist20(benchmark::State& state) {
  set_coefficients();
  number(20);
  for (auto _ : state) {
    assemble(true, 20);
    benchmark::DoNotOptimize(sys.avec.data());
  }
}
BENCHMARK(BM_GlobalSist20)->Unit(benchmark::kMillisecond);

}  // namespace
