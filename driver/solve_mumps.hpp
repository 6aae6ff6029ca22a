#pragma once
// The system of the compressibility test solved by MUMPS, in place of the
// own solver's ordering and factorization (order_system, factor_and_solve).
#include "deck/keyword_deck.hpp"
#include "driver/stages.hpp"
#include "sparse/mumps_solver.hpp"

namespace tp {

// Prints the library's status as the report's lines and the sentence on
// standard error, then stops with code.
[[noreturn]] void mumps_stop(const char* phase, const MumpsCounts& c, int code);

// Solver choice and MUMPS settings of a run.
struct MumpsRunOptions {
  MumpsOptions solver;
  double max_backward_error = 1e-10;  // larger: the solution is refused
};

// The solver of the run, the first choice made of: `command_line` ("own",
// "mumps", "" for none), the deck's [run] solver, THREEPHASE_SOLVER=own|mumps;
// with none, the own solver within 60 by 60 cells (whose outputs are the
// legacy ones) and MUMPS beyond when the build has it. True for MUMPS. A bad
// environment value, or MUMPS asked of a build without it, is bad input.
bool mumps_chosen(const char* command_line, SolverChoice deck_choice, const Deck& d);

// MUMPS's controls: THREEPHASE_MUMPS_ORDER=amd|metis, THREEPHASE_MUMPS_OOC=1,
// THREEPHASE_MUMPS_WORKSPACE (per cent), THREEPHASE_MUMPS_MEMORY_CAP (MB),
// then the command line's `order` ("amd", "metis", "" for none) and
// `out_of_core` over them. Bad values end the run as bad input.
MumpsRunOptions mumps_options(const char* order, bool out_of_core);

// Analyses, factors and solves sys (ia, ja, avec, rhs_m) into sys.z with
// MUMPS, checks the backward error of z, and prints one report line with the
// counts. Stops with 9 (analysis) or 99 (factorization, solve, or a backward
// error above the bound), with a message on standard
// error and the library's INFOG(1), INFOG(2) on standard output; or with
// kMemoryStopCode when the analysis estimate passes memory_limit().
MumpsCounts solve_with_mumps(const int& neq, System& sys, const MumpsRunOptions& opt);

// The phases of solve_with_mumps, so that one analysis serves several
// factorizations: the analysis of sys's pattern with the memory check
// (stops with 9 or kMemoryStopCode), then for each matrix of that pattern
// the factorization of sys.avec and the solve of sys.rhs_m into sys.z (stops
// with 99), with its report line when report.
void mumps_analyse_system(const int& neq, const System& sys, const MumpsRunOptions& opt,
                          MumpsFactor& f);
void mumps_factor_and_solve(const int& neq, System& sys, const MumpsRunOptions& opt, MumpsFactor& f,
                            bool report = true);

}  // namespace tp
