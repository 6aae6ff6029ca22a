#pragma once
// results.json: every number of a run's report under stable English names
// with SI units, so that scripts and the Python package read a run without
// parsing the report text. docs/outputs.md gives the schema.
#include <cstdint>
#include <string>

#include "common/complex.hpp"
#include "common/warnings.hpp"
#include "deck/deck_record.hpp"
#include "fem/stiffness_curve.hpp"

namespace tp {

// A named value with its unit.
struct Quantity {
  const char* name;
  const char* unit;
  double value;
};

// One plane wave of the closed-form analysis, from its complex slowness z:
// velocity 1/Re z; standard Q = Re M / Im M with M = 1/z^2 (the definition
// of the finite-element moduli); legacy Q = |Re z / Im z|, about twice the
// standard one at low loss.
struct PlaneWave {
  const char* legacy_label;  // the report's label of this root ("vp3")
  cplx slowness;             // s/m
  double velocity, q, q1000, legacy_q, legacy_q1000;
};

// An effective modulus of the sample with its velocity and Q at the average
// density (Q = Re M / Im M, as in the report).
struct ModulusResult {
  cplx modulus;  // Pa
  double velocity, q, q1000;
};

// One map file of maps/: its name (the legacy file's name where there is
// one), what it holds and the unit.
struct MapFile {
  const char* name;
  const char* quantity;
  const char* unit;
};

// The shortest fluid-pressure diffusion length of the sample (decay length
// of the slow P wave) against the grid, and the grid that would resolve it.
struct DiffusionRecord {
  double length = 0;        // m (infinite: nothing decays)
  int j = 0, k = 0;         // its cell
  double cells_across = 0;  // length / cell size
  double threshold = 0;     // cells across below which the run warns
  bool resolved = true;
  std::int64_t nx_needed = 0, ny_needed = 0;  // not counted past the largest grid
  bool beyond = false;                        // no grid a run can hold resolves it
};

// The sample's stiffness from the rigid-plate tests, with the waves of the
// effective medium: C33 (and C13) from the vertical test always; C11, C55
// and the waves at every angle with the full set of tests.
constexpr int kEffectiveAngles = 19;
struct EffectiveAngle {
  double angle_degrees;
  double qp_velocity, qp_q1000, qsv_velocity, qsv_q1000;
};
struct EffectiveRecord {
  bool present = false;
  bool full = false;
  double density = 0.0;  // volume average of the cells' densities (kg/m3)
  ModulusResult c33{}, c11{}, c55{};
  cplx c13{}, c13_horizontal{};
  EffectiveAngle angles[kEffectiveAngles];
};

constexpr int kMaxQuantities = 32;
constexpr int kMaxMapFiles = 32;
constexpr int kMaxTimings = 12;

// Everything results.json says. Pointers stay owned by the caller.
struct RunResults {
  const char* version;
  const char* compiler;
  const char* build_options;
  const char* deck_path;
  char deck_sha256[65];
  const DeckRecord* deck;
  int nx, ny;
  double cell_size, frequency, omega, water_proportion, average_density;
  Quantity first_cell[kMaxQuantities];
  int n_first_cell;
  const char* elastic_form = "two_dimensional";  // the coefficients' form
  int wave_cell_j, wave_cell_k;
  PlaneWave p[3], s[2];  // fastest first
  // The same five waves of the coefficients averaged over the cells, the
  // closed-form reference of the whole sample.
  PlaneWave average_p[3], average_s[2];
  ModulusResult mstar, c33, mstar3;
  EffectiveRecord effective;
  const Curve* curve = nullptr;  // the stiffness against frequency, when asked
  DiffusionRecord diffusion;
  int unknowns;
  long long matrix_entries, factor_entries;
  const char* solver;
  Quantity timings[kMaxTimings];  // wall-clock seconds by stage
  int n_timings;
  const Warnings* warnings;
  MapFile maps[kMaxMapFiles];
  int n_maps;
};

// Closed-form wave properties of a slowness z; label is the legacy name.
PlaneWave plane_wave(const char* label, const cplx& z);

// Writes text to the file `path`, created or emptied; false (errno set)
// when it cannot be created, or a write, the flush or the close fails: a
// file cut short by a full disk is never reported written.
bool write_text_file(const char* path, const std::string& text);

// Writes curves.csv of a curve to `path`: one row per frequency, SI units,
// the definition of 1000/Q in the header; false (errno set) on failure.
bool write_curves_csv(const char* path, const Curve& curve, double density);

// Writes the JSON document to `path`; false (errno set) on failure.
bool write_results_json(const char* path, const RunResults& r);

}  // namespace tp
