#pragma once
// The command line of threephase.
//
//   threephase [--solver NAME] [--mumps-order ORDER] [--out-of-core] < deck
//                                          the legacy run (report on standard
//                                          output, files in the working directory)
//   threephase run DECK [-o DIR] [--solver NAME] [--quiet]
//   threephase check DECK
//   threephase --help | --version
//
// The computation itself is the driver's: the command line decides how it
// runs (where its input comes from, where its results go, how it ends).

namespace tp {

// How the driver's computation is to run.
struct RunMode {
  bool modern = false;         // `run`: modern exit statuses, results.json and maps/
  const char* deck_path = "";  // the deck, as given (for results.json)
  const char* solver = "own";  // the sparse solver that ran (set by the computation)
  // The command line's solver choices; "" where it made none.
  const char* solver_request = "";  // --solver: "own" or "mumps"
  const char* mumps_order = "";     // --mumps-order: "amd" or "metis"
  bool out_of_core = false;         // --out-of-core: MUMPS's factors on disk
};

// The driver's computation: reads the deck on standard input and ends the
// process (stop) with its status; never returns.
using Computation = void (*)(const RunMode&);

// Parses the arguments and runs the command they name; returns the exit
// status (or does not return: the legacy run ends in the computation's stop).
// under_launcher: the process was started by an MPI launcher, where the
// commands that run the program in child processes are refused.
int cli_main(int argc, char** argv, Computation compute, bool under_launcher = false);

}  // namespace tp
