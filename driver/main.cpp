// threephase: harmonic compressibility test of a three-phase porous rock.
//
// Reads an input deck on standard input, builds the sample on a grid of
// square cells, computes the coefficients of the three-phase medium in every
// cell, the closed-form velocities and attenuation of its five plane waves,
// and solves a time-harmonic finite-element test (unit compressive stress on
// the top side) for the sample's effective complex modulus, velocity and Q.
//
//   threephase < deck        (in a directory holding the side files)
//   mpirun -np N threephase < deck   (MPI build, with THREEPHASE_SOLVER=mumps)
//   threephase < deck.toml   (a keyword deck, with its [run] table)
//
// A normal run ends with exit status 40.
#include <cstddef>
#include <cstdlib>

#include "common/output.hpp"
#include "common/stop.hpp"
#include "common/structures.hpp"
#include "deck/keyword_deck.hpp"
#include "driver/deck_file.hpp"
#include "driver/postprocess.hpp"
#include "driver/run.hpp"
#include "driver/solve_mumps.hpp"
#include "driver/sweep.hpp"
#include "driver/timer.hpp"

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

}  // namespace

int main(int argc, char** argv) {
  // 0. Under mpirun, rank 0 runs the sample and the other ranks only serve
  // the MUMPS phases it starts; rank 0 releases them when it ends.
  if (mumps_process_start(&argc, &argv) != 0) return mumps_worker();
  std::atexit(mumps_process_end);
  const bool use_mumps = mumps_requested();
  const MumpsRunOptions mumps_options = mumps_options_from_environment();
  Unit& out = std_out();

  // 1. Result files, created or emptied at the start; processor clock.
  open_result_files(files);
  timer();

  // 2. The deck, legacy or keyword, told apart by its content (also sets the
  // cell side h), and the plan of what the run uses. A legacy deck's plan is
  // material 1 in every cell and water proportion 0.1 in every layer,
  // whatever its phi_layer and layer-2 values say; a keyword deck states it.
  read_stdin_deck(deck, plan);
  const int nx = deck.nx, ny = deck.ny;

  // 3. Every table sized from the grid, once: nothing is allocated later.
  // Grids within 60 by 60 keep the solver workspace of 11102000 words.
  size_tables(deck, sample, co, sys, results);
  size_workspace(deck, workspace);
  const int nsp = static_cast<int>(workspace.size());

  // 4. The side files, read before anything is computed: the reference
  // values and, for the fractal model, the porosity file of the plan.
  read_side_files(plan, sample, refs);

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

    // 6.3 Average density.
    FreeLine(out) << "  computes average density, ";
    const double rob_med = average_density(deck, sample, fr);
    FreeLine(out) << "average density rob_med is (kg/m**3)" << rob_med;
    const double freq_fix = first_sweep_point(deck.freq, deck.freq_max, deck.n_freq);
    blank_line(out);
    FreeLine(out) << "cycle=" << icase;
    FreeLine(out) << "freq (Hz), omega_fix " << deck.freq << omega;

    // 6.4 Closed-form plane waves of every cell (values of the last cell).
    const CellWaves last = plane_waves(sample.grid, omega, co);

    // 6.5 The harmonic system of the compressibility test. The element
    // routine zeroes the mass coefficients: the test carries no inertia.
    assemble_system(omega, sample.grid, co, sys);
    const int neq = unknowns(deck);
    FreeLine(out) << "number of unknowns nodos = " << neq;

    // 6.6 Minimum-degree ordering, then sparse LU with the solve; or MUMPS.
    // Within 60 by 60 cells the own solver works in the workspace of
    // 11102000 words; beyond, it sizes its own storage from the symbolic
    // factorization (nsp = 0).
    if (use_mumps) {
      solve_with_mumps(neq, sys, mumps_options);
    } else {
      order_system(neq, sys, workspace.data(), nsp);
      factor_and_solve(neq, sys, workspace.data(), nsp);
    }

    // 6.7 Effective moduli, velocities, Q and maps: computed, then written.
    const SampleState state{nx,        ny,        deck.h,    deck.domain_size, fr.s1,
                            fr.s3_matrix, rob_med, plan.water(1), deck.freq, freq_fix,
                            last.p[0].v, last.p[0].q1000};
    post_process(sys, co, state, results);
    write_results(state, results, files);
  }

  // 7. Processor time of the run, in hours.
  empty_line(out);
  FmtLine(out) << " running time=" << f_edit(timer() / 3600.0, 15, 6) << "hours";
  stop(40);
}
