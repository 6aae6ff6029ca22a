#include "driver/stages.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/input.hpp"
#include "common/memory_estimate.hpp"
#include "common/progress.hpp"
#include "common/stop.hpp"
#include "deck/deck_file.hpp"
#include "deck/keyword_deck.hpp"
#include "driver/finite_checks.hpp"
#include "driver/memory_check.hpp"
#include "driver/reports.hpp"
#include "fem/global_numbering.hpp"
#include "fem/global_sist.hpp"
#include "model/makematnum.hpp"
#include "model/porosity.hpp"
#include "results/legacy_files.hpp"
#include "rockphysics/e_modulus.hpp"
#include "rockphysics/mass_visco_coef.hpp"
#include "sparse/zndrv.hpp"

namespace tp {

namespace {

// Ends the run when the grid's tables cannot be had, with their size.
[[noreturn]] void refuse_grid(const Deck& d, const char* why) {
  const TableSizes t = table_sizes(d.nx, d.ny);
  char what[320];
  std::snprintf(what, sizeof what,
                "the tables of %d by %d cells (%lld unknowns, %lld matrix positions) %s; use "
                "a coarser grid",
                d.nx, d.ny, static_cast<long long>(t.neq), static_cast<long long>(t.room), why);
  input_error("the grid", what);
}

constexpr int kElasticReferences = 10;
const char* const kElasticWhat[kElasticReferences] = {
    "the leading value",     "the reference mu1",     "the reference mu3", "the reference mu13",
    "the reference lambda1", "the reference lambda3", "the reference b1",  "the reference b2",
    "the reference m",       "the reference d3"};
constexpr int kFrictionReferences = 4;
const char* const kFrictionWhat[kFrictionReferences] = {"the leading value", "the reference b11",
                                                        "the reference b22", "the reference b12"};

// The reference values of a known sand the report echoes beside the first
// cell's coefficients, for comparison only: no result depends on them. A
// keyword deck's run without the files takes these, the values of the
// files of the bundled examples.
constexpr double kBuiltinElastic[kElasticReferences] = {0.1,   1.8e10, 6.0e9, 0.0,    9.0e9,
                                                        3.0e9, 5.0e9,  1.0e9, 2.0e10, 0.5e9};
constexpr double kBuiltinFriction[kFrictionReferences] = {0.1, 1.0e8, 2.0e10, -1.0e9};

// A reference file: its name, the name of each value, their count, the
// built-in values and what the file holds, for the message of a missing one.
struct ReferenceFile {
  const char* name;
  const char* const* what;
  int n;
  const double* builtin;
  const char* holds;
};

const ReferenceFile kElasticFile{
    "elast_coef_sand", kElasticWhat, kElasticReferences, kBuiltinElastic,
    "the reference elastic values of a known sand (ten numbers, one a line: a leading value, "
    "then mu1, mu3, mu13, lambda1, lambda3, b1, b2, m, d3), which the report echoes for "
    "comparison"};
const ReferenceFile kFrictionFile{
    "b11_b22_b12_sand", kFrictionWhat, kFrictionReferences, kBuiltinFriction,
    "the reference friction values of a known sand (four numbers, one a line: a leading value, "
    "then b11, b22, b12), which the report echoes for comparison"};

// Reads the values of the reference file f, one per line in free form, into
// v. A missing file gives the built-in values when `optional` (a keyword
// deck), else ends the run naming the folder searched and what the file
// holds.
void read_reference_file(const ReferenceFile& f, bool optional, double* v) {
  char folder[1024];
  if (input_file_missing(f.name, folder, sizeof folder)) {
    if (optional) {
      for (int i = 0; i < f.n; ++i) v[i] = f.builtin[i];
      return;
    }
    char what[1600];
    std::snprintf(what, sizeof what,
                  "cannot open the file for reading: the folder %s, where the run reads its "
                  "side files, has no such file; it holds %s; copy it from an example "
                  "(examples/permafrost)",
                  folder, f.holds);
    input_error(f.name, what);
  }
  LineSource src;
  open_file_source(src, f.name);
  for (int i = 0; i < f.n; ++i) v[i] = read_free_real(src, f.what[i]);
  std::fclose(src.f);
}

// The rock-physics routines know two models; the deck reader keeps to them.
void check_key_model(const int& key_model, const char* routine) {
  if (key_model == 0 || key_model == 1) return;
  char what[160];
  std::snprintf(what, sizeof what,
                "key_model = %d names no rock-physics model (0 permafrost, 1 shaley sand)",
                key_model);
  input_error(routine, what);
}

void echo_values(const double* v, int n) {
  for (int i = 0; i < n; ++i) FreeLine(std_out()) << v[i];
}

// The layer geometry of the material map.
void print_geometry(const Deck& d, const int& nper) {
  Unit& out = std_out();
  FreeLine(out) << "nl(1), nl(2)  " << d.nl(1) << d.nl(2);
  FreeLine(out) << " domain size (m) " << d.ny * d.h;
  blank_line(out);
  FreeLine(out) << " ny = number of subintervals in y-direction " << d.ny;
  blank_line(out);
  FreeLine(out) << " hy = subinterval size (m) " << d.h;
  blank_line(out);
  FreeLine(out) << " nper = number of periods " << nper;
  blank_line(out);
  FreeLine(out) << " size of layer 1 in subintervals " << d.nl(1);
  blank_line(out);
  FreeLine(out) << " size of layer 1 (m) " << layer_thickness(d, 1);
  blank_line(out);
  FreeLine(out) << " size of layer 2 in subintervals " << d.nl(2);
  blank_line(out);
  FreeLine(out) << " size of layer 2 (m) " << layer_thickness(d, 2);
  blank_line(out);
}

// Writes the first `cells` cells of `field` (loop order j outer, k inner)
// as "j k value" lines.
void write_cell_map(Unit& u, const CellGrid& g, const RealField& field, const int& cells) {
  for (int n = 1; n <= cells; ++n) {
    const int j = (n - 1) / g.ny + 1, k = (n - 1) % g.ny + 1;
    FreeLine(u) << j << k << field(j, k);
  }
}

// Creates the map files of the coefficients of one kind afresh (a later
// first case, which only tests make, starts them again) and writes the cells
// done, in the order of the legacy maps.
void write_coefficient_maps(CoefficientKind kind, const CellGrid& g, const Coefficients& co,
                            const int& cells, CoefficientMaps& maps) {
  for (int r = 0; r < kCoefficientMaps; ++r) {
    const CoefficientInfo& c = coefficient_of_map(r);
    if (c.kind != kind) continue;
    close_unit(maps.map[r]);
    open_unit(maps.map[r], c.legacy_map);
    write_cell_map(maps.map[r], g, co.*c.field, cells);
  }
}

}  // namespace

void size_tables(const Deck& d, Sample& s, Coefficients& co, System& sys, Results& r) {
  if (!table_sizes(d.nx, d.ny).fits) refuse_grid(d, "pass the 32-bit positions of the storage");
  refuse_beyond_memory(d, MemorySolver::any);
  s.grid = CellGrid{d.nx, d.ny, d.h};
  bool ok = s.matnum.resize(d.nx, d.ny);
  ok = s.phi.resize(d.nx, d.ny) && ok;
  ok = size_coefficients(co, d.nx, d.ny) && ok;
  ok = size_system(sys, d.nx, d.ny) && ok;
  ok = size_results(r, d.nx, d.ny) && ok;
  if (!ok) refuse_grid(d, "do not fit in the memory available");
}

void size_workspace(const Deck& d, Array1<cplx>& workspace) {
  if (d.nx > kLegacyCells || d.ny > kLegacyCells) return;
  if (!workspace.resize(kSolverWords)) {
    refuse_grid(d, "with the solver workspace do not fit in the memory available");
  }
}

void read_elastic_references(ReferenceValues& refs, bool optional) {
  read_reference_file(kElasticFile, optional, refs.elastic);
}

void read_friction_references(ReferenceValues& refs, bool optional) {
  read_reference_file(kFrictionFile, optional, refs.friction);
}

void read_side_files(const RunPlan& plan, Sample& s, ReferenceValues& refs) {
  // The reference values shape no result: a keyword deck may do without
  // their files; the legacy run keeps needing them.
  read_elastic_references(refs, plan.keyword);
  read_friction_references(refs, plan.keyword);
  if (plan.porosity == PorositySource::file) {
    // A keyword deck's run reads each value whole, as NumPy writes it.
    const PorosityColumns columns =
        plan.keyword ? PorosityColumns::whole_item : PorosityColumns::first_12;
    porosity_from_file(plan.porosity_file.c_str(), s.grid.nx, s.grid.ny, s.phi, columns);
  }
}

void material_map_pass(const Deck& d, const RunPlan& plan, Sample& s, Unit& plain, Unit& gnu,
                       bool write) {
  if (write) {
    open_unit(plain, result_file(ResultFile::matnum).file);
    open_unit(gnu, result_file(ResultFile::matnum_gnu).file);
    print_geometry(d, makematnum(d, s));
  } else {
    makematnum(d, s);
  }
  IntField& map = s.matnum;
  const bool uniform = plan.materials == Materials::uniform;
  for (int k = 1; k <= d.ny; ++k) {
    for (int j = 1; j <= d.nx; ++j) {
      // The layered map follows the period up through an incomplete last one.
      map(j, k) = uniform ? 1 : layer_of_row(d.nl, k);
      if (write) {
        FreeLine(plain) << map(j, k);
        FreeLine(gnu) << j << k << map(j, k);
      }
      if (map(j, k) < 1 || map(j, k) > d.nmat) {
        if (write) FreeLine(std_out()) << "j,k, matnum(j,k) " << j << k << map(j, k);
        stop(222);
      }
    }
  }
  if (write) close_unit(plain);
}

void porosity_pass(const Deck& d, const RunPlan& plan, Sample& s) {
  if (plan.porosity == PorositySource::file) return;
  for (int k = 1; k <= d.ny; ++k) {
    const double value = plan.porosity == PorositySource::constant
                             ? plan.porosity_value
                             : plan.water(layer_of_row(d.nl, k));
    for (int j = 1; j <= d.nx; ++j) s.phi(j, k) = value;
  }
}

namespace {

ElasticOptions elastic_options(const RunPlan& plan) {
  return ElasticOptions{plan.elastic_form, plan.lambda_warning_only};
}

}  // namespace

void elastic_coefficients(const Deck& d, const RunPlan& plan, const Sample& s,
                          const ReferenceValues& refs, const double& omega, bool report,
                          Coefficients& co, CoefficientMaps& maps) {
  check_key_model(d.key_model, "e_modulus");
  if (!report) {
    ElasticReport first;
    const CellFailure fail = e_modulus(d, s, omega, co, first, elastic_options(plan), nullptr);
    if (fail) stop_at_cell(fail);
    if (const CellFailure bad = non_finite_coefficient(s.grid, co)) stop_at_cell(bad);
    return;
  }
  // The reference values of a known sand are echoed for comparison only.
  echo_values(refs.elastic, kElasticReferences);
  ElasticReport first;
  ProgressLine line;
  progress_begin(line, "elastic coefficients", "cells");
  const Progress progress = progress_to(line);
  const CellFailure fail = e_modulus(d, s, omega, co, first, elastic_options(plan), &progress);
  progress_end(line);
  print_elastic_report(d.key_model, first);
  const int cells = cells_done(s.grid, fail);
  print_negative_lambda1(s.grid, co.lambda1, cells);
  write_coefficient_maps(CoefficientKind::elastic, s.grid, co, cells, maps);
  if (fail) stop_at_cell(fail);
  if (const CellFailure bad = non_finite_coefficient(s.grid, co)) stop_at_cell(bad);
}

void mass_coefficients(const Deck& d, const Sample& s, const ReferenceValues& refs, bool report,
                       Coefficients& co, Fractions& fr, CoefficientMaps& maps) {
  check_key_model(d.key_model, "mass_visco_coef");
  if (!report) {
    MassReport first;
    const CellFailure fail = mass_visco_coef(d, s, co, fr, first, nullptr);
    if (fail) stop_at_cell(fail);
    if (const CellFailure bad = non_finite_coefficient(s.grid, co)) stop_at_cell(bad);
    return;
  }
  echo_values(refs.friction, kFrictionReferences);
  FreeLine(std_out()) << "enters  mass_visco_coef  key_model " << d.key_model;
  MassReport first;
  ProgressLine line;
  progress_begin(line, "mass and friction coefficients", "cells");
  const Progress progress = progress_to(line);
  const CellFailure fail = mass_visco_coef(d, s, co, fr, first, &progress);
  progress_end(line);
  print_mass_report(d.key_model, first);
  write_coefficient_maps(CoefficientKind::friction, s.grid, co, cells_done(s.grid, fail), maps);
  if (fail) stop_at_cell(fail);
  if (const CellFailure bad = non_finite_coefficient(s.grid, co)) stop_at_cell(bad);
}

double average_density(const Deck& d, const Sample& s, const Fractions& fr) {
  const double cells_n = d.nx * d.ny;
  double rob_med = 0.0;
  for (int j = 1; j <= d.nx; ++j) {
    for (int k = 1; k <= d.ny; ++k) {
      const int mat = s.matnum(j, k);
      rob_med += (s.phi(j, k) * d.ro2(mat) + fr.phi1 * d.ro1(mat) + fr.phi3 * d.ro3(mat)) / cells_n;
    }
  }
  return rob_med;
}

CellWaves plane_waves(const CellGrid& g, const double& omega, const Coefficients& co,
                      RealField* slow_p_decay, DiffusionScale* scale, LabelSurvey* labels,
                      bool print) {
  WaveReport report;
  report.slow_p_decay = slow_p_decay;
  const CellFailure fail = veloc_aten(g, omega, co, report);
  if (print) print_wave_report(g, omega, report);
  if (fail) stop_at_cell(fail);
  if (print) empty_line(std_out());
  if (scale != nullptr) *scale = diffusion_scale(g, report);
  if (labels != nullptr) *labels = report.labels;
  return report.last;
}

void assemble_system(const double& omega, const CellGrid& g, const Coefficients& co, System& sys) {
  global_numbering(g.nx, g.ny, sys.xnod);
  if (global_sist(omega, g, co, sys) != 0) {
    input_error("the grid", "the work area of the assembly does not fit in the memory available");
  }
}

int unknowns(const Deck& d) { return unknown_count(d.nx, d.ny); }

namespace {

// The assembled system as the solver reads it.
SparseRows system_rows(const int& neq, System& sys) {
  return SparseRows{neq, sys.ia.view(), sys.ja.view(), sys.avec.view()};
}

// Physical memory available now (bytes): MemAvailable of the kernel, else
// the free pages.
std::int64_t available_memory() {
  if (std::FILE* f = std::fopen("/proc/meminfo", "r")) {
    char line[256];
    long long kb = -1;
    while (std::fgets(line, sizeof line, f) != nullptr)
      if (std::sscanf(line, "MemAvailable: %lld kB", &kb) == 1) break;
    std::fclose(f);
    if (kb >= 0) return static_cast<std::int64_t>(kb) * 1024;
  }
  return static_cast<std::int64_t>(sysconf(_SC_AVPHYS_PAGES)) * sysconf(_SC_PAGESIZE);
}

}  // namespace

std::int64_t parse_memory_size(const char* text) {
  if (text == nullptr) return -1;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (end == text || errno != 0 || !(value > 0.0)) return -1;
  double scale = 1.0;
  switch (*end) {
    case 'k':
    case 'K':
      scale = 1024.0;
      ++end;
      break;
    case 'm':
    case 'M':
      scale = 1024.0 * 1024.0;
      ++end;
      break;
    case 'g':
    case 'G':
      scale = 1024.0 * 1024.0 * 1024.0;
      ++end;
      break;
    case 't':
    case 'T':
      scale = 1024.0 * 1024.0 * 1024.0 * 1024.0;
      ++end;
      break;
    default:
      break;
  }
  if (*end == 'B' || *end == 'b') ++end;
  const double bytes = value * scale;
  if (*end != '\0' || bytes >= 9.2e18) return -1;
  return static_cast<std::int64_t>(bytes);
}

namespace {

// THREEPHASE_MAX_MEMORY, or null when unset or empty.
const char* memory_setting() {
  const char* set = std::getenv("THREEPHASE_MAX_MEMORY");
  return set != nullptr && *set != '\0' ? set : nullptr;
}

}  // namespace

std::int64_t memory_limit() {
  const char* set = memory_setting();
  if (set == nullptr) return available_memory();
  const std::int64_t limit = parse_memory_size(set);
  if (limit < 0)
    input_error("THREEPHASE_MAX_MEMORY",
                "not a size: give bytes with an optional K, M, G or T, such as 800M or 16G");
  return limit;
}

// Without THREEPHASE_MAX_MEMORY the patterns the analysis already holds
// count as available: they are part of the need and already taken from
// what the kernel reports free.
void check_factor_memory(const SparseFactor& f) {
  const std::int64_t need = zn_memory_bytes(f);
  const FactorStorage held = factor_storage(f.n, f.lnz, f.unz);
  const bool set = memory_setting() != nullptr;
  const std::int64_t limit = memory_limit() + (set ? 0 : 4 * held.ints + 8 * held.counts);
  if (need <= limit) return;
  std::fprintf(stderr,
               "threephase: the factorization of the %d unknowns needs %s (%lld bytes) but the "
               "limit is %s (%lld bytes, %s); use fewer cells along x or y (halving both "
               "divides the need by about five)%s\n",
               f.n, memory_text(need).c_str(), static_cast<long long>(need),
               memory_text(limit).c_str(), static_cast<long long>(limit),
               set ? "THREEPHASE_MAX_MEMORY" : "physical memory available",
               set ? " or raise THREEPHASE_MAX_MEMORY" : "");
  stop(kMemoryStopCode);
}

// The ordering runs in the workspace when there is one (nsp > 0), else in
// lists of its own sized from the matrix.
void order_system(const int& neq, System& sys, OwnSolver& solver, cplx* workspace, const int& nsp) {
  ProgressLine line;
  progress_begin(line, "ordering", "unknowns");
  const Progress progress = progress_to(line);
  const int flag = own_order(solver, system_rows(neq, sys), workspace, nsp, &progress);
  progress_end(line);
  if (nsp == 0 && ordering_ints(neq, sys.ia(neq + 1) - 1) > kMaxPatternEntries)
    std::fprintf(stderr,
                 "threephase: the ordering of %d unknowns needs more than %lld list slots, "
                 "beyond its 32-bit positions; use fewer cells along x or y\n",
                 neq, static_cast<long long>(kMaxPatternEntries));
  if (flag != 0) {
    FreeLine(std_out()) << "FLAG=" << flag;
    stop(9);
  }
}

namespace {

// A failed analysis or factorization: its room and flag, then the stop.
[[noreturn]] void factor_failed(const SparseFactor& f, int flag) {
  FreeLine(std_out()) << "ESP=" << f.esp;
  FreeLine(std_out()) << "FLAG=" << flag;
  stop(99);
}

}  // namespace

// The symbolic factorization, then a check of the memory the factors will
// take (self-sized only: a workspace is already there).
void analyse_pattern(const int& neq, System& sys, OwnSolver& solver) {
  const int flag = own_analyse(solver, system_rows(neq, sys));
  const SparseFactor& f = solver.f;
  if (f.beyond_32bit)
    std::fprintf(stderr,
                 "threephase: the factors of %d unknowns would hold more than %lld entries, "
                 "beyond the solver's 32-bit positions; use fewer cells along x or y\n",
                 neq, static_cast<long long>(kMaxPatternEntries));
  if (flag != 0) factor_failed(f, flag);
  if (solver.nsp == 0) check_factor_memory(f);
}

void factor_and_solve(const int& neq, System& sys, OwnSolver& solver) {
  ProgressLine line;
  progress_begin(line, "factorization", "multiply-adds");
  const Progress progress = progress_to(line);
  const int flag = own_factor(solver, system_rows(neq, sys), &progress);
  progress_end(line);
  if (flag != 0) factor_failed(solver.f, flag);
  own_solve(solver, sys.rhs_m.view(), sys.z.view());
  sys.factor_entries = own_factor_entries(solver);
}

}  // namespace tp
