#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/commands.hpp"
#include "common/input.hpp"
#include "common/stop.hpp"
#include "driver/deck_file.hpp"

#ifndef THREEPHASE_VERSION
#define THREEPHASE_VERSION "unknown"
#endif
#ifndef THREEPHASE_BUILD_OPTIONS
#define THREEPHASE_BUILD_OPTIONS "unknown"
#endif

namespace tp {

const char* version_string() { return THREEPHASE_VERSION; }

const char* compiler_string() {
#if defined(__clang__)
  return "clang++ " __clang_version__;
#elif defined(__GNUC__)
  return "g++ " __VERSION__;
#else
  return "unknown compiler";
#endif
}

const char* build_options_string() { return THREEPHASE_BUILD_OPTIONS; }

namespace {

constexpr bool kHaveMumps =
#ifdef THREEPHASE_HAVE_MUMPS
    true;
#else
    false;
#endif
constexpr bool kHaveMpi =
#ifdef THREEPHASE_HAVE_MPI
    true;
#else
    false;
#endif

}  // namespace

void print_version() {
  std::printf("threephase %s\n", version_string());
  std::printf("compiler: %s\n", compiler_string());
  std::printf("build options: %s\n", build_options_string());
  std::printf("solvers: own%s\n", kHaveMumps ? ", mumps" : " (MUMPS not built in)");
  std::printf("MPI: %s\n", kHaveMpi ? "built in" : "not built in");
}

RunMode with_solver_choices(RunMode mode, const CommandContext& ctx) {
  const bool mumps_asked = ctx.solver == "mumps" || !ctx.mumps_order.empty() || ctx.out_of_core;
  if (mumps_asked && !kHaveMumps) {
    std::fprintf(stderr, "threephase: %s: this build has no MUMPS (see threephase --version)\n",
                 ctx.solver == "mumps" ? "--solver mumps" : "MUMPS's controls");
    std::exit(kExitBadInput);
  }
  mode.solver_request = ctx.solver.c_str();
  mode.mumps_order = ctx.mumps_order.c_str();
  mode.out_of_core = ctx.out_of_core;
  return mode;
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

bool deck_on_stdin(const std::string& path) {
  // The checks of a deck read by name (a regular file of a bounded size),
  // then the file as standard input, named in the readers' messages.
  std::string text, why;
  if (read_deck_file(path.c_str(), text, why) != 0 ||
      std::freopen(path.c_str(), "r", stdin) == nullptr) {
    std::fprintf(stderr, "threephase: %s: %s\n", path.c_str(),
                 why.empty() ? "cannot open the deck for reading" : why.c_str());
    return false;
  }
  set_stdin_name(path.c_str());
  return true;
}

}  // namespace tp
