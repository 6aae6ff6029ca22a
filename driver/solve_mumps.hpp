#pragma once
// The system of the compressibility test solved by MUMPS, in place of the
// own solver's ordering and factorization (order_system, factor_and_solve).
#include "driver/run.hpp"
#include "sparse/mumps_solver.hpp"

namespace tp {

// Solver choice and MUMPS settings of a run.
struct MumpsRunOptions {
  MumpsOptions solver;
  double max_backward_error = 1e-10;  // larger: the solution is refused
};

// Until the command line carries them: THREEPHASE_SOLVER=own|mumps (true for
// mumps), THREEPHASE_MUMPS_ORDER=amd|metis, THREEPHASE_MUMPS_OOC=1,
// THREEPHASE_MUMPS_WORKSPACE (per cent) and THREEPHASE_MUMPS_MEMORY_CAP
// (MB). Bad values end the run as bad input.
bool mumps_requested();
MumpsRunOptions mumps_options_from_environment();

// Analyses, factors and solves sys (ia, ja, avec, rhs_m) into sys.z with
// MUMPS, checks the backward error of z, and prints one report line with the
// counts. Stops with 9 (analysis) or 99 (factorization, solve, or a backward
// error above the bound), with a message on standard
// error and the library's INFOG(1), INFOG(2) on standard output; or with
// kMemoryStopCode when the analysis estimate passes memory_limit().
MumpsCounts solve_with_mumps(const int& neq, System& sys, const MumpsRunOptions& opt);

}  // namespace tp
