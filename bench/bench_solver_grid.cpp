// The solver's phases on the pattern of the program's element system at any
// grid size, before the program's own tables reach past 60 by 60 cells:
// every cell couples its 20 unknowns (the four values of each corner node,
// its two vertical and two horizontal edge values) with one another, in the
// program's numbering. The entries are random with a dominant diagonal, so
// no pivot fails; time, fill and work depend on the pattern alone. At 60 by
// 60 it checks that the pattern is the one the program assembles.
//
//   bench_solver_grid N     (N by N cells; run under /usr/bin/time -v for
//                            the peak resident memory)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>
#include <vector>

#include "bench/full_run.hpp"
#include "sparse/zndrv.hpp"

namespace {

using tp::cplx;
using tp::View1;
using tpbench::now;

// The 20 unknowns of cell (j, k) of an nx-wide grid, as the program numbers
// them (see fem/global_numbering.cpp).
void cell_unknowns(int nx, int j, int k, int out[20]) {
  const int level = 6 * nx + 5;
  const int n1 = level * (k - 1) + 5 * (j - 1) + 1;
  const int n4 = level * k + 5 * (j - 1) + 1;
  const int corner[4] = {n1, n1 + 5, n4 + 5, n4};
  for (int c = 0; c < 4; ++c)
    for (int v = 0; v < 4; ++v) out[4 * c + v] = corner[c] + v;
  const int left = level * (k - 1) + 5 * nx + 4 + j;
  out[16] = left;
  out[17] = left + 1;
  out[18] = n1 + 4;
  out[19] = n4 + 4;
}

struct Rows {
  int n = 0;
  std::vector<std::int32_t> ia, ja;
  std::vector<cplx> a;
};

// The pattern as the union of the cells' 20 by 20 blocks, rows in ascending
// column order; random values, diagonal 1 + the sum of the row's moduli.
Rows element_system(int nx, int ny) {
  Rows m;
  m.n = (6 * nx + 5) * ny + 5 * nx + 4;
  std::vector<std::vector<std::int32_t>> cols(m.n);
  int u[20];
  for (int k = 1; k <= ny; ++k)
    for (int j = 1; j <= nx; ++j) {
      cell_unknowns(nx, j, k, u);
      for (int a : u)
        for (int b : u) cols[a - 1].push_back(b);
    }
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  m.ia.push_back(1);
  for (int i = 1; i <= m.n; ++i) {
    auto& c = cols[i - 1];
    std::sort(c.begin(), c.end());
    c.erase(std::unique(c.begin(), c.end()), c.end());
    double off = 0.0;
    std::size_t diag = 0;
    for (std::size_t t = 0; t < c.size(); ++t) {
      m.ja.push_back(c[t]);
      if (c[t] == i) {
        diag = m.a.size();
        m.a.emplace_back(0.0);
      } else {
        m.a.emplace_back(val(gen), val(gen));
        off += std::abs(m.a.back());
      }
    }
    m.a[diag] = cplx(1.0 + off, 0.25);
    m.ia.push_back(static_cast<std::int32_t>(m.ja.size()) + 1);
    std::vector<std::int32_t>().swap(c);
  }
  return m;
}

// True when m has the pattern of the system the program assembles at 60 by
// 60 cells (rows compared as sets of columns).
bool same_as_program(const Rows& m) {
  const std::string dir = "/tmp/threephase-bench-grid";
  const auto run = tpbench::assembled_case(dir, 60);
  if (tpbench::neq(*run) != m.n) return false;
  const auto &ia = run->sys.ia, &ja = run->sys.ja;
  for (int i = 1; i <= m.n; ++i) {
    std::vector<std::int32_t> c(&ja(ia(i)), &ja(ia(i + 1) - 1) + 1);
    std::sort(c.begin(), c.end());
    if (!std::equal(c.begin(), c.end(), m.ja.begin() + (m.ia[i - 1] - 1),
                    m.ja.begin() + (m.ia[i] - 1)))
      return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int side = argc > 1 ? std::atoi(argv[1]) : 60;
  double t0 = now();
  Rows m = element_system(side, side);
  const double tbuild = now() - t0;
  if (side == 60 && !same_as_program(m)) {
    std::printf("the generated pattern differs from the program's at 60 by 60\n");
    return 1;
  }
  const tp::SparseRows a{m.n, View1<std::int32_t>{m.ia.data()}, View1<std::int32_t>{m.ja.data()},
                         View1<cplx>{m.a.data()}};
  std::vector<std::int32_t> p(m.n), ip(m.n);
  std::vector<cplx> b(m.n + 1), z(m.n + 1);
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  for (int i = 0; i < m.n; ++i) b[i] = cplx(val(gen), val(gen));

  // The phases as the driver runs them past 60 by 60 cells: storage sized
  // from the analysis.
  const std::clock_t c0 = std::clock();
  t0 = now();
  int flag = tp::zn_order(a, View1<std::int32_t>{p.data()}, View1<std::int32_t>{ip.data()}, nullptr,
                          0, nullptr);
  const double t1 = now();
  tp::SparseFactor f;
  tp::zn_init(f, m.n, View1<std::int32_t>{p.data()}, View1<std::int32_t>{p.data()},
              View1<std::int32_t>{ip.data()}, nullptr, 0);
  if (flag == 0) flag = tp::zn_analyse(f, a);
  const double t2 = now();
  const long long need = flag == 0 ? tp::zn_memory_bytes(f) : 0;
  tp::ProgressLine line;  // drawn on standard error when it is a terminal
  tp::progress_begin(line, "factorization", "multiply-adds");
  const tp::Progress progress = tp::progress_to(line);
  f.progress = &progress;
  const std::clock_t cf = std::clock();
  if (flag == 0) flag = tp::zn_factor(f, a);
  const double cpu_factor = static_cast<double>(std::clock() - cf) / CLOCKS_PER_SEC;
  progress_end(line);
  const double t3 = now();
  if (flag != 0) {
    std::printf("flag %d\n", flag);
    return 1;
  }
  tp::zn_solve(f, View1<cplx>{b.data()}, View1<cplx>{z.data()});
  const double t4 = now();
  const double cpu = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
  const double madds = static_cast<double>(f.work_to[m.n]);
  std::printf("grid %d x %d, unknowns %d, stored entries %d (pattern built in %.2f s%s)\n", side,
              side, m.n, m.ia[m.n] - 1, tbuild, side == 60 ? ", same as the program's" : "");
  std::printf(
      "order %.3f s, analyse %.3f s, factor %.3f s, solve %.3f s, solver %.3f s "
      "(processor time %.3f s, of the factor %.3f s: the machine is shared)\n",
      t1 - t0, t2 - t1, t3 - t2, t4 - t3, t4 - t0, cpu, cpu_factor);
  std::printf("fill %lld (strict L %d + strict U %d), multiply-adds %.4g, %.3g per s\n",
              static_cast<long long>(f.lnz) + f.unz, f.lnz, f.unz, madds, madds / (t3 - t2));
  std::printf("factor memory %.3f GB (zn_memory_bytes), residual %.2e\n", need / 1e9,
              tp::zn_residual(a, View1<cplx>{z.data()}, View1<cplx>{b.data()}));
  // The bits of the factors and of the solution, which no change of the
  // solver's speed may alter.
  const std::uint64_t hl = tpbench::bytes_hash(&f.l(1), sizeof(cplx) * f.lnz);
  const std::uint64_t hd = tpbench::bytes_hash(&f.d(1), sizeof(cplx) * m.n);
  const std::uint64_t hu = tpbench::bytes_hash(&f.u(1), sizeof(cplx) * f.unz);
  std::printf("hashes: l %016llx d %016llx u %016llx solution %016llx\n",
              static_cast<unsigned long long>(hl), static_cast<unsigned long long>(hd),
              static_cast<unsigned long long>(hu),
              static_cast<unsigned long long>(tpbench::bytes_hash(z.data(), sizeof(cplx) * m.n)));
  return 0;
}
