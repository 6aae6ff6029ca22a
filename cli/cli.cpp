#include "cli/cli.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/commands.hpp"
#include "common/stop.hpp"
#include "deck/deck_file.hpp"
#include "driver/run.hpp"

namespace tp {

namespace {

constexpr const char* kDescription =
    "threephase: harmonic compressibility test of a three-phase porous rock.\n"
    "\n"
    "  threephase [--solver NAME] < DECK   legacy run: report on standard output, result\n"
    "                                      files in the working directory, exit status 40\n"
    "  threephase run DECK [-o DIR]        run DECK (side files beside it) into DIR\n"
    "  threephase check DECK               read and check DECK, say what the run will use\n"
    "  threephase convert DECK [--legacy]  the deck in the other form (keyword or legacy)\n";

constexpr const char* kStatuses =
    "Exit statuses of run and check: 0 success; 2 bad input or usage; 3 beyond the memory\n"
    "limit; 4 the computation stopped with a stop code (the message names it); 5 output\n"
    "could not be written; 1 anything else (a crash, a signal). The legacy run keeps its\n"
    "own: 40 for a normal end, the stop code (low 8 bits) otherwise, 2 for bad input or\n"
    "lost output.";

constexpr const char* kUsage =
    "usage: threephase [--solver NAME] [--mumps-order ORDER] [--out-of-core] < DECK\n"
    "       threephase run DECK [-o DIR] [--stiffness SET] [--frequencies LIST] "
    "[--elastic-form FORM] [--solver NAME] [--quiet]\n"
    "       threephase check DECK\n"
    "       threephase convert DECK [--legacy] [-o FILE]\n"
    "       threephase converge DECK --refine 1,2,4[,8] [-o DIR] [-j N]\n"
    "       threephase --help | --version\n";

// A usage error: the message, the short usage, status 2.
int usage_error(const char* message) {
  std::fprintf(stderr, "threephase: %s\n%s", message, kUsage);
  std::fflush(stderr);
  return kExitBadInput;
}

}  // namespace

int refused_under_launcher(const char* command) {
  const bool run = std::string(command) == "run";
  std::fprintf(stderr,
               "threephase: %s does not run under mpirun (%s); in the folder of the deck and "
               "its side files run: mpirun -np N threephase --solver mumps < DECK\n",
               command,
               run ? "under mpirun, run spreads a curve's frequencies (--frequencies) over the "
                     "ranks; one sample's factorization over several processes is the legacy "
                     "invocation's"
                   : "it runs the program in child processes, which cannot take part in MPI");
  std::fflush(stderr);
  return kExitBadInput;
}

namespace {

// The legacy run: the deck on standard input, the report on standard
// output, the files in the working directory; the process ends with the
// run's stop.
[[noreturn]] void legacy_run(const CommandContext& ctx) {
  static Run run;  // the tables of a large grid stay off the stack
  if (!with_solver_choices(run.options, ctx)) std::exit(kExitBadInput);
  RunEnded ended(kExitFailure, EndKind::stop);
  try {
    std::string text;
    read_stdin_text(text);
    read_run_deck(run, text, "standard input");
    run_legacy_case(run);
  } catch (const RunEnded& e) {
    ended = e;
  }
  // The process ends outside the handler, the exception object freed.
  end_process(ended);
}

}  // namespace

int cli_main(int argc, char** argv, bool under_launcher) {
  if (under_launcher) set_normal_end_status(0);
  CLI::App app{kDescription, "threephase"};
  app.footer(kStatuses);
  app.fallthrough();  // --solver may follow the subcommand
  app.require_subcommand(0, 1);
  CommandContext ctx;
  ctx.under_launcher = under_launcher;
  bool version = false;
  app.add_flag("--version", version, "Print the version, the compiler and the build options");
  app.add_option("--solver", ctx.solver,
                 "Sparse solver: own or mumps; default: the deck's [run] solver, else "
                 "THREEPHASE_SOLVER, else own within 60 by 60 cells and mumps beyond "
                 "(when the build has it)")
      ->check(CLI::IsMember({"own", "mumps"}));
  app.add_option("--mumps-order", ctx.mumps_order,
                 "MUMPS's fill-reducing order: amd (default) or metis")
      ->check(CLI::IsMember({"amd", "metis"}));
  app.add_flag("--out-of-core", ctx.out_of_core,
               "MUMPS writes its factors to disk during the factorization");
  // The subcommands: one line each.
  add_run_command(app, ctx);
  add_check_command(app, ctx);
  add_convert_command(app, ctx);
  add_converge_command(app, ctx);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);  // help on standard output, status 0
  } catch (const CLI::ParseError& e) {
    return usage_error(e.what());
  } catch (const RunEnded& e) {
    return ended_status(e);  // a command's input that ended it
  }
  if (!app.get_subcommands().empty()) return ctx.status;
  if (version) {
    print_version();
    return kExitSuccess;
  }
  // The legacy run: the deck on standard input.
  if (::isatty(STDIN_FILENO)) {
    return usage_error("no deck on standard input (it is a terminal): run threephase < DECK");
  }
  legacy_run(ctx);
}

}  // namespace tp
