#include "driver/run.hpp"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/output.hpp"
#include "common/stop.hpp"
#include "deck/deck_checks.hpp"
#include "deck/deck_file.hpp"
#include "deck/keyword_checks.hpp"
#include "driver/curves.hpp"
#include "driver/finite_checks.hpp"
#include "driver/memory_check.hpp"
#include "driver/reports.hpp"
#include "driver/sweep.hpp"
#include "driver/timer.hpp"
#include "planewave/wave_order.hpp"
#include "results/run_outputs.hpp"
#include "rockphysics/sample_density.hpp"

namespace tp {

namespace {

// The P-wave labels against their speeds, as a warning.
void warn_p_labels(const LabelSurvey& s, int n_cells, Warnings& warnings) {
  if (s.cells == 0) return;
  add_warning(warnings,
              "in %d of the %d cells the closed-form wave labelled P3 is faster than P2 (%d "
              "faster than P1); the labels follow the roots, not the speeds: in cell (%d, %d) "
              "vp1 = %.6g, vp2 = %.6g, vp3 = %.6g m/s",
              s.cells, n_cells, s.faster_than_p1, s.j, s.k, s.vp1, s.vp2, s.vp3);
}

}  // namespace

void read_run_deck(Run& run, const std::string& text, const char* source) {
  // The deck, legacy or keyword, told apart by its content (also sets the
  // cell side h), and the plan of what the run uses. A legacy deck's plan is
  // material 1 in every cell and water proportion 0.1 in every layer,
  // whatever its phi_layer and layer-2 values say; a keyword deck states it.
  run.form = read_deck_source(text, source, run.deck, run.plan, &run.record);
  // Warnings of the deck's values on standard error, never in the report:
  // values far outside their physical range, and values the run does not
  // use (a legacy deck's by its fixed plan, a keyword deck's by its [run]
  // table and model).
  if (run.form == DeckForm::legacy) {
    mark_used_values(run.record);
    deck_warnings(run.record, run.warnings);
  } else {
    mark_keyword_use(run.deck, run.plan, run.record);
    keyword_warnings(run.deck, run.plan, run.record, run.warnings);
  }
  if (run.options.print_warnings) print_warnings(run.warnings);
  if (run.plan.full_stiffness) run.options.full_stiffness = true;
  if (!run.options.elastic_form.empty())
    run.plan.elastic_form = run.options.elastic_form == "plane_strain"
                                ? ElasticForm::plane_strain
                                : ElasticForm::two_dimensional;
  if (run.options.frequencies.empty()) run.options.frequencies = run.plan.frequencies;
}

void prepare_run(Run& run, Report report) {
  // The solver: the command line's choice, the deck's, the environment's,
  // or by the grid: the own solver within 60 by 60 cells, MUMPS beyond.
  const RunOptions& o = run.options;
  run.use_mumps = mumps_chosen(o.solver_request.c_str(), run.plan.solver, run.deck);
  run.mumps_options = mumps_options(o.mumps_order.c_str(), o.out_of_core);

  // Every table sized from the grid, once. Grids within 60 by 60 keep the
  // solver workspace of 11102000 words.
  refuse_beyond_memory(run.deck, memory_solver(run.use_mumps, o.out_of_core));
  size_tables(run.deck, run.sample, run.co, run.sys, run.results);
  size_workspace(run.deck, run.workspace);

  // The side files, read before anything is computed: the reference values
  // and, for the fractal model, the porosity file of the plan.
  read_side_files(run.plan, run.sample, run.refs);

  // Result files, created or emptied only now: a run refused for its input
  // leaves the directory as it found it.
  if (report == Report::full) open_result_files(run.files);
  run.clock.mark("deck");

  // Layer geometry and the material map of the plan.
  material_map_pass(run.deck, run.plan, run.sample, run.map_plain, run.map_gnu,
                    report == Report::full);
}

void coefficients_at(Run& run, double omega, Report report) {
  const Deck& d = run.deck;
  run.omega = omega;
  // The water fraction of every cell: a constant (0.1 in the legacy layered
  // model), the water proportion of its layer, or the file's.
  porosity_pass(d, run.plan, run.sample);
  const bool full = report == Report::full;
  elastic_coefficients(d, run.plan, run.sample, run.refs, omega, full, run.co, run.maps);
  if (full) {
    // Printed as it arises and kept for results.json, as every warning.
    const int first = run.warnings.n;
    warn_first_cell_lambda(run.co, run.plan, run.warnings);
    print_warnings(run.warnings, first);
  }
  mass_coefficients(d, run.sample, run.refs, full, run.co, run.fr, run.maps);
  run.clock.mark("coefficients");

  if (!full) {
    run.rob_med = average_density(d, run.sample, run.fr);
    return;
  }
  Unit& out = std_out();
  FreeLine(out) << "  computes average density, ";
  run.rob_med = average_density(d, run.sample, run.fr);
  FreeLine(out) << "average density rob_med is (kg/m**3)" << run.rob_med;
  blank_line(out);
  FreeLine(out) << "cycle=" << 1;
  FreeLine(out) << "freq (Hz), omega_fix " << d.freq << omega;
}

void run_plane_waves(Run& run, Report report) {
  // Closed-form plane waves of every cell (values of the last cell), with
  // the diffusion length of the slow P wave in every cell: a grid too coarse
  // for its shortest is warned of on standard error.
  LabelSurvey labels;
  run.last_waves = plane_waves(run.sample.grid, run.omega, run.co, &run.results.slow_p_decay,
                               &run.diffusion, &labels, report == Report::full);
  if (report == Report::silent) return;
  const int first_late = run.warnings.n;
  if (!run.diffusion.resolved)
    warn_diffusion(run.diffusion, run.sample.grid, run.omega, run.warnings);
  warn_p_labels(labels, run.deck.nx * run.deck.ny, run.warnings);
  print_warnings(run.warnings, first_late);
  if (run.options.modern) {
    if (!capture_closed_form(run.sample, run.co, run.omega, run.modern))
      input_error("the grid", "the averaged coefficients do not fit in the memory available");
    capture_diffusion(run.diffusion, run.modern);
  }
  run.clock.mark("plane_waves");
}

void assemble_legacy_test(Run& run) {
  assemble_system(run.omega, run.sample.grid, run.co, run.sys);
  FreeLine(std_out()) << "number of unknowns nodos = " << unknowns(run.deck);
  run.clock.mark("assembly");
}

void analyse_system(Run& run) {
  if (run.analysed) return;
  const int neq = unknowns(run.deck);
  // Within 60 by 60 cells the own solver works in the workspace of 11102000
  // words; beyond, it sizes its own storage from the symbolic factorization
  // (nsp = 0).
  if (run.use_mumps) {
    mumps_analyse_system(neq, run.sys, run.mumps_options, run.mumps);
  } else {
    const int nsp = static_cast<int>(run.workspace.size());
    order_system(neq, run.sys, run.own, run.workspace.data(), nsp);
    run.clock.mark("ordering");
    analyse_pattern(neq, run.sys, run.own);
    run.clock.mark("analysis");
  }
  run.analysed = true;
}

void factor_and_solve_system(Run& run) {
  const int neq = unknowns(run.deck);
  if (run.use_mumps) {
    mumps_factor_and_solve(neq, run.sys, run.mumps_options, run.mumps);
  } else {
    factor_and_solve(neq, run.sys, run.own);
  }
  run.clock.mark("factorization_and_solve");
}

namespace {

// One set of plate tests: its matrix, its loads, one factorization, the
// moduli of each.
void plate_test_set(PlateWork& w, PlateConstraints set, const PlateTest* tests, int count,
                    Friction friction, SampleStiffness& c) {
  plate_matrix(w.grid, w.omega, w.co, set, w.sys, friction);
  for (int t = 0; t < count; ++t) {
    w.loads[t].test = tests[t];
    plate_load(w.grid, w.omega, w.co, tests[t], w.sys, w.loads[t].b, friction);
  }
  w.solver.factor_and_solve(w.sys, w.loads, count);
  if (w.vertical_stress != nullptr && tests[0] == PlateTest::vertical)
    plate_vertical_stress(w.grid, w.co, w.sys, w.loads[0].z, *w.vertical_stress);
  // The friction pulls solid 1 and solid 3 by opposite forces, so it adds
  // nothing to their summed reaction; the real solves of the bounds, whose
  // friction is a large penalty, take the reactions without it rather than
  // as the difference of large terms.
  const double omega = friction == Friction::real ? 0.0 : w.omega;
  for (int t = 0; t < count; ++t) {
    const PlateTractions tr = plate_tractions(w.grid, omega, w.co, w.sys, w.loads[t].z, friction);
    take_moduli(tests[t], tr, c);
  }
}

}  // namespace

void RunPlateSolver::factor_and_solve(System& sys, PlateLoad* loads, int count) {
  const int neq = sys.neq;
  if (run_.use_mumps) {
    if (mumps_factor(run_.mumps, sys.avec.data()) != 0)
      mumps_stop("MUMPS factorization", run_.mumps.counts, 99);
    for (int t = 0; t < count; ++t) {
      std::memcpy(static_cast<void*>(loads[t].z.data()), loads[t].b.data(), sizeof(cplx) * neq);
      if (mumps_solve(run_.mumps, loads[t].z.data()) != 0)
        mumps_stop("MUMPS solve", run_.mumps.counts, 99);
    }
    return;
  }
  const SparseRows rows{neq, sys.ia.view(), sys.ja.view(), sys.avec.view()};
  const int flag = own_factor(run_.own, rows, nullptr);
  if (flag != 0) {
    FreeLine(std_out()) << "ESP=" << run_.own.f.esp;
    FreeLine(std_out()) << "FLAG=" << flag;
    stop(99);
  }
  for (int t = 0; t < count; ++t) own_solve(run_.own, loads[t].b.view(), loads[t].z.view());
}

void measure_stiffness(PlateWork& w, bool full, SampleStiffness& c, Friction friction) {
  const PlateTest normal[2] = {PlateTest::vertical, PlateTest::horizontal};
  plate_test_set(w, PlateConstraints::normal, normal, full ? 2 : 1, friction, c);
  if (full) {
    const PlateTest shear[1] = {PlateTest::shear};
    plate_test_set(w, PlateConstraints::shear, shear, 1, friction, c);
  }
  drop_rounding_loss(c);
  // A stiffness that overflowed is an error, never a result.
  const struct {
    const char* name;
    cplx value;
  } moduli[] = {{"C33", c.c33}, {"C13", c.c13}, {"C11", c.c11}, {"C55", c.c55}};
  for (int m = 0; m < (full ? 4 : 2); ++m) {
    if (std::isfinite(moduli[m].value.real()) && std::isfinite(moduli[m].value.imag())) continue;
    char where[96], what[160];
    std::snprintf(where, sizeof where, "the plate tests at %.6g Hz", w.omega / 6.283185307179586);
    std::snprintf(what, sizeof what,
                  "%s = (%g, %g) Pa is not a finite number: the deck's values overflow the "
                  "arithmetic at this frequency",
                  moduli[m].name, moduli[m].value.real(), moduli[m].value.imag());
    input_error(where, what);
  }
}

void run_plate_tests(Run& run) {
  if (run.plate_sys.neq == 0) {
    const bool sized = plate_system(run.sample.grid, run.plate_sys) == 0 &&
                       size_plate_load(run.plate_sys, run.plate_loads[0]) &&
                       size_plate_load(run.plate_sys, run.plate_loads[1]) &&
                       run.plate_stress.resize(run.deck.nx, run.deck.ny);
    if (!sized)
      input_error("the grid", "the plate tests' system does not fit in the memory available");
  }
  const CellFailure fail = sample_density(run.deck, run.sample, run.density);
  if (fail) stop_at_cell(fail);
  analyse_system(run);
  RunPlateSolver solver(run);
  PlateWork w{run.sample.grid, run.omega, run.co,           run.plate_sys,
              run.plate_loads, solver,    &run.plate_stress};
  measure_stiffness(w, run.options.full_stiffness, run.stiffness);
  run.clock.mark("plate_tests");
}

namespace {

// The scalars of the run the post-processing reads.
SampleState sample_state(const Run& run) {
  const Deck& d = run.deck;
  const double freq_fix = first_sweep_point(d.freq, d.freq_max, d.n_freq);
  return SampleState{d.nx,
                     d.ny,
                     d.h,
                     d.domain_size,
                     run.fr.s1,
                     run.fr.s3_matrix,
                     run.rob_med,
                     run.plan.water(1),
                     d.freq,
                     freq_fix,
                     run.last_waves.p[0].v,
                     run.last_waves.p[0].q1000};
}

}  // namespace

void post_process_legacy_test(Run& run, Report report) {
  const SampleState state = sample_state(run);
  post_process(run.sys, run.co, state, run.results);
  if (const CellFailure bad = non_finite_result(run.sample.grid, run.results)) stop_at_cell(bad);
  if (report == Report::full) write_results(state, run.results, run.files);
  run.clock.mark("post_processing");
}

void write_modern_outputs(Run& run) {
  const int neq = unknowns(run.deck);
  const RunView view{
      run.deck,
      run.record,
      run.sample,
      run.co,
      run.results,
      run.sys,
      run.omega,
      run.rob_med,
      neq,
      run.clock,
      run.warnings,
      run.options.deck_path.c_str(),
      run.use_mumps ? "mumps" : "own",
      run.options.deck_name.empty() ? run.options.deck_path.c_str() : run.options.deck_name.c_str(),
      run.plate_stress.rows() > 0 ? &run.plate_stress : nullptr,
      run.plan.water(1)};
  capture_effective(run.stiffness, run.density, run.options.full_stiffness, run.modern);
  run.modern.elastic_form =
      run.plan.elastic_form == ElasticForm::plane_strain ? "plane_strain" : "two_dimensional";
  run.modern.curve = run.curve.points.empty() ? nullptr : &run.curve;
  write_run_outputs(view, run.modern);
}

[[noreturn]] void run_legacy_case(Run& run) {
  timer();
  prepare_run(run, Report::full);
  // The case: one, at the frequency of the deck.
  coefficients_at(run, run.deck.freq * 6.283185307179586, Report::full);
  run_plane_waves(run, Report::full);
  assemble_legacy_test(run);
  analyse_system(run);
  factor_and_solve_system(run);
  post_process_legacy_test(run, Report::full);
  if (run.options.modern) {
    run_plate_tests(run);
    if (!run.options.frequencies.empty())
      run_curve(run, run.options.frequencies, run.options.jobs, run.curve);
    write_modern_outputs(run);
  }

  // Processor time of the run, in hours.
  Unit& out = std_out();
  empty_line(out);
  FmtLine(out) << " running time=" << f_edit(timer() / 3600.0, 15, 6) << "hours";
  stop(40);
}

}  // namespace tp
