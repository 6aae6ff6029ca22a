#include "driver/run.hpp"

#include <cstdio>

#include "common/input.hpp"
#include "common/stop.hpp"
#include "driver/readata.hpp"
#include "driver/reports.hpp"
#include "fem/global_numbering.hpp"
#include "fem/global_sist.hpp"
#include "model/makematnum.hpp"
#include "model/porosity.hpp"
#include "rockphysics/e_modulus.hpp"
#include "rockphysics/mass_visco_coef.hpp"
#include "sparse/zndrv.hpp"
#include "sparse/zodrv.hpp"

namespace tp {

void read_deck(Deck& d) { readata(d); }

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
    "the leading value",         "the reference mu1",     "the reference mu3",
    "the reference mu13",        "the reference lambda1", "the reference lambda3",
    "the reference b1",          "the reference b2",      "the reference m",
    "the reference d3"};
constexpr int kFrictionReferences = 4;
const char* const kFrictionWhat[kFrictionReferences] = {
    "the leading value", "the reference b11", "the reference b22", "the reference b12"};

// Reads the n values of the reference file `name`, one per line in free form.
void read_reference_file(const char* name, const char* const* what, int n, double* v) {
  LineSource src;
  open_file_source(src, name);
  for (int i = 0; i < n; ++i) v[i] = read_free_real(src, what[i]);
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
  FreeLine(out) << " size of layer 1 (m) " << d.layer_size(1);
  blank_line(out);
  FreeLine(out) << " size of layer 2 in subintervals " << d.nl(2);
  blank_line(out);
  FreeLine(out) << " size of layer 2 (m) " << d.layer_size(2);
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

// Creates the map files afresh (a later first case, which only tests make,
// starts them again) and writes the cells done.
void write_elastic_maps(const CellGrid& g, const Coefficients& co, const int& cells,
                        CoefficientMaps& maps) {
  static const char* const kNames[9] = {"xmu1_gnu",     "xmu3_gnu", "xmu13_gnu",
                                        "xlambda1_gnu", "xlambda3_gnu", "b1_gnu",
                                        "b2_gnu",       "xm_gnu",   "d3_gnu"};
  const RealField* fields[9] = {&co.mu1, &co.mu3, &co.mu13, &co.lambda1, &co.lambda3,
                                &co.b1,  &co.b2,  &co.m,    &co.d3};
  for (int i = 0; i < 9; ++i) {
    close_unit(maps.elastic[i]);
    open_unit(maps.elastic[i], kNames[i]);
    write_cell_map(maps.elastic[i], g, *fields[i], cells);
  }
}

void write_friction_maps(const CellGrid& g, const Coefficients& co, const int& cells,
                         CoefficientMaps& maps) {
  close_unit(maps.b11);
  close_unit(maps.b22);
  close_unit(maps.b12);
  open_unit(maps.b11, "b11_gnu");
  open_unit(maps.b22, "b22_gnu");
  open_unit(maps.b12, "b12_gnu");
  write_cell_map(maps.b11, g, co.f11, cells);
  write_cell_map(maps.b22, g, co.f22, cells);
  write_cell_map(maps.b12, g, co.f12, cells);
}

}  // namespace

void size_tables(const Deck& d, Sample& s, Coefficients& co, System& sys, Results& r) {
  if (!table_sizes(d.nx, d.ny).fits) refuse_grid(d, "pass the 32-bit positions of the storage");
  s.grid = CellGrid{d.nx, d.ny, d.h};
  bool ok = s.matnum.resize(d.nx, d.ny);
  ok = s.phi.resize(d.nx, d.ny) && ok;
  ok = size_coefficients(co, d.nx, d.ny) && ok;
  ok = size_system(sys, d.nx, d.ny) && ok;
  ok = size_results(r, d.nx, d.ny) && ok;
  if (!ok) refuse_grid(d, "do not fit in the memory available");
}

void size_workspace(const Deck& d, Array1<cplx>& workspace) {
  if (!workspace.resize(table_sizes(d.nx, d.ny).words)) {
    refuse_grid(d, "with the solver workspace do not fit in the memory available");
  }
}

void read_elastic_references(ReferenceValues& refs) {
  read_reference_file("elast_coef_sand", kElasticWhat, kElasticReferences, refs.elastic);
}

void read_friction_references(ReferenceValues& refs) {
  read_reference_file("b11_b22_b12_sand", kFrictionWhat, kFrictionReferences, refs.friction);
}

void read_side_files(const Deck& d, Sample& s, ReferenceValues& refs) {
  read_elastic_references(refs);
  read_friction_references(refs);
  read_porosity_file(d, s);
}

void material_map_pass(Deck& d, Sample& s, Unit& plain, Unit& gnu) {
  open_unit(plain, "matnum_p33");
  open_unit(gnu, "matnum_p33_gnu");
  print_geometry(d, makematnum(d, s));
  IntField& map = s.matnum;
  for (int k = 1; k <= d.ny; ++k) {
    for (int j = 1; j <= d.nx; ++j) {
      map(j, k) = 1;
      FreeLine(plain) << map(j, k);
      FreeLine(gnu) << j << k << map(j, k);
      if (map(j, k) < 1 || map(j, k) > d.nmat) {
        FreeLine(std_out()) << "j,k, matnum(j,k) " << j << k << map(j, k);
        stop(222);
      }
    }
  }
  close_unit(plain);
}

void elastic_coefficients(const Deck& d, const Sample& s, const ReferenceValues& refs,
                          const double& omega, const int& icase, Coefficients& co,
                          CoefficientMaps& maps) {
  check_key_model(d.key_model, "e_modulus");
  // The reference values of a known sand are echoed for comparison only.
  if (icase == 1) echo_values(refs.elastic, kElasticReferences);
  ElasticReport first;
  const CellFailure fail = e_modulus(d, s, omega, co, first);
  print_elastic_report(d.key_model, first);
  const int cells = cells_done(s.grid, fail);
  print_negative_lambda1(s.grid, co.lambda1, cells);
  if (icase == 1) write_elastic_maps(s.grid, co, cells, maps);
  if (fail) stop_at_cell(fail);
}

void mass_coefficients(const Deck& d, const Sample& s, const ReferenceValues& refs,
                       const int& icase, Coefficients& co, Fractions& fr,
                       CoefficientMaps& maps) {
  check_key_model(d.key_model, "mass_visco_coef");
  if (icase == 1) echo_values(refs.friction, kFrictionReferences);
  FreeLine(std_out()) << "enters  mass_visco_coef  key_model " << d.key_model;
  MassReport first;
  const CellFailure fail = mass_visco_coef(d, s, co, fr, first);
  print_mass_report(d.key_model, first);
  if (icase == 1) write_friction_maps(s.grid, co, cells_done(s.grid, fail), maps);
  if (fail) stop_at_cell(fail);
}

double average_density(const Deck& d, const Sample& s, const Fractions& fr) {
  const double cells_n = d.nx * d.ny;
  double rob_med = 0.0;
  for (int j = 1; j <= d.nx; ++j) {
    for (int k = 1; k <= d.ny; ++k) {
      const int mat = s.matnum(j, k);
      rob_med +=
          (s.phi(j, k) * d.ro2(mat) + fr.phi1 * d.ro1(mat) + fr.phi3 * d.ro3(mat)) / cells_n;
    }
  }
  return rob_med;
}

CellWaves plane_waves(const CellGrid& g, const double& omega, const Coefficients& co) {
  WaveReport report;
  const CellFailure fail = veloc_aten(g, omega, co, report);
  print_wave_report(g, omega, report);
  if (fail) stop_at_cell(fail);
  empty_line(std_out());
  return report.last;
}

void assemble_system(const double& omega, const CellGrid& g, Coefficients& co, System& sys) {
  global_numbering(g.nx, g.ny, sys.xnod);
  if (global_sist(omega, g, co, sys) != 0) {
    input_error("the grid", "the work area of the assembly does not fit in the memory available");
  }
}

int unknowns(const Deck& d) { return (6 * d.nx + 5) * d.ny + 5 * d.nx + 4; }

// The workspace is one area of complex words, seen also as 32-bit integers.
void order_system(const int& neq, System& sys, cplx* workspace, const int& nsp) {
  const View1<std::int32_t> isp{reinterpret_cast<std::int32_t*>(workspace)};
  int flag = 0;
  zodrv(neq, sys.ia.view(), sys.ja.view(), sys.avec.view(), sys.c.view(), sys.ic.view(), nsp,
        isp, 1, flag);
  if (flag != 0) {
    FreeLine(std_out()) << "FLAG=" << flag;
    stop(9);
  }
}

void factor_and_solve(const int& neq, System& sys, cplx* workspace, const int& nsp) {
  const View1<std::int32_t> isp{reinterpret_cast<std::int32_t*>(workspace)};
  const View1<cplx> rsp{workspace};
  int flag = 0, esp = 0;
  // The same permutation orders the rows and the columns.
  zndrv(neq, sys.c.view(), sys.c.view(), sys.ic.view(), sys.ia.view(), sys.ja.view(),
        sys.avec.view(), sys.rhs_m.view(), sys.z.view(), nsp, isp, rsp, esp, 1, flag);
  if (flag != 0) {
    FreeLine(std_out()) << "ESP=" << esp;
    FreeLine(std_out()) << "FLAG=" << flag;
    stop(99);
  }
}

}  // namespace tp
