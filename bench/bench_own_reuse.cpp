// The own solver's factorization with its analysis kept against a fresh
// analysis, on the 60 by 60 permafrost system the driver assembles: in each
// turn, order + analyse + factor (a new analysis, as a run without a kept
// one would make for its second matrix) and factor alone on the kept
// analysis, in alternating order. Prints the medians of each phase, the
// ratio of the two, and the hash of each factorization's solution, which
// must agree: the kept analysis gives the same bits.
//
//   bench_own_reuse [turns [self-sized]]
//
// By default the solver works in the run's workspace (grids within 60 by
// 60 cells); with "self-sized" it sizes its own storage from the analysis,
// as beyond 60 by 60.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/full_run.hpp"

namespace {

using namespace tpbench;

// The solution of the last factorization into z, and its hash.
std::uint64_t solve_hash(tp::OwnSolver& s, tp::Run& run, std::vector<tp::cplx>& z) {
  tp::own_solve(s, run.sys.rhs_m.view(), tp::View1<tp::cplx>{z.data()});
  return bytes_hash(z.data(), sizeof(tp::cplx) * z.size());
}

bool failed(int flag, const char* phase) {
  if (flag != 0) std::fprintf(stderr, "%s: flag %d\n", phase, flag);
  return flag != 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int turns = argc > 1 ? std::atoi(argv[1]) : 9;
  const bool self_sized = argc > 2 && std::strcmp(argv[2], "self-sized") == 0;
  const std::string dir = "/tmp/threephase-bench-own-reuse";
  // 1. The driver's run up to the assembly, without its report and files.
  const auto owner = assembled_case(dir, 60);
  tp::Run& run = *owner;
  const tp::SparseRows a = system_rows(run);
  tp::cplx* space = self_sized ? nullptr : run.workspace.data();
  const int nsp = self_sized ? 0 : static_cast<int>(run.workspace.size());
  std::vector<tp::cplx> z(static_cast<std::size_t>(a.n));

  // 2. The analysis kept: one order and one analysis, as the run makes them.
  tp::OwnSolver kept;
  if (failed(tp::own_order(kept, a, space, nsp, nullptr), "order") ||
      failed(tp::own_analyse(kept, a), "analyse") ||
      failed(tp::own_factor(kept, a, nullptr), "factor"))
    return 1;
  const std::uint64_t reference = solve_hash(kept, run, z);

  // 3. Turns: a fresh analysis then its factorization, and the
  // factorization alone on the kept analysis, alternating which comes first.
  // In the workspace both use the same storage, so the fresh analysis is
  // made in the kept solver itself (it leaves the same analysis behind).
  std::vector<double> tord, tana, tfac_fresh, tfac_kept, ratio;
  bool same = true;
  for (int r = 0; r < turns; ++r) {
    double fresh_order = 0, fresh_analyse = 0, fresh_factor = 0, kept_factor = 0;
    for (int leg = 0; leg < 2; ++leg) {
      const bool fresh_leg = (leg == 0) == (r % 2 == 0);
      if (fresh_leg) {
        tp::OwnSolver separate;
        tp::OwnSolver& s = self_sized ? separate : kept;
        const double t0 = now();
        if (failed(tp::own_order(s, a, space, nsp, nullptr), "order")) return 1;
        const double t1 = now();
        if (failed(tp::own_analyse(s, a), "analyse")) return 1;
        const double t2 = now();
        if (failed(tp::own_factor(s, a, nullptr), "factor")) return 1;
        const double t3 = now();
        fresh_order = t1 - t0;
        fresh_analyse = t2 - t1;
        fresh_factor = t3 - t2;
        same = same && solve_hash(s, run, z) == reference;
      } else {
        const double t0 = now();
        if (failed(tp::own_factor(kept, a, nullptr), "factor")) return 1;
        kept_factor = now() - t0;
        same = same && solve_hash(kept, run, z) == reference;
      }
    }
    tord.push_back(fresh_order);
    tana.push_back(fresh_analyse);
    tfac_fresh.push_back(fresh_factor);
    tfac_kept.push_back(kept_factor);
    ratio.push_back((fresh_order + fresh_analyse + fresh_factor) / kept_factor);
    std::printf("turn %2d: order %.4f s, analyse %.4f s, factor %.4f s | factor alone %.4f s\n",
                r + 1, fresh_order, fresh_analyse, fresh_factor, kept_factor);
  }

  const double ord = median(tord.data(), turns), ana = median(tana.data(), turns);
  const double fac = median(tfac_fresh.data(), turns), kep = median(tfac_kept.data(), turns);
  std::printf("\n60 by 60, %d unknowns, %s, medians of %d alternated turns (wall seconds):\n", a.n,
              self_sized ? "storage sized by the analysis" : "in the run's workspace", turns);
  std::printf("  fresh: order %.4f + analyse %.4f + factor %.4f = %.4f s\n", ord, ana, fac,
              ord + ana + fac);
  std::printf("  kept analysis: factor %.4f s\n", kep);
  std::printf(
      "  (order + analyse + factor) / factor alone: %.3f (ratio of the medians), %.3f "
      "(median of the ratios of each turn)\n",
      (ord + ana + fac) / kep, median(ratio.data(), turns));
  std::printf("  order + analyse saved per further matrix: %.4f s\n", ord + ana);
  std::printf("  solution hash %016llx, the same in every factorization: %s\n",
              static_cast<unsigned long long>(reference), same ? "yes" : "NO");
  return same ? 0 : 1;
}
