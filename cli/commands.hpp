#pragma once
// The subcommands of the command line. Each lives in a file of its own and
// registers itself on the application with one add_*_command call from
// cli.cpp's list; adding a subcommand is a new file and one line there.
#include <CLI/CLI.hpp>
#include <string>

#include "cli/cli.hpp"
#include "driver/run.hpp"

namespace tp {

// What a subcommand's callback sees, and where it leaves its exit status.
struct CommandContext {
  std::string solver;           // the global --solver; empty: not given
  std::string mumps_order;      // the global --mumps-order; empty: not given
  bool out_of_core = false;     // the global --out-of-core
  bool under_launcher = false;  // started by an MPI launcher
  int status = 0;
};

// Under an MPI launcher only the legacy invocation spreads a sample over the
// processes (`converge` runs the program in child processes, which cannot
// carry MPI with them; `run` keeps to one process): says so for `command`,
// with the way that works, and returns the bad-usage status.
int refused_under_launcher(const char* command);

void add_run_command(CLI::App& app, CommandContext& ctx);
void add_check_command(CLI::App& app, CommandContext& ctx);
void add_convert_command(CLI::App& app, CommandContext& ctx);
void add_converge_command(CLI::App& app, CommandContext& ctx);

// The version block of --version.
void print_version();

// The required DECK argument of a subcommand (an existing file).
void add_deck_argument(CLI::App* cmd, std::string& deck, const char* help);

// 0 when standard output took every line, else 5 (output lost).
int flushed_status();

// `options` with the command line's solver choices of ctx (the deck, the
// environment and the grid decide what it leaves open). MUMPS asked of a
// build without it is bad usage: false, with the message printed.
bool with_solver_choices(RunOptions& options, const CommandContext& ctx);

}  // namespace tp
