// threephase converge DECK --refine 1,2,4[,8] [-o DIR] [-j N] [--tolerance REL]:
// the sample of DECK at each refinement, and whether each result has
// converged (converge/study.hpp).
#include <cstdio>
#include <cstdlib>

#include "cli/commands.hpp"
#include "common/stop.hpp"
#include "converge/study.hpp"

namespace tp {

namespace {

// The global solver options, handed to the levels' runs as the environment
// variables the legacy face reads.
void pass_solver_choices(const CommandContext& ctx) {
  if (!ctx.solver.empty()) ::setenv("THREEPHASE_SOLVER", ctx.solver.c_str(), 1);
  if (!ctx.mumps_order.empty()) ::setenv("THREEPHASE_MUMPS_ORDER", ctx.mumps_order.c_str(), 1);
  if (ctx.out_of_core) ::setenv("THREEPHASE_MUMPS_OOC", "1", 1);
}

// The study's options, filled by the parser; the refinements as given.
struct ConvergeArguments {
  ConvergeOptions o;
  std::string refine;
};

int converge_command(ConvergeArguments& a, const CommandContext& ctx) {
  if (!parse_refinements(a.refine, a.o.refine)) {
    std::fprintf(stderr,
                 "threephase converge: --refine %s: give increasing factors from 1 to 64, "
                 "such as 1,2,4\n",
                 a.refine.c_str());
    return kExitBadInput;
  }
  // Every level is a child run of the legacy face, which takes the command
  // line's solver choices from the environment; unset, each level gets the
  // default solver of its own grid.
  pass_solver_choices(ctx);
  return converge_study(a.o);
}

}  // namespace

void add_converge_command(CLI::App& app, CommandContext& ctx) {
  CLI::App* cmd = app.add_subcommand(
      "converge",
      "Run the sample of DECK with every cell split into r by r cells for each r of --refine; "
      "give each result (mstar, c33: velocity and 1000/Q) by level with its observed order, "
      "Richardson extrapolation, error and verdict (converge.csv, converge.json; tools/plot DIR "
      "draws converge.png). DIR is replaced only when the study is complete");
  static ConvergeArguments a;
  add_deck_argument(cmd, a.o.deck, "The deck, legacy or keyword (its side files beside it)");
  cmd->add_option("--refine", a.refine,
                  "Refinements, increasing: each cell split into r by r cells (e.g. 1,2,4,8)")
      ->required();
  cmd->add_option("-o,--output", a.o.out_dir,
                  "Folder of the study, new or an earlier study's, apart from the deck's "
                  "(default: <deck's name>_converge here)");
  cmd->add_option("-j,--jobs", a.o.jobs, "Levels run at once (default 1)")
      ->check(CLI::Range(1, 256));
  cmd->add_option("--tolerance", a.o.rel_tol, "Relative tolerance of the verdicts (default 0.01)")
      ->check(CLI::Range(1e-12, 1.0));
  cmd->callback([&ctx] {
    ctx.status = ctx.under_launcher ? refused_under_launcher("converge") : converge_command(a, ctx);
  });
}

}  // namespace tp
