// A fractal sample past the legacy tables, 100 by 80 cells with a porosity
// field that varies from cell to cell: the run ends normally, the system it
// solves is solved to the rounding of its entries, and MUMPS, when built,
// finds the same moduli.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/input.hpp"
#include "deck/deck_file.hpp"
#include "deck/keyword_deck.hpp"
#include "driver/run.hpp"
#include "sparse/mumps_solver.hpp"
#include "sparse/zndrv.hpp"
#include "support/deck_edit.hpp"
#include "support/report.hpp"
#include "support/run.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp;
using namespace tp::testing;

constexpr int kNx = 100, kNy = 80;
constexpr const char* kC33 = "using averages Re(c33) FE        = ";
constexpr const char* kMstar = "from deltavol1 Re(p33) FE mstar      = ";

// The fractal example at 100 by 80 cells in a fresh folder, with a
// porosity.frac of water fractions 0.05..0.15 in a pattern without symmetry
// along x or y (k = 1..ny outer, j = 1..nx inner, 12 columns each).
std::string large_fractal_dir(const std::string& tag) {
  const std::string dir = fresh_dir(tag);
  copy_example("fractal", dir);
  write_file(dir + "/deck", join_lines(with_grid(example_lines("fractal"), kNx, kNy)));
  std::string frac;
  char value[32];
  for (int k = 1; k <= kNy; ++k) {
    for (int j = 1; j <= kNx; ++j) {
      const double phi = 0.1 + 0.05 * std::sin(0.37 * j + 0.11 * k) * std::cos(0.23 * k);
      std::snprintf(value, sizeof value, "%12.4E\n", phi);
      frac += value;
    }
  }
  write_file(dir + "/porosity.frac", frac);
  return dir;
}

double relative(double a, double b) { return std::fabs(a - b) / std::fabs(b); }

}  // namespace

TEST(LargeFractal, RunsToStop40AndMumpsFindsTheSameModuli) {
  const std::string dir = large_fractal_dir("fractal_100x80");
  const RunResult own = run_with_args(dir, "--solver own", dir + "/deck");
  ASSERT_EQ(own.status, 40) << own.err;
  EXPECT_EQ(split_lines(own.err).back(), "STOP 40");
  EXPECT_EQ(split_lines(read_file(dir + "/real_stress_map")).size(),
            static_cast<std::size_t>(kNx * kNy));
  const double c33 = report_number(own.out, kC33), mstar = report_number(own.out, kMstar);
  EXPECT_GT(c33, 0.0);
  EXPECT_GT(mstar, 0.0);
  if (!kHaveMumps) return;
  const RunResult mumps = run_with_args(dir, "--solver mumps", dir + "/deck");
  ASSERT_EQ(mumps.status, 40) << mumps.err;
  EXPECT_LT(relative(report_number(mumps.out, kC33), c33), 1e-10);
  EXPECT_LT(relative(report_number(mumps.out, kMstar), mstar), 1e-10);
}

// The same sample's system built and solved in this process by the run's own
// stages, so that its residual can be measured: the own solver's LU without
// pivoting must still leave ||A z - b|| / ||b|| at the rounding level.
TEST(LargeFractal, OwnSolverLeavesAResidualAtTheRoundingLevel) {
  const std::string dir = large_fractal_dir("fractal_100x80_residual");
  static tp::Run run;
  set_input_dir(dir.c_str());
  CapturedOutput report;
  read_run_deck(run, read_file(dir + "/deck"), "deck");
  ASSERT_EQ(run.plan.porosity, PorositySource::file);
  run.options.solver_request = "own";
  prepare_run(run, Report::silent);
  coefficients_at(run, run.deck.freq * 6.283185307179586, Report::silent);
  assemble_system(run.omega, run.sample.grid, run.co, run.sys);
  const int neq = unknowns(run.deck);
  std::vector<cplx> b(run.sys.rhs_m.data(), run.sys.rhs_m.data() + neq);  // b(1..neq)
  analyse_system(run);
  factor_and_solve_system(run);
  set_input_dir("");
  System& sys = run.sys;
  const SparseRows a{neq, sys.ia.view(), sys.ja.view(), sys.avec.view()};
  const double residual = zn_residual(a, sys.z.view(), View1<cplx>{b.data()});
  EXPECT_LT(residual, 1e-12) << neq << " unknowns";
}
