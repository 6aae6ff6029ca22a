// The compressibility system of the uniform permafrost sample at n cells a
// side, solved in turns in one run by UMFPACK (64-bit interface), sequential
// MUMPS with its AMD order and with METIS's nested dissection as user order,
// and the own solver: seconds of analyse + factor + solve, peak resident
// memory during each, factor entries, flops and the backward error.
//
//   bench_anchors N [--solvers umfpack,amd,metis,own] [--reps R]
//   mpirun --allow-run-as-root --oversubscribe -np 2 bench_anchors N --solvers amd
//
// The permafrost example is uniform (every cell material 1, water proportion
// 0.1), so every cell has the coefficients of cell (1, 1) of its 60 by 60
// run; the system is assembled from local_sys in the order of global_sist
// (cells j outer, k inner; element rows outer), which at n = 60 gives the
// program's own matrix bit for bit (checked at start).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/full_run.hpp"
#include "fem/global_numbering.hpp"
#include "fem/local_sys.hpp"
#include "sparse/mumps_solver.hpp"
#include "sparse/zndrv.hpp"

#if defined(BENCH_WITH_UMFPACK)
#include <umfpack.h>
#endif

namespace {

using namespace tpbench;
using tp::cplx;

// The system in 1-based compressed rows, sized for any grid.
struct Csr {
  int n = 0;
  std::vector<std::int32_t> ia, ja;  // ia[0..n], ja[0..nnz-1], 1-based values
  std::vector<cplx> a, b;
};

// Global numbers of the 20 local unknowns of cell (j, k) of an n by n grid,
// in the local order of global_numbering.
void cell_unknowns(int n, int j, int k, int g[20]) {
  const int level = 6 * n + 5;
  const int n1 = level * (k - 1) + 5 * (j - 1) + 1, n2 = n1 + 5;
  const int n4 = level * k + 5 * (j - 1) + 1, n3 = n4 + 5;
  const int corner[4] = {n1, n2, n3, n4};
  for (int c = 0; c < 4; ++c) {
    g[c] = corner[c];
    g[4 + c] = corner[c] + 1;
    g[12 + c] = corner[c] + 2;
    g[16 + c] = corner[c] + 3;
  }
  const int left = level * (k - 1) + 5 * n + 4 + j;
  g[8] = left;
  g[9] = left + 1;
  g[10] = n1 + 4;
  g[11] = n4 + 4;
}

// Assembles the uniform sample at n cells a side of the deck's sample size,
// with the coefficients of cell (1, 1) of the 60 by 60 run.
Csr assemble(const tp::Run& run, int n) {
  const tp::Coefficients& co = run.co;
  const double omega = run.omega;
  const double h = run.deck.domain_size / n;
  Csr s;
  s.n = tp::unknown_count(n, n);
  // Pattern: each row's columns from the cells it belongs to, sorted.
  std::vector<std::vector<std::int32_t>> rows(s.n + 1);
  int g[20];
  for (int j = 1; j <= n; ++j)
    for (int k = 1; k <= n; ++k) {
      cell_unknowns(n, j, k, g);
      for (int l = 0; l < 20; ++l) rows[g[l]].insert(rows[g[l]].end(), g, g + 20);
    }
  s.ia.assign(s.n + 1, 1);
  for (int r = 1; r <= s.n; ++r) {
    auto& v = rows[r];
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
    s.ia[r] = s.ia[r - 1] + static_cast<int>(v.size());
  }
  s.ja.reserve(s.ia[s.n] - 1);
  for (int r = 1; r <= s.n; ++r) {
    s.ja.insert(s.ja.end(), rows[r].begin(), rows[r].end());
    std::vector<std::int32_t>().swap(rows[r]);
  }
  s.a.assign(s.ja.size(), cplx(-0.0, -0.0));
  s.b.assign(s.n, cplx(0.0, 0.0));
  // Every cell with the coefficients of cell (1, 1) of the 60 by 60 run.
  tp::Coefficients cell;
  tp::size_coefficients(cell, n, n);
  tp::RealField* to[] = {&cell.lambda1, &cell.lambda3, &cell.mu1, &cell.mu3, &cell.mu13, &cell.b1,
                         &cell.b2,      &cell.m,       &cell.d3,  &cell.p11, &cell.p12,  &cell.p13,
                         &cell.p22,     &cell.p23,     &cell.p33, &cell.f11, &cell.f12,  &cell.f22};
  const tp::RealField* from[] = {&co.lambda1, &co.lambda3, &co.mu1, &co.mu3, &co.mu13, &co.b1,
                                 &co.b2,      &co.m,       &co.d3,  &co.p11, &co.p12,  &co.p13,
                                 &co.p22,     &co.p23,     &co.p33, &co.f11, &co.f12,  &co.f22};
  for (int q = 0; q < 18; ++q)
    for (int j = 1; j <= n; ++j)
      for (int k = 1; k <= n; ++k) (*to[q])(j, k) = (*from[q])(1, 1);
  const tp::CellGrid grid{n, n, h};
  tp::ElementMatrix em;
  tp::ElementVector ev;
  for (int j = 1; j <= n; ++j)
    for (int k = 1; k <= n; ++k) {
      tp::local_sys(grid, j, k, omega, cell, em, ev);
      cell_unknowns(n, j, k, g);
      for (int l = 1; l <= 20; ++l) {
        const int r = g[l - 1];
        const auto first = s.ja.begin() + (s.ia[r - 1] - 1), last = s.ja.begin() + (s.ia[r] - 1);
        for (int t = 1; t <= 20; ++t) {
          const auto pos = std::lower_bound(first, last, g[t - 1]) - s.ja.begin();
          s.a[pos] += em(l, t);
        }
        s.b[r - 1] += ev(l);
      }
    }
  return s;
}

// Peak resident memory since the last reset, in bytes (Linux).
long long peak_rss() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atoll(line.c_str() + 6) * 1024;
  return 0;
}
void reset_peak_rss() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The BLAS libraries this process has loaded.
void print_blas() {
  std::ifstream f("/proc/self/maps");
  std::string line, seen;
  while (std::getline(f, line)) {
    const auto p = line.find('/');
    if (p == std::string::npos || line.find("blas") == std::string::npos) continue;
    const std::string path = line.substr(p);
    if (seen.find(path) == std::string::npos) seen += "  " + path + "\n";
  }
  std::printf("BLAS loaded:\n%s", seen.empty() ? "  (none)\n" : seen.c_str());
}

// Processor seconds of this process (all its threads), which the load of
// other work on the machine disturbs less than the wall clock.
double cpu_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + 1e-9 * ts.tv_nsec;
}

struct Outcome {
  double seconds = 0, cpu = 0, peak = 0, entries = 0, flops = 0, berr = 0;
  bool ok = false;
};

#if defined(BENCH_WITH_UMFPACK)
// The compressed rows of A are the compressed columns of A^T; UMFPACK's
// UMFPACK_Aat solves with the (unconjugated) transpose of that, A itself.
Outcome run_umfpack(const Csr& s, std::vector<cplx>& z) {
  std::vector<SuiteSparse_long> p(s.ia.begin(), s.ia.end()), i(s.ja.begin(), s.ja.end());
  for (auto& v : p) --v;
  for (auto& v : i) --v;
  const double* ax = reinterpret_cast<const double*>(s.a.data());
  Outcome o;
  double info[UMFPACK_INFO], control[UMFPACK_CONTROL];
  umfpack_zl_defaults(control);
  void *sym = nullptr, *num = nullptr;
  const double t0 = now();
  int st = umfpack_zl_symbolic(s.n, s.n, p.data(), i.data(), ax, nullptr, &sym, control, info);
  if (st == UMFPACK_OK)
    st = umfpack_zl_numeric(p.data(), i.data(), ax, nullptr, sym, &num, control, info);
  if (st == UMFPACK_OK)
    st = umfpack_zl_solve(UMFPACK_Aat, p.data(), i.data(), ax, nullptr,
                          reinterpret_cast<double*>(z.data()), nullptr,
                          reinterpret_cast<const double*>(s.b.data()), nullptr, num, control, info);
  o.seconds = now() - t0;
  o.ok = st == UMFPACK_OK;
  o.entries = info[UMFPACK_LNZ] + info[UMFPACK_UNZ];
  o.flops = info[UMFPACK_FLOPS];
  if (!o.ok) std::printf("UMFPACK status %d\n", st);
  umfpack_zl_free_symbolic(&sym);
  umfpack_zl_free_numeric(&num);
  return o;
}
#endif

Outcome run_mumps(const Csr& s, std::vector<cplx>& z, tp::MumpsOrder order) {
  tp::MumpsOptions opt;
  opt.order = order;
  Outcome o;
  tp::MumpsFactor f;
  const double t0 = now();
  z = s.b;
  int st = tp::mumps_analyse(f, s.n, s.ia.data(), s.ja.data(), s.a.data(), opt);
  if (st == 0) st = tp::mumps_factor(f);
  if (st == 0) st = tp::mumps_solve(f, z.data());
  o.seconds = now() - t0;
  o.ok = st == 0;
  o.entries = f.counts.factor_entries;
  o.flops = f.counts.flops;
  if (!o.ok) std::printf("%s\n", tp::mumps_message(f.counts.infog1, f.counts.infog2).c_str());
  return o;
}

// The own solver's phases as the driver runs them past the legacy tables:
// order, analyse, factor (storage sized from the analysis), solve.
Outcome run_own(const Csr& s, std::vector<cplx>& z) {
  using tp::View1;
  Outcome o;
  const int n = s.n;
  const tp::SparseRows a{n, View1<std::int32_t>{const_cast<std::int32_t*>(s.ia.data())},
                         View1<std::int32_t>{const_cast<std::int32_t*>(s.ja.data())},
                         View1<cplx>{const_cast<cplx*>(s.a.data())}};
  std::vector<std::int32_t> p(n), ip(n);
  std::vector<cplx> b = s.b;
  const double t0 = now();
  int flag = tp::zn_order(a, View1<std::int32_t>{p.data()}, View1<std::int32_t>{ip.data()}, nullptr,
                          0, nullptr);
  tp::SparseFactor f;
  tp::zn_init(f, n, View1<std::int32_t>{p.data()}, View1<std::int32_t>{p.data()},
              View1<std::int32_t>{ip.data()}, nullptr, 0);
  if (flag == 0) flag = tp::zn_analyse(f, a);
  if (flag == 0) flag = tp::zn_factor(f, a);
  if (flag == 0) tp::zn_solve(f, View1<cplx>{b.data()}, View1<cplx>{z.data()});
  o.seconds = now() - t0;
  o.ok = flag == 0;
  if (o.ok) {
    o.entries = double(f.lnz) + f.unz + n;
    o.flops = 8.0 * static_cast<double>(f.work_to[n]);  // 8 per complex multiply-add
  } else {
    std::printf("own solver flag %d\n", flag);
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  if (tp::mumps_process_start(&argc, &argv) != 0) return tp::mumps_worker();
  const int n = argc > 1 ? std::atoi(argv[1]) : 60;
  std::string solvers = "umfpack,amd,metis,own";
  int reps = 1;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--solvers")) solvers = argv[i + 1];
    if (!std::strcmp(argv[i], "--reps")) reps = std::atoi(argv[i + 1]);
  }

  const std::string dir = "/tmp/threephase-bench-anchors";
  const auto run = assembled_case(dir, 60);
  {
    const Csr at60 = assemble(*run, 60);
    const bool same =
        at60.n == tpbench::neq(*run) &&
        std::memcmp(at60.a.data(), run->sys.avec.data(), at60.a.size() * sizeof(cplx)) == 0 &&
        std::memcmp(at60.ja.data(), run->sys.ja.data(), at60.ja.size() * 4) == 0;
    std::printf("assembly at 60 equals the program's matrix bit for bit: %s\n",
                same ? "yes" : "NO");
    if (!same) return 1;
  }
  const double t0 = now();
  const Csr s = assemble(*run, n);
  std::printf("grid %d x %d: unknowns %d, stored entries %d, assembled in %.2f s\n", n, n, s.n,
              s.ia[s.n] - 1, now() - t0);
  std::printf("%s\n", tp::kSolverBuild);

  std::printf("%-22s %9s %9s %10s %12s %12s %10s\n", "solver", "seconds", "cpu s", "peak MB",
              "factor nnz", "flops", "back. err");
  std::vector<cplx> z(s.n);
  for (int r = 0; r < reps; ++r) {
    std::size_t from = 0;
    while (from < solvers.size()) {
      std::size_t to = solvers.find(',', from);
      if (to == std::string::npos) to = solvers.size();
      const std::string name = solvers.substr(from, to - from);
      from = to + 1;
      reset_peak_rss();
      const double c0 = cpu_seconds();
      Outcome o;
      if (name == "umfpack") {
#if defined(BENCH_WITH_UMFPACK)
        o = run_umfpack(s, z);
#else
        continue;
#endif
      } else if (name == "amd") {
        o = run_mumps(s, z, tp::MumpsOrder::amd);
      } else if (name == "metis") {
        o = run_mumps(s, z, tp::MumpsOrder::metis);
      } else if (name == "own") {
        o = run_own(s, z);
      } else {
        continue;
      }
      o.cpu = cpu_seconds() - c0;
      o.peak = peak_rss() / 1e6;
      o.berr = tp::backward_error(s.n, s.ia.data(), s.ja.data(), s.a.data(), z.data(), s.b.data());
      const std::string label = name == "amd"     ? "MUMPS AMD"
                                : name == "metis" ? "MUMPS METIS user order"
                                : name == "own"   ? "own (minimum degree)"
                                                  : "UMFPACK (zl)";
      std::printf("%-22s %9.2f %9.2f %10.0f %12.4g %12.4g %10.2e%s\n", label.c_str(), o.seconds,
                  o.cpu, o.peak, o.entries, o.flops, o.berr, o.ok ? "" : "  FAILED");
      std::fflush(stdout);
    }
  }
  print_blas();
  tp::mumps_process_end();
  return 0;
}
