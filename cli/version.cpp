#include "common/version.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/commands.hpp"
#include "common/input.hpp"
#include "common/stop.hpp"
#include "deck/deck_file.hpp"

namespace tp {

void print_version() {
  std::printf("threephase %s\n", version_string());
  std::printf("compiler: %s\n", compiler_string());
  std::printf("build options: %s\n", build_options_string());
  std::printf("solvers: own%s\n", kHaveMumps ? ", mumps" : " (MUMPS not built in)");
  std::printf("MPI: %s\n", kHaveMumpsMpi ? "built in" : "not built in");
}

bool with_solver_choices(RunOptions& options, const CommandContext& ctx) {
  const bool mumps_asked = ctx.solver == "mumps" || !ctx.mumps_order.empty() || ctx.out_of_core;
  if (mumps_asked && !kHaveMumps) {
    std::fprintf(stderr, "threephase: %s: this build has no MUMPS (see threephase --version)\n",
                 ctx.solver == "mumps" ? "--solver mumps" : "MUMPS's controls");
    return false;
  }
  options.solver_request = ctx.solver;
  options.mumps_order = ctx.mumps_order;
  options.out_of_core = ctx.out_of_core;
  return true;
}

namespace {

// Refuses a deck that is not a regular file of at most kMaxDeckBytes: a
// folder, a pipe (a process substitution such as <(cat deck)), which the run
// would find empty or wait on for ever, or a file far too large to be one.
std::string regular_deck(const std::string& path) {
  std::string text, why;
  if (read_deck_file(path.c_str(), text, why) == 0) return "";
  return path + ": " + why;
}

}  // namespace

void add_deck_argument(CLI::App* cmd, std::string& deck, const char* help) {
  cmd->add_option("DECK", deck, help)
      ->required()
      ->check(CLI::ExistingPath)
      ->check(CLI::Validator(regular_deck, "FILE"));
}

int flushed_status() { return std::fflush(stdout) == 0 ? kExitSuccess : kExitOutput; }

}  // namespace tp
