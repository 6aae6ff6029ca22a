// threephase: harmonic compressibility test of a three-phase porous rock.
//
// Reads an input deck on standard input, builds the sample on a grid of
// square cells, computes the coefficients of the three-phase medium in every
// cell, the closed-form velocities and attenuation of its five plane waves,
// and solves a time-harmonic finite-element test (unit compressive stress on
// the top side) for the sample's effective complex modulus, velocity and Q.
//
//   threephase < deck        (in a directory holding the side files)
//   mpirun -np N threephase --solver mumps < deck   (MPI build)
//   threephase < deck.toml   (a keyword deck, with its [run] table)
//   threephase run DECK -o DIR, threephase check DECK, threephase --help
//
// A normal legacy run ends with exit status 40; `run` ends with 0.
#include <cstddef>
#include <cstdlib>

#include "cli/cli.hpp"
#include "cli/run_outputs.hpp"
#include "common/output.hpp"
#include "common/stage_clock.hpp"
#include "common/stop.hpp"
#include "common/structures.hpp"
#include "common/warnings.hpp"
#include "deck/deck_checks.hpp"
#include "deck/keyword_deck.hpp"
#include "driver/deck_file.hpp"
#include "driver/postprocess.hpp"
#include "driver/reports.hpp"
#include "driver/run.hpp"
#include "driver/solve_mumps.hpp"
#include "driver/sweep.hpp"
#include "driver/timer.hpp"
#include "planewave/wave_order.hpp"

namespace {

using namespace tp;

// Every table of the run, sized from the deck in step 3. The solver's one
// workspace is an area of complex words, seen also as 32-bit integers.
Deck deck;
RunPlan plan;
Sample sample;
ReferenceValues refs;
Coefficients co;
System sys;
Results results;
ResultFiles files;
CoefficientMaps maps;
Unit map_plain, map_gnu;
Array1<cplx> workspace;
DeckRecord record;
Warnings warnings;
RunResults modern;

// The P-wave labels against their speeds, as a warning.
void warn_p_labels(const LabelSurvey& s, int n_cells) {
  if (s.cells == 0) return;
  add_warning(warnings,
              "in %d of the %d cells the closed-form wave labelled P3 is faster than P2 (%d "
              "faster than P1); the labels follow the roots, not the speeds: in cell (%d, %d) "
              "vp1 = %.6g, vp2 = %.6g, vp3 = %.6g m/s",
              s.cells, n_cells, s.faster_than_p1, s.j, s.k, s.vp1, s.vp2, s.vp3);
}

// The run: reads the deck on standard input and ends the process.
[[noreturn]] void compute(const RunMode& mode) {
  Unit& out = std_out();
  StageClock clock;
  timer();

  // 2. The deck, legacy or keyword, told apart by its content (also sets the
  // cell side h), and the plan of what the run uses. A legacy deck's plan is
  // material 1 in every cell and water proportion 0.1 in every layer,
  // whatever its phi_layer and layer-2 values say; a keyword deck states it.
  const DeckForm form = read_stdin_deck(deck, plan, &record);
  const int nx = deck.nx, ny = deck.ny;
  // Warnings of a legacy deck's values on standard error, never in the
  // report. A keyword deck has neither implied decimals nor values its run
  // ignores: its [run] table says what the run uses.
  if (form == DeckForm::legacy) {
    mark_used_values(record);
    deck_warnings(record, warnings);
  }
  print_warnings(warnings);

  // 2.1 The solver: the command line's choice, the deck's, the environment's,
  // or by the grid: the own solver within 60 by 60 cells, MUMPS beyond.
  const bool use_mumps = mumps_chosen(mode.solver_request, plan.solver, deck);
  const MumpsRunOptions mumps_run = mumps_options(mode.mumps_order, mode.out_of_core);

  // 3. Every table sized from the grid, once: nothing is allocated later.
  // Grids within 60 by 60 keep the solver workspace of 11102000 words.
  size_tables(deck, sample, co, sys, results);
  size_workspace(deck, workspace);
  const int nsp = static_cast<int>(workspace.size());

  // 4. The side files, read before anything is computed: the reference
  // values and, for the fractal model, the porosity file of the plan.
  read_side_files(plan, sample, refs);

  // 4.1 Result files, created or emptied only now: a run refused for its
  // input leaves the directory as it found it.
  open_result_files(files);
  clock.mark("deck");

  // 5. Layer geometry and the material map of the plan.
  material_map_pass(deck, plan, sample, map_plain, map_gnu);

  // 6. The case loop: one case, at the frequency of the deck.
  for (int icase = 1; icase <= 1; ++icase) {
    // 6.1 The water fraction of every cell: a constant (0.1 in the legacy
    // layered model), the water proportion of its layer, or the file's.
    porosity_pass(deck, plan, sample);

    // 6.2 Coefficients of every cell at the frequency of the case.
    const double omega = deck.freq * 6.283185307179586;
    Fractions fr;
    elastic_coefficients(deck, plan, sample, refs, omega, icase, co, maps);
    mass_coefficients(deck, sample, refs, icase, co, fr, maps);
    clock.mark("coefficients");

    // 6.3 Average density.
    FreeLine(out) << "  computes average density, ";
    const double rob_med = average_density(deck, sample, fr);
    FreeLine(out) << "average density rob_med is (kg/m**3)" << rob_med;
    const double freq_fix = first_sweep_point(deck.freq, deck.freq_max, deck.n_freq);
    blank_line(out);
    FreeLine(out) << "cycle=" << icase;
    FreeLine(out) << "freq (Hz), omega_fix " << deck.freq << omega;

    // 6.4 Closed-form plane waves of every cell (values of the last cell),
    // with the diffusion length of the slow P wave in every cell: a grid too
    // coarse for its shortest is warned of on standard error.
    DiffusionScale diffusion;
    LabelSurvey labels;
    const CellWaves last =
        plane_waves(sample.grid, omega, co, &results.slow_p_decay, &diffusion, &labels);
    const int first_late = warnings.n;
    if (!diffusion.resolved) warn_diffusion(diffusion, sample.grid, omega, warnings);
    warn_p_labels(labels, nx * ny);
    print_warnings(warnings, first_late);
    if (mode.modern) {
      capture_closed_form(deck, co, omega, modern);
      capture_diffusion(diffusion, modern);
    }
    clock.mark("plane_waves");

    // 6.5 The harmonic system of the compressibility test. The element
    // routine zeroes the mass coefficients: the test carries no inertia.
    assemble_system(omega, sample.grid, co, sys);
    const int neq = unknowns(deck);
    FreeLine(out) << "number of unknowns nodos = " << neq;
    clock.mark("assembly");

    // 6.6 Minimum-degree ordering, then sparse LU with the solve; or MUMPS.
    // Within 60 by 60 cells the own solver works in the workspace of
    // 11102000 words; beyond, it sizes its own storage from the symbolic
    // factorization (nsp = 0).
    if (use_mumps) {
      solve_with_mumps(neq, sys, mumps_run);
    } else {
      order_system(neq, sys, workspace.data(), nsp);
      clock.mark("ordering");
      factor_and_solve(neq, sys, workspace.data(), nsp);
    }
    clock.mark("factorization_and_solve");

    // 6.7 Effective moduli, velocities, Q and maps: computed, then written.
    const SampleState state{nx,        ny,           deck.h,      deck.domain_size,
                            fr.s1,     fr.s3_matrix, rob_med,     plan.water(1),
                            deck.freq, freq_fix,     last.p[0].v, last.p[0].q1000};
    post_process(sys, co, state, results);
    write_results(state, results, files);
    clock.mark("post_processing");

    // 6.8 A `run` adds results.json and the maps as arrays.
    if (mode.modern) {
      RunMode ran = mode;
      ran.solver = use_mumps ? "mumps" : "own";
      const RunView view{deck,  record,  sample, co,    results,  sys,
                         omega, rob_med, neq,    clock, warnings, ran};
      write_run_outputs(view, modern);
    }
  }

  // 7. Processor time of the run, in hours.
  empty_line(out);
  FmtLine(out) << " running time=" << f_edit(timer() / 3600.0, 15, 6) << "hours";
  stop(40);
}

}  // namespace

int main(int argc, char** argv) {
  // 0. Under mpirun, rank 0 runs the sample and the other ranks only serve
  // the MUMPS phases it starts; rank 0 releases them when it ends, and a
  // normal end is status 0, the launcher's success.
  if (tp::mumps_process_start(&argc, &argv) != 0) return tp::mumps_worker();
  std::atexit(tp::mumps_process_end);
  const bool launched = tp::mumps_launched();
  if (launched) tp::set_normal_end_status(0);
  return tp::cli_main(argc, argv, compute, launched);
}
