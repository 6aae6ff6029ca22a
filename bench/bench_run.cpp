// The whole run on the permafrost example: each stage of a 60 by 60 run
// timed in this process (the driver's Run and its stages, with the full
// report and files, and the vertical plate test after them), the whole program timed as a child
// process (wall clock and peak resident memory), and the growth of time and fill with the grid from
// 10 to 60 cells a side, with the exponents fitted on logarithms.
//
//   bench_run [repetitions]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/full_run.hpp"

namespace {

using namespace tpbench;

// Median over the repetitions of the stages of an in-process run, each a
// fresh Run with its full report and files, as the program makes it; the
// last run is kept in `last` for its sizes and counts.
StageTimes stages(const std::string& dir, int reps, std::unique_ptr<tp::Run>& last) {
  std::vector<double> v[9];
  for (int r = 0; r < reps; ++r) {
    last.reset();
    last = std::make_unique<tp::Run>();
    tp::Run& run = *last;
    StageTimes t;
    read_case(run, dir, tp::Report::full, t);
    run_to_assembly(run, tp::Report::full, t);
    run_solver(run, t);
    run_post(run, tp::Report::full, t);
    run_plates(run, t);
    close_case(run);
    const double all[9] = {t.read,   t.rock, t.planewave, t.assembly, t.ordering,
                           t.factor, t.post, t.plates,    t.total()};
    for (int i = 0; i < 9; ++i) v[i].push_back(all[i]);
  }
  StageTimes m;
  double* out[8] = {&m.read,     &m.rock,   &m.planewave, &m.assembly,
                    &m.ordering, &m.factor, &m.post,      &m.plates};
  for (int i = 0; i < 8; ++i) *out[i] = median(v[i].data(), reps);
  return m;
}

// Least-squares slope of log y against log x.
double exponent(const std::vector<double>& x, const std::vector<double>& y) {
  const int n = static_cast<int>(x.size());
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (int i = 0; i < n; ++i) {
    const double lx = std::log(x[i]), ly = std::log(y[i]);
    sx += lx;
    sy += ly;
    sxx += lx * lx;
    sxy += lx * ly;
  }
  return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

// Median wall and processor times and largest peak RSS of the program over
// the repetitions.
Process program_runs(const std::string& dir, int reps) {
  std::vector<double> w, cpu;
  long rss = 0;
  for (int r = 0; r < reps; ++r) {
    const Process p = run_program(THREEPHASE_PROGRAM, dir);
    if (p.status != 40) {
      std::printf("the program ended with status %d in %s\n", p.status, dir.c_str());
      std::exit(1);
    }
    w.push_back(p.wall);
    cpu.push_back(p.cpu);
    rss = std::max(rss, p.rss_kb);
  }
  return {median(w.data(), reps), median(cpu.data(), reps), rss, 40};
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::atoi(argv[1]) : 5;
  const std::string root = "/tmp/threephase-bench-run";

  // 1. The whole program as a child process, on every grid, before this
  // process touches its own tables: a child's peak RSS also counts what it
  // inherited before its exec.
  Process whole[7];
  for (int n = 10; n <= 60; n += 10) {
    const std::string dir = root + "/" + std::to_string(n);
    make_case_dir(dir, n);
    whole[n / 10] = program_runs(dir, reps);
  }
  std::printf(
      "whole process, 60 by 60: wall %.3f s (median of %d; target <= 1.5 s), peak RSS "
      "%.1f MB (target <= 250 MB)\n\n",
      whole[6].wall, reps, whole[6].rss_kb / 1024.0);

  // 2. Stages of the 60 by 60 run.
  std::unique_ptr<tp::Run> run;
  const StageTimes s = stages(root + "/60", reps, run);
  std::printf("60 by 60 permafrost, %d unknowns, medians of %d runs in this process (s):\n",
              neq(*run), reps);
  std::printf("  deck, tables, side files, map %7.3f\n", s.read);
  std::printf("  rock physics (porosity, maps) %7.3f\n", s.rock);
  std::printf("  plane waves                   %7.3f\n", s.planewave);
  std::printf("  assembly                      %7.3f\n", s.assembly);
  std::printf("  ordering                      %7.3f\n", s.ordering);
  std::printf("  factorization with solve      %7.3f\n", s.factor);
  std::printf("  post-processing and files     %7.3f\n", s.post);
  std::printf("  all stages of the legacy test %7.3f\n", s.total());
  std::printf("  vertical plate test (after)   %7.3f\n", s.plates);
  std::printf("  fill il(n+1)-1 + iu(n+1)-1    %lld\n", fill(*run));
  std::printf("  complex multiply-adds         %.4g\n",
              static_cast<double>(factor_multiply_adds(*run)));

  // 3. Growth with the grid.
  std::printf(
      "\n| cells a side | unknowns | fill | multiply-adds | ordering (s) | "
      "factorization with solve (s) | whole process (s) | peak RSS (MB) |\n");
  std::printf("| --- | --- | --- | --- | --- | --- | --- | --- |\n");
  std::vector<double> ns, fills, opss, tord, tfac, twall;
  for (int n = 10; n <= 60; n += 10) {
    const StageTimes t = stages(root + "/" + std::to_string(n), reps, run);
    ns.push_back(neq(*run));
    fills.push_back(static_cast<double>(fill(*run)));
    opss.push_back(static_cast<double>(factor_multiply_adds(*run)));
    tord.push_back(t.ordering);
    tfac.push_back(t.factor);
    twall.push_back(whole[n / 10].wall);
    std::printf("| %d | %d | %.0f | %.3g | %.4f | %.4f | %.3f | %.1f |\n", n, neq(*run),
                fills.back(), opss.back(), t.ordering, t.factor, twall.back(),
                whole[n / 10].rss_kb / 1024.0);
  }
  std::printf("| growth exponent in the unknowns | | %.2f | %.2f | %.2f | %.2f | %.2f | |\n",
              exponent(ns, fills), exponent(ns, opss), exponent(ns, tord), exponent(ns, tfac),
              exponent(ns, twall));
  return 0;
}
