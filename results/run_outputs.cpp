#include "results/run_outputs.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "common/coefficient_table.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"
#include "common/version.hpp"
#include "fem/effective_waves.hpp"
#include "planewave/veloc_aten.hpp"
#include "results/legacy_files.hpp"
#include "results/npy.hpp"
#include "results/results_json.hpp"
#include "results/sha256.hpp"

namespace tp {

namespace {

// The first cell's coefficients, with units.
int first_cell(const Coefficients& co, Quantity* q) {
  int n = 0;
  for (const CoefficientInfo& c : kCoefficientTable) {
    q[n++] = Quantity{c.name, c.unit, (co.*c.field)(1, 1)};
  }
  return n;
}

// The five waves of cell (j, k), fastest first within P and within S, each
// with the label the legacy report gives it.
void plane_waves(const Coefficients& co, double omega, int j, int k, PlaneWave* pw, PlaneWave* sw) {
  cplx zp[3], zs[2];
  cell_slownesses(j, k, omega, co, zp, zs);
  const bool swap = 1.0 / zp[1].real() > 1.0 / zp[0].real();
  PlaneWave p[3] = {plane_wave("vp1", swap ? zp[1] : zp[0]),
                    plane_wave("vp2", swap ? zp[0] : zp[1]), plane_wave("vp3", zp[2])};
  for (int a = 0; a < 3; ++a)  // three entries: order by velocity, descending
    for (int b = a + 1; b < 3; ++b)
      if (p[b].velocity > p[a].velocity) std::swap(p[a], p[b]);
  for (int a = 0; a < 3; ++a) pw[a] = p[a];
  const bool sswap = 1.0 / zs[1].real() > 1.0 / zs[0].real();
  sw[0] = plane_wave("vs1", sswap ? zs[1] : zs[0]);
  sw[1] = plane_wave("vs2", sswap ? zs[0] : zs[1]);
}

// The arithmetic mean over the cells of each of the 18 coefficients, as
// the one cell of average; the cells are equal squares, so it is the volume
// average. false when the memory is not there.
bool average_coefficients(const CellGrid& g, const Coefficients& co, Coefficients& average) {
  if (!size_coefficients(average, 1, 1)) return false;
  const double cells = double(g.nx) * g.ny;
  for (const CoefficientInfo& c : kCoefficientTable) {
    double sum = 0.0;
    for (int j = 1; j <= g.nx; ++j)
      for (int k = 1; k <= g.ny; ++k) sum += (co.*c.field)(j, k);
    (average.*c.field)(1, 1) = sum / cells;
  }
  return true;
}

// A modulus with the wave properties the post-processing gave it.
ModulusResult modulus(const cplx& m, const WaveProperties& w) {
  return ModulusResult{m, w.v, w.q, w.q1000};
}

// Each map: its file name (the legacy file's where there is one), the
// quantity, the unit (from the result-file and coefficient tables), and the
// value of cell (j, k).
void write_maps(const RunView& v, RunResults& r) {
  if (::mkdir(output_path("maps"), 0777) != 0 && errno != EEXIST) output_error("maps", errno);
  const int nx = v.deck.nx, ny = v.deck.ny;
  const Results& c = v.results;
  const Coefficients& co = v.co;
  r.n_maps = 0;
  auto put = [&](const char* name, const char* quantity, const char* unit, const auto& value) {
    const std::string path = std::string("maps/") + name + ".npy";
    if (!write_npy_map(output_path(path.c_str()), nx, ny, value)) output_error(path.c_str(), errno);
    r.maps[r.n_maps++] = MapFile{name, quantity, unit};
  };
  auto put_file = [&](ResultFile f, const auto& value) {
    const ResultFileInfo& info = result_file(f);
    put(info.file, info.holds, info.unit, value);
  };
  put_file(ResultFile::matnum, [&](int j, int k) { return v.sample.matnum(j, k); });
  put("porosity", "porosity (water proportion) of the cell", "1",
      [&](int j, int k) { return v.sample.phi(j, k); });
  put_file(ResultFile::re_strain1, [&](int j, int k) { return c.strain1(j, k).real(); });
  put_file(ResultFile::im_strain1, [&](int j, int k) { return c.strain1(j, k).imag(); });
  put_file(ResultFile::re_strain3, [&](int j, int k) { return c.strain3(j, k).real(); });
  put_file(ResultFile::im_strain3, [&](int j, int k) { return c.strain3(j, k).imag(); });
  put_file(ResultFile::re_stress, [&](int j, int k) { return c.stress(j, k).real(); });
  put_file(ResultFile::im_stress, [&](int j, int k) { return c.stress(j, k).imag(); });
  put_file(ResultFile::pressure, [&](int j, int k) { return std::abs(c.pres(j, k)); });
  // Backward differences exist inside the sample only: the array holds NaN
  // on its border where the legacy file leaves those cells out.
  const ResultFileInfo& grad = result_file(ResultFile::grad_pressure);
  static const std::string grad_quantity = std::string(grad.holds) + "; NaN on the border";
  put(grad.file, grad_quantity.c_str(), grad.unit, [&](int j, int k) {
    return j >= 2 && j <= nx - 1 && k >= 2 && k <= ny - 1 ? c.grad_pres_mod(j, k) : NAN;
  });
  if (v.plate_stress != nullptr) {
    const CellField<cplx>& t = *v.plate_stress;
    put("real_total_stress_map",
        "total vertical stress (both solids and the water) of the vertical plate test at unit "
        "vertical strain, real part; each row's mean is C33",
        "Pa", [&](int j, int k) { return t(j, k).real(); });
    put("imag_total_stress_map",
        "total vertical stress of the vertical plate test at unit vertical strain, imaginary part",
        "Pa", [&](int j, int k) { return t(j, k).imag(); });
  }
  for (int m = 0; m < kCoefficientMaps; ++m) {
    const CoefficientInfo& info = coefficient_of_map(m);
    put(info.legacy_map, info.label, info.unit,
        [&](int j, int k) { return (co.*info.field)(j, k); });
  }
}

// sha256 of the deck's bytes.
void deck_hash(const char* path, char hex[65]) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  sha256_hex(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), hex);
}

}  // namespace

namespace {

ModulusResult effective_modulus(const cplx& m, double rho) {
  const EffectiveWave w = wave_of_modulus(m, rho);
  return ModulusResult{m, w.velocity, w.q, w.thousand_over_q};
}

}  // namespace

void capture_effective(const SampleStiffness& c, double rho, bool full, RunResults& r) {
  EffectiveRecord& e = r.effective;
  e.present = true;
  e.full = full;
  e.density = rho;
  e.c33 = effective_modulus(c.c33, rho);
  e.c13 = c.c13;
  if (!full) return;
  e.c11 = effective_modulus(c.c11, rho);
  e.c55 = effective_modulus(c.c55, rho);
  e.c13_horizontal = c.c13_horizontal;
  ObliqueWaves waves[kWaveAngles];
  oblique_waves(c, rho, waves);
  for (int i = 0; i < kWaveAngles && i < kEffectiveAngles; ++i) {
    e.angles[i] =
        EffectiveAngle{waves[i].angle_degrees, waves[i].qp.velocity, waves[i].qp.thousand_over_q,
                       waves[i].qsv.velocity, waves[i].qsv.thousand_over_q};
  }
}

void capture_diffusion(const DiffusionScale& s, RunResults& r) {
  r.diffusion = DiffusionRecord{s.length,   s.j,         s.k,         s.cells_across, s.threshold,
                                s.resolved, s.nx_needed, s.ny_needed, s.beyond};
}

bool capture_closed_form(const Sample& s, const Coefficients& co, double omega, RunResults& r) {
  r.n_first_cell = first_cell(co, r.first_cell);
  // The report's cell (nx/2, ny/2), kept inside the grid.
  r.wave_cell_j = s.grid.nx / 2 > 0 ? s.grid.nx / 2 : 1;
  r.wave_cell_k = s.grid.ny / 2 > 0 ? s.grid.ny / 2 : 1;
  plane_waves(co, omega, r.wave_cell_j, r.wave_cell_k, r.p, r.s);
  Coefficients average;
  if (!average_coefficients(s.grid, co, average)) return false;
  plane_waves(average, omega, 1, 1, r.average_p, r.average_s);
  return true;
}

void write_run_outputs(const RunView& v, RunResults& r) {
  r.version = version_string();
  r.compiler = compiler_string();
  r.build_options = build_options_string();
  r.deck_path = v.deck_name;
  deck_hash(v.deck_path, r.deck_sha256);
  r.deck = &v.record;
  r.nx = v.deck.nx;
  r.ny = v.deck.ny;
  r.cell_size = v.deck.h;
  r.frequency = v.deck.freq;
  r.omega = v.omega;
  r.water_proportion = v.water_proportion;
  r.average_density = v.rob_med;
  r.mstar = modulus(v.results.mstar, v.results.w_mstar);
  r.c33 = modulus(v.results.c33, v.results.w_c33);
  r.mstar3 = modulus(v.results.mstar3, v.results.w_mstar3);
  r.unknowns = v.neq;
  r.matrix_entries = v.sys.ia(v.neq + 1) - 1;
  r.factor_entries = v.sys.factor_entries;
  r.solver = v.solver;
  r.n_timings = 0;
  for (int i = 0; i < v.clock.n && i < kMaxTimings; ++i) {
    r.timings[r.n_timings++] = Quantity{v.clock.stage[i], "s", v.clock.seconds[i]};
  }
  r.warnings = &v.warnings;
  write_maps(v, r);
  if (r.curve != nullptr &&
      !write_curves_csv(output_path("curves.csv"), *r.curve, r.effective.density))
    output_error("curves.csv", errno);
  if (!write_results_json(output_path("results.json"), r)) output_error("results.json", errno);
}

}  // namespace tp
