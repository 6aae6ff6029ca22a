// The sparse solver on the assembled 60 by 60 permafrost system: time of
// each phase (order, analyse, factor, solve; medians), the fill, the
// multiply-add count, the residual, and this machine's scalar multiply-add
// rate to judge the factorization against. Built with BENCH_WITH_UMFPACK,
// BENCH_WITH_KLU or BENCH_WITH_EIGEN it also solves the same matrix with that
// library in the same run, alternating with the program's solver; with
// UMFPACK (its 64-bit interface, with the BLAS it loads named) it also runs
// the whole program on the same deck as a child process in the same turns,
// and gives wall and processor times; a second program named on the command
// line (another build of it) runs in the same turns too, the two in
// alternating order.
//
//   bench_solver [repetitions]
//   bench_solver_umfpack [repetitions [other-program]]
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/full_run.hpp"
#include "sparse/zndrv.hpp"

#if defined(BENCH_WITH_UMFPACK)
#include <link.h>
#include <umfpack.h>

#include <cstring>
#include <string>
#elif defined(BENCH_WITH_KLU)
#include <klu.h>
#elif defined(BENCH_WITH_EIGEN)
#include <Eigen/OrderingMethods>
#include <Eigen/SparseCore>
#include <Eigen/SparseLU>
#endif

namespace {

using namespace tpbench;
using cd = std::complex<double>;

// ||A z - b|| / ||b|| in the 2-norm, on the assembled system.
double relative_residual(tp::Run& run, std::vector<cd> z) {
  return tp::zn_residual(system_rows(run), tp::View1<cd>{z.data()}, run.sys.rhs_m.view());
}

// Scalar multiply-adds per second: y = y + a x on arrays held in the first
// level cache, one double at a time (no vectors, no fused multiply-add).
#if defined(__clang__)
__attribute__((noinline)) double scalar_rate() {
#else
__attribute__((optimize("no-tree-vectorize"), noinline)) double scalar_rate() {
#endif
  static double x[1024], y[1024];
  for (int i = 0; i < 1024; ++i) x[i] = 1e-3 * i, y[i] = 0;
  const int sweeps = 200000;
  const double t0 = now();
  for (int s = 0; s < sweeps; ++s) {
    const double a = 1e-9 * (s & 7);
#if defined(__clang__)
#pragma clang loop vectorize(disable) interleave(disable)
#endif
    for (int i = 0; i < 1024; ++i) y[i] = y[i] + a * x[i];
    asm volatile("" : : "r"(y) : "memory");
  }
  const double t = now() - t0;
  return 1024.0 * sweeps / t;
}

#if defined(BENCH_WITH_UMFPACK) || defined(BENCH_WITH_KLU) || defined(BENCH_WITH_EIGEN)
// The matrix by columns, 0-based, complex parts interleaved.
struct Csc {
  std::vector<int> p, i;
  std::vector<double> x;
#if defined(BENCH_WITH_UMFPACK)
  std::vector<SuiteSparse_long> lp, li;  // p and i for the 64-bit interface
#endif
};

Csc by_columns(const tp::Run& run) {
  const int n = neq(run);
  const auto &ia = run.sys.ia, &ja = run.sys.ja;
  const auto& avec = run.sys.avec;
  const int nnz = ia(n + 1) - 1;
  Csc a;
  a.p.assign(n + 1, 0);
  a.i.resize(nnz);
  a.x.resize(2 * nnz);
  for (int e = 1; e <= nnz; ++e) ++a.p[ja(e)];
  for (int j = 0; j < n; ++j) a.p[j + 1] += a.p[j];
  std::vector<int> next(a.p.begin(), a.p.end() - 1);
  for (int r = 1; r <= n; ++r) {
    for (int e = ia(r); e < ia(r + 1); ++e) {
      const int q = next[ja(e) - 1]++;
      a.i[q] = r - 1;
      a.x[2 * q] = avec(e).real();
      a.x[2 * q + 1] = avec(e).imag();
    }
  }
#if defined(BENCH_WITH_UMFPACK)
  a.lp.assign(a.p.begin(), a.p.end());
  a.li.assign(a.i.begin(), a.i.end());
#endif
  return a;
}

// Solves with the library; returns the solution, its fill in `fill`.
std::vector<cd> other_solve(const tp::Run& run, const Csc& a, double& fill) {
  const int n = neq(run);
  std::vector<cd> z(n);
  for (int i = 0; i < n; ++i) z[i] = rhs(run)(i + 1);
#if defined(BENCH_WITH_UMFPACK)
  void *symbolic = nullptr, *numeric = nullptr;
  double info[UMFPACK_INFO];
  std::vector<cd> b(z);
  umfpack_zl_symbolic(n, n, a.lp.data(), a.li.data(), a.x.data(), nullptr, &symbolic, nullptr,
                      info);
  umfpack_zl_numeric(a.lp.data(), a.li.data(), a.x.data(), nullptr, symbolic, &numeric, nullptr,
                     info);
  umfpack_zl_solve(UMFPACK_A, a.lp.data(), a.li.data(), a.x.data(), nullptr,
                   reinterpret_cast<double*>(z.data()), nullptr,
                   reinterpret_cast<double*>(b.data()), nullptr, numeric, nullptr, info);
  fill = info[UMFPACK_LNZ] + info[UMFPACK_UNZ];
  umfpack_zl_free_symbolic(&symbolic);
  umfpack_zl_free_numeric(&numeric);
#elif defined(BENCH_WITH_KLU)
  klu_common common;
  klu_defaults(&common);
  Csc c = a;
  klu_symbolic* s = klu_analyze(n, c.p.data(), c.i.data(), &common);
  klu_numeric* f = klu_z_factor(c.p.data(), c.i.data(), c.x.data(), s, &common);
  klu_z_solve(s, f, n, 1, reinterpret_cast<double*>(z.data()), &common);
  fill = static_cast<double>(f->lnz) + f->unz;
  klu_z_free_numeric(&f, &common);
  klu_free_symbolic(&s, &common);
#else
  using Matrix = Eigen::SparseMatrix<cd, Eigen::ColMajor, int>;
  Eigen::Map<const Matrix> m(n, n, static_cast<int>(a.i.size()), a.p.data(), a.i.data(),
                             reinterpret_cast<const cd*>(a.x.data()));
  Eigen::SparseLU<Matrix, Eigen::COLAMDOrdering<int>> lu;
  Matrix copy = m;
  lu.analyzePattern(copy);
  lu.factorize(copy);
  Eigen::Map<Eigen::VectorXcd> zz(z.data(), n);
  Eigen::VectorXcd x = lu.solve(zz);
  for (int i = 0; i < n; ++i) z[i] = x[i];
  fill = static_cast<double>(lu.nnzL()) + lu.nnzU();
#endif
  return z;
}

#if defined(BENCH_WITH_UMFPACK)
constexpr const char* kOther = "UMFPACK";

// The shared objects of this process whose names hold "blas": the BLAS that
// UMFPACK's dense kernels run on.
int add_blas(dl_phdr_info* info, std::size_t, void* names) {
  if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "blas") != nullptr)
    *static_cast<std::string*>(names) += std::string(" ") + info->dlpi_name;
  return 0;
}

std::string loaded_blas() {
  std::string names;
  dl_iterate_phdr(add_blas, &names);
  return names.empty() ? " none found" : names;
}
#elif defined(BENCH_WITH_KLU)
constexpr const char* kOther = "KLU";
#else
constexpr const char* kOther = "Eigen SparseLU";
#endif
#endif

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::atoi(argv[1]) : 5;
  const std::string dir = "/tmp/threephase-bench-solver";
  // The driver's run up to the assembly, without its report and files.
  const auto owner = assembled_case(dir, 60);
  tp::Run& run = *owner;
  StageTimes t;

  std::vector<double> tord(reps), tana(reps), tnum(reps), tsolve(reps), tfac(reps), tsol(reps),
      tother(reps), cfac(reps), cother(reps), twhole(reps), cwhole(reps), tprev(reps), cprev(reps);
  [[maybe_unused]] const char* previous = argc > 2 ? argv[2] : nullptr;
  [[maybe_unused]] double other_fill = 0, other_res = 0;
#if defined(BENCH_WITH_UMFPACK) || defined(BENCH_WITH_KLU) || defined(BENCH_WITH_EIGEN)
  const Csc a = by_columns(run);
#endif
  for (int r = 0; r < reps; ++r) {
#if defined(BENCH_WITH_UMFPACK)
    // The two child runs of a turn swap places every turn: on this machine a
    // run that comes right after the in-process solvers (which have just
    // freed their memory) takes longer than one that follows another child.
    // Without a second program the program itself runs twice.
    const char* second = previous != nullptr ? previous : THREEPHASE_PROGRAM;
    const bool program_first = r % 2 == 0;
    const Process one = run_program(program_first ? THREEPHASE_PROGRAM : second, dir);
    const Process two = run_program(program_first ? second : THREEPHASE_PROGRAM, dir);
    const Process& whole = program_first ? one : two;
    const Process& other = program_first ? two : one;
    if (whole.status != 40) std::printf("the program ended with status %d\n", whole.status);
    if (other.status != 40) std::printf("%s ended with status %d\n", second, other.status);
    twhole[r] = whole.wall;
    cwhole[r] = whole.cpu;
    tprev[r] = other.wall;
    cprev[r] = other.cpu;
#endif
    const double c0 = processor_time();
    run_solver(run, t);
    cfac[r] = processor_time() - c0;
    tord[r] = t.ordering;
    tana[r] = t.analyse;
    tnum[r] = t.numeric;
    tsolve[r] = t.solve;
    tfac[r] = t.factor;
    tsol[r] = t.ordering + t.factor;
#if defined(BENCH_WITH_UMFPACK) || defined(BENCH_WITH_KLU) || defined(BENCH_WITH_EIGEN)
    const double c1 = processor_time();
    const double t0 = now();
    const std::vector<cd> z = other_solve(run, a, other_fill);
    tother[r] = now() - t0;
    cother[r] = processor_time() - c1;
    if (r == 0) other_res = relative_residual(run, z);
#endif
  }
  std::vector<cd> z(neq(run));
  for (int i = 0; i < neq(run); ++i) z[i] = solution(run)(i + 1);
  const double res = relative_residual(run, z);
  const long long ops = factor_multiply_adds(run);
  const double rate = scalar_rate();

  const double ord = median(tord.data(), reps), fac = median(tfac.data(), reps);
  const double sol = median(tsol.data(), reps);
  std::printf("grid 60 x 60, unknowns %d, stored entries %d, repetitions %d (medians)\n", neq(run),
              run.sys.ia(neq(run) + 1) - 1, reps);
  const double num = median(tnum.data(), reps);
  std::printf("order (in analyse_system)        %8.3f s\n", ord);
  std::printf("analyse (rest of analyse_system) %8.3f s\n", median(tana.data(), reps));
  std::printf("factor (factor_and_solve less a solve) %8.3f s (fastest %.3f s)\n", num,
              *std::min_element(tnum.begin(), tnum.end()));
  std::printf("solve (own_solve, alone)          %8.3f s\n", median(tsolve.data(), reps));
  std::printf("analyse + factor + solve         %8.3f s (fastest %.3f s)\n", fac,
              *std::min_element(tfac.begin(), tfac.end()));
  std::printf("solver in all                    %8.3f s\n", sol);
  std::printf("fill (strict L + strict U)       %lld\n", fill(run));
  std::printf("complex multiply-adds            %.4g (elimination of the rows)\n",
              static_cast<double>(ops));
  std::printf("relative residual ||Az-b||/||b|| %.3e %s\n", res, res < 1e-10 ? "ok" : "TOO LARGE");
  std::printf("solution hash                    %016llx\n",
              static_cast<unsigned long long>(solution_hash(run)));
  std::printf("scalar multiply-add rate         %.3g per s\n", rate);
  // One complex multiply-add is four real multiplications and four real
  // additions: four scalar multiply-adds.
  const double bound = 4.0 * static_cast<double>(ops) / rate;
  std::printf(
      "time of 4 x multiply-adds at that rate %.3f s; factorization / that = %.2f "
      "(target <= 2)\n",
      bound, num / bound);
  std::printf("complex multiply-adds per second in the factorization %.3g\n",
              static_cast<double>(ops) / num);
#if defined(BENCH_WITH_UMFPACK) || defined(BENCH_WITH_KLU) || defined(BENCH_WITH_EIGEN)
  const double oth = median(tother.data(), reps);
  std::printf("%s: %.3f s (symbolic, numeric, solve), fill %.0f, residual %.3e\n", kOther, oth,
              other_fill, other_res);
  std::printf("processor time: solver in all %.3f s, %s %.3f s\n", median(cfac.data(), reps),
              kOther, median(cother.data(), reps));
  std::vector<double> ratio(reps);
  for (int r = 0; r < reps; ++r) ratio[r] = tsol[r] / tother[r];
  std::printf(
      "ratio of the program's solver time to %s: %.2f (ratio of the medians), %.2f "
      "(median of the ratios of each repetition)\n",
      kOther, sol / oth, median(ratio.data(), reps));
#if defined(BENCH_WITH_UMFPACK)
  std::printf("BLAS loaded:%s\n", loaded_blas().c_str());
  if (previous == nullptr) {
    // Both runs of each turn are the program's.
    twhole.insert(twhole.end(), tprev.begin(), tprev.end());
    cwhole.insert(cwhole.end(), cprev.begin(), cprev.end());
    const std::vector<double> same_turns = tother;
    tother.insert(tother.end(), same_turns.begin(), same_turns.end());
  }
  const int runs = static_cast<int>(twhole.size());
  ratio.resize(runs);
  for (int r = 0; r < runs; ++r) ratio[r] = twhole[r] / tother[r];
  const double wall = median(twhole.data(), runs), cpu = median(cwhole.data(), runs);
  std::printf("whole program (child process, %d runs) %.3f s, processor time %.3f s\n", runs, wall,
              cpu);
  std::printf(
      "whole program / %s: %.2f (ratio of the medians), %.2f (median of the ratios), "
      "%.2f (processor times)\n",
      kOther, wall / oth, median(ratio.data(), runs), cpu / median(cother.data(), reps));
  if (previous != nullptr) {
    const double pw = median(tprev.data(), reps), pc = median(cprev.data(), reps);
    std::printf(
        "%s (child process) %.3f s, processor time %.3f s; / %s: %.2f, %.2f "
        "(processor times)\n",
        previous, pw, pc, kOther, pw / oth, pc / median(cother.data(), reps));
  }
#endif
#endif
  return res < 1e-10 ? 0 : 1;
}
