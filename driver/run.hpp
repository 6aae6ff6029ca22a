#pragma once
// A run of the program: one object owns what a run holds (deck, plan,
// sample, reference values, coefficients, system, results, the solver with
// its analysis, what it writes, the record of the deck and the warnings),
// and the stages of a run are functions on it. Both faces run through it in
// the same process: the legacy invocation (report on standard output, files
// in the working directory, a stop line) and `run` (the same files in a
// staging folder, with results.json and maps/). Benchmarks and tests drive
// the same stages.
//
// A stage that cannot go on ends the run with RunEnded (common/stop.hpp);
// the command that started the run catches it and decides the status.
#include <string>
#include <vector>

#include "common/stage_clock.hpp"
#include "common/structures.hpp"
#include "common/warnings.hpp"
#include "deck/deck_record.hpp"
#include "deck/keyword_deck.hpp"
#include "driver/solve_mumps.hpp"
#include "driver/stages.hpp"
#include "fem/effective_moduli.hpp"
#include "fem/plate_tests.hpp"
#include "fem/stiffness_curve.hpp"
#include "results/legacy_files.hpp"
#include "results/results_json.hpp"
#include "sparse/own_solver.hpp"

namespace tp {

// What the command line asks of a run.
struct RunOptions {
  bool modern = false;          // `run`: results.json and maps/ beside the legacy files
  std::string deck_path;        // the deck's file; empty when it comes on standard input
  std::string deck_name;        // the deck as results.json names it; empty: deck_path
  std::string output_dir;       // where the result files go; empty: the working directory
  std::string solver_request;   // "own", "mumps", or empty: the deck, environment or grid decide
  std::string mumps_order;      // "amd", "metis", or empty
  bool out_of_core = false;     // MUMPS's factors on disk
  bool full_stiffness = false;  // the horizontal and shear plate tests beside the vertical one
  std::string elastic_form;     // "two_dimensional", "plane_strain", or empty: the deck's
  std::vector<double> frequencies;  // a curve's frequencies (Hz); empty: none
  int jobs = 0;                     // threads of a curve; 0: THREEPHASE_JOBS or the processors
  bool print_warnings = true;       // the deck's warnings on standard error (rank 0's alone)
};

// Whether a stage prints its part of the report and writes its maps: the
// legacy case does; the further points of a frequency curve do not.
enum class Report { full, silent };

struct Run {
  RunOptions options;

  // The input.
  DeckForm form = DeckForm::legacy;
  Deck deck;
  RunPlan plan;
  DeckRecord record;
  Warnings warnings;
  Sample sample;
  ReferenceValues refs;

  // The computation at one angular frequency.
  double omega = 0.0;
  Coefficients co;
  Fractions fr;            // the last cell's fractions, as the legacy report uses them
  double rob_med = 0.0;    // the legacy average density (kg/m3)
  CellWaves last_waves{};  // the plane waves of the last cell
  DiffusionScale diffusion{};
  System sys;
  Results results;

  // The sample's stiffness from the rigid-plate tests (same pattern as the
  // compressibility test: the same analysis serves them).
  System plate_sys;
  PlateLoad plate_loads[2];
  CellField<cplx> plate_stress;  // total vertical stress of the vertical test (Pa)
  SampleStiffness stiffness{};
  double density = 0.0;  // volume average of the cells' densities (kg/m3)
  Curve curve;           // the stiffness against frequency, when asked

  // The solver: one analysis of the pattern, any number of factorizations.
  bool use_mumps = false;
  MumpsRunOptions mumps_options{};
  OwnSolver own;
  MumpsFactor mumps;
  Array1<cplx> workspace;  // the legacy solver workspace (grids within 60 by 60)
  bool analysed = false;

  // What it writes.
  ResultFiles files;
  CoefficientMaps maps;
  Unit map_plain, map_gnu;
  RunResults modern{};
  StageClock clock;
};

// Reads the deck `text` (of either form; `source` names it in messages) into
// the run, with its record, plan and warnings, printed on standard error.
void read_run_deck(Run& run, const std::string& text, const char* source);

// Chooses the solver, sizes every table from the deck, reads the side files
// and, with a full report, creates the result files and writes the material
// map.
void prepare_run(Run& run, Report report);

// The water fraction and the coefficients of every cell at the angular
// frequency omega, with the legacy average density.
void coefficients_at(Run& run, double omega, Report report);

// The closed-form plane waves of every cell, with the diffusion lengths of
// the slow P wave and their warnings.
void run_plane_waves(Run& run, Report report);

// Numbers the unknowns and assembles the system of the legacy
// compressibility test at the run's angular frequency.
void assemble_legacy_test(Run& run);

// The analysis of the system's pattern (ordering and symbolic factorization;
// MUMPS's analysis), once: later calls keep it.
void analyse_system(Run& run);

// Numeric factorization of the assembled system and the solve of its load
// into sys.z, with the analysis kept.
void factor_and_solve_system(Run& run);

// Effective moduli, velocities, Q and maps of the legacy test, computed;
// with a full report, written into the report and the result files.
void post_process_legacy_test(Run& run, Report report);

// What a set of plate tests factors and solves with: the run's own solver
// or MUMPS, or a thread's own solver on the run's analysis.
class PlateSolver {
 public:
  virtual ~PlateSolver() = default;
  // Factors sys.avec (of the analysed pattern) and solves the count loads.
  virtual void factor_and_solve(System& sys, PlateLoad* loads, int count) = 0;
};

// The run's solver, its analysis kept.
class RunPlateSolver : public PlateSolver {
 public:
  explicit RunPlateSolver(Run& run) : run_(run) {}
  void factor_and_solve(System& sys, PlateLoad* loads, int count) override;

 private:
  Run& run_;
};

// The plate tests of one sample at one angular frequency: the vertical one
// (C33, C13), and when full the horizontal (C11) and the shear test (C55),
// into c. The friction is harmonic, or real for the curve's bounds.
struct PlateWork {
  const CellGrid& grid;
  double omega;
  const Coefficients& co;
  System& sys;
  PlateLoad* loads;  // two
  PlateSolver& solver;
  CellField<cplx>* vertical_stress = nullptr;  // when given, the vertical test's stress map
};
void measure_stiffness(PlateWork& w, bool full, SampleStiffness& c,
                       Friction friction = Friction::harmonic);

// The rigid-plate relaxation tests at the run's angular frequency, after
// the analysis of the pattern: the vertical one (C33, C13), and with the
// full stiffness the horizontal (C11, C13 again) and the shear test (C55),
// with the sample's density; each factorization keeps the analysis.
void run_plate_tests(Run& run);

// results.json and maps/ of a modern run.
void write_modern_outputs(Run& run);

// The legacy case of a run from its deck: every stage in order, the report
// and the files; ends with the normal stop (RunEnded, code 40).
[[noreturn]] void run_legacy_case(Run& run);

}  // namespace tp
