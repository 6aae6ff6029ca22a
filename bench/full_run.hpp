#pragma once
// A run of the program driven stage by stage from a benchmark: the driver's
// own Run object (driver/run.hpp) and its stages, called one at a time and
// timed, with standard output sent to /dev/null, the side files read from
// the case folder and the result files written into its "out" folder. The
// matrix, the solution and the factor are read from the Run itself, so that
// other solvers can be timed on exactly the system the program solves.
//
// A stage that ends the run (tp::RunEnded) ends the benchmark with status 1
// and a line naming the stage.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/run.hpp"

namespace tpbench {

// Seconds of each stage of one run (wall clock).
struct StageTimes {
  double read = 0;       // read_run_deck and prepare_run: deck, tables, side files, material map
  double rock = 0;       // coefficients_at: porosity, elastic, mass and friction coefficients
  double planewave = 0;  // run_plane_waves: closed-form plane waves of every cell
  double assembly = 0;   // assemble_legacy_test: unknown numbering and global system
  double ordering = 0;   // the ordering within analyse_system (minimum degree)
  double analyse = 0;    // the rest of analyse_system: symbolic factorization
  double numeric = 0;    // factor_and_solve_system less its solve
  double solve = 0;      // one solve on the factor, timed alone
  double factor = 0;     // analyse + numeric + solve
  double post = 0;       // post_process_legacy_test, with its result files in a full report
  double plates = 0;     // run_plate_tests, on the analysis kept
  double total() const { return read + rock + planewave + assembly + ordering + factor + post; }
};

// Makes `dir` (removing an older one) and fills it with the permafrost
// example, its deck set to n by n cells. Returns the path of the deck.
std::string make_case_dir(const std::string& dir, int n);

// Reads the deck of the case folder `dir` into `run` (read_run_deck) and
// prepares it (prepare_run): side files from `dir`; with a full report the
// result files and maps go into dir/out (made if needed). `run` must be
// fresh (a new tp::Run).
void read_case(tp::Run& run, const std::string& dir, tp::Report report, StageTimes& t);

// The coefficients at the deck's frequency, the plane waves and the
// assembly of the legacy test.
void run_to_assembly(tp::Run& run, tp::Report report, StageTimes& t);

// A new run of the permafrost example at n by n cells in the case folder
// `dir` (made afresh), taken up to the assembly without its report and
// files: the system the solver benchmarks work on.
std::unique_ptr<tp::Run> assembled_case(const std::string& dir, int n);

// The solver's stages as the driver runs them, from a fresh analysis (the
// kept one is dropped first): analyse_system, factor_and_solve_system, then
// one more solve on the same factor to time the solve alone.
void run_solver(tp::Run& run, StageTimes& t);

// The post-processing, with its result files in a full report.
void run_post(tp::Run& run, tp::Report report, StageTimes& t);

// The rigid-plate tests on the run's analysis (the vertical test, or all
// three with run.options.full_stiffness).
void run_plates(tp::Run& run, StageTimes& t);

// Closes every file the run opened (result files and maps), so that many
// runs can follow one another in one process.
void close_case(tp::Run& run);

// The assembled system of the run and its solution (after run_solver).
int neq(const tp::Run& run);
tp::SparseRows system_rows(tp::Run& run);
const tp::UnknownVector& rhs(const tp::Run& run);
const tp::UnknownVector& solution(const tp::Run& run);
// Number of stored entries of strict L and strict U after run_solver.
long long fill(const tp::Run& run);
// Complex multiply-adds of the numeric factorization, as its symbolic phase
// counts them: for every L entry (k, j), one per entry of U row j.
long long factor_multiply_adds(const tp::Run& run);
// FNV-1a hash of the bytes of the solution, to see that it does not change.
std::uint64_t solution_hash(const tp::Run& run);

// Wall-clock seconds.
double now();
// Processor seconds of this process (user and system).
double processor_time();

// One run of the program as a child process in `dir`, its deck on
// standard input and its output discarded.
struct Process {
  double wall;  // seconds
  double cpu;   // processor seconds of the child (user and system)
  long rss_kb;  // peak resident set size of the child
  int status;   // exit status (40 for a normal run)
};
Process run_program(const char* program, const std::string& dir);
// The same with the arguments argv (argv[0] the program, ending with a null
// pointer), standard input from /dev/null unless `stdin_file` is given.
Process run_command(const char* const* argv, const std::string& dir, const char* stdin_file);
// Median of n values (sorts them).
double median(double* v, int n);
// The ratio of b's times to a's over paired turns (b[i] and a[i] ran in the
// same turn, under the load of that moment): the median of the turns'
// ratios, and the ratio of the medians.
struct PairedRatio {
  double of_turns, of_medians;
};
PairedRatio paired_ratio(const std::vector<double>& b, const std::vector<double>& a);
// FNV-1a hash of any bytes (the factors, a solution held elsewhere).
std::uint64_t bytes_hash(const void* data, std::size_t bytes);

}  // namespace tpbench
