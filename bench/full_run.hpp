#pragma once
// The stages of one run of the program, in the order of the driver, callable
// one by one from a benchmark: the same routines on the same static tables,
// with standard output sent to /dev/null and the result files written in a
// scratch directory. Also the matrix and the solver workspace of that run,
// so that other solvers can be timed on exactly the same system.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/tables.hpp"
#include "driver/stages.hpp"

namespace tpbench {

// Seconds of each stage of one run (wall clock).
struct StageTimes {
  double read = 0;       // deck, material map, porosity
  double rock = 0;       // elastic, mass and friction coefficients
  double planewave = 0;  // closed-form plane waves of every cell
  double assembly = 0;   // unknown numbering and global system
  double ordering = 0;   // zn_order: minimum-degree order
  double factor = 0;     // analyse + numeric + solve
  double analyse = 0;    // zn_analyse: symbolic factorization
  double numeric = 0;    // zn_factor
  double solve = 0;      // zn_solve
  double post = 0;       // post-processing and result files
  double total() const { return read + rock + planewave + assembly + ordering + factor + post; }
};

// Makes `dir` (removing an older one) and fills it with the permafrost
// example, its deck set to n by n cells. Returns the path of the deck.
std::string make_case_dir(const std::string& dir, int n);

// Runs the stages up to the assembly in `dir` (whose deck is read).
void run_to_assembly(const std::string& dir, StageTimes& t);
// The solver's phases on the assembled system (order, analyse, factor,
// solve), as the driver calls them; ends the process on a nonzero flag.
void run_solver(StageTimes& t);
// The post-processing with its result files.
void run_post(StageTimes& t);

// The assembled system of the last run_to_assembly and its solution.
int neq();
const tp::RowStarts& ia();
const tp::ColumnIndices& ja();
const tp::MatrixValues& avec();
const tp::UnknownVector& rhs();
const tp::UnknownVector& solution();
// Number of stored entries of strict L and strict U after run_solver.
long long fill();
// Complex multiply-adds of the numeric factorization, as its symbolic phase
// counts them: for every L entry (k, j), one per entry of U row j.
long long factor_multiply_adds();

// The deck, the angular frequency and the cells' coefficients of the last
// run_to_assembly, to build the same sample's system on other grids.
const tp::Deck& deck_of_run();
double angular_frequency();
const tp::Coefficients& coefficients();

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
// Median of n values (sorts them).
double median(double* v, int n);
// FNV-1a hash of the bytes of the solution, to see that it does not change.
std::uint64_t solution_hash();
// FNV-1a hash of any bytes (the factors, a solution held elsewhere).
std::uint64_t bytes_hash(const void* data, std::size_t bytes);

}  // namespace tpbench
