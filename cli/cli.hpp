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
// The computation is the driver's run object (driver/run.hpp); the command
// line decides where its input comes from, where its results go and how the
// process ends.

namespace tp {

// Parses the arguments and runs the command they name; returns the exit
// status (or does not return: the legacy run ends the process with its stop).
// under_launcher: the process was started by an MPI launcher, where the
// legacy run's normal end is status 0 and the other commands that compute
// (run, converge) are refused.
int cli_main(int argc, char** argv, bool under_launcher = false);

}  // namespace tp
