#pragma once
// The run's structures: the deck, the sample (grid, material map, porosity),
// the reference values of the side files, the finite-element system, and the
// failure a computing routine hands back to the driver. Data flows one way:
// deck -> sample -> coefficients -> waves and system -> solution -> results.
// The others live beside what fills them: the grid and the coefficients in
// common/tables.hpp, the per-cell results in fem/effective_moduli.hpp, the
// solver's order and factors in sparse/own_solver.hpp; driver/run.hpp's Run
// owns them all.
#include <cstdint>

#include "common/tables.hpp"

namespace tp {

// The deck: head values and per-layer tables.
struct Deck {
  double freq = 0, freq_max = 0, domain_size = 0, h = 0;
  int n_freq = 0, nx = 0, ny = 0, key_model = 0, model = 0, nmat = 0;
  IntLayers nl;
  RealLayers akf, ro2, eta, ro1, ro3, phi_a, phi_layer, capa_1_0, capa_3_0, s3, rs1, rs3, coef_b13,
      ak_s1, xmu_s1, ak_s3, xmu_s3, ak_air, xmu_air;
};

// The elastic form of the three-phase medium's coefficients. The moduli H1,
// H3 and B3 are those of the rock in three dimensions. two_dimensional (the
// default, and the legacy run's) takes them as the moduli of a medium that
// is itself two-dimensional: lambda = H - mu, d3 = B3 - mu13/2.
// plane_strain models a slice of a three-dimensional rock held in the
// third direction: lambda = H - 2 mu/3, d3 = B3 - mu13/3, the Lame
// coefficients of the rock, which plane strain keeps unchanged.
enum class ElasticForm { two_dimensional, plane_strain };

// The volume fractions of the last cell the mass routine treats: the
// matrix shares s1, s3_matrix of the solids and their bulk fractions.
struct Fractions {
  double s1 = 0, s3_matrix = 0, phi1 = 0, phi3 = 0;
};

// The sample: its grid, the material of every cell matnum(1..nx, 1..ny)
// and the water fraction of every cell phi(1..nx, 1..ny).
struct Sample {
  CellGrid grid;
  IntField matnum;
  RealField phi;
};

// The values of the two reference files of a known sand, echoed in the
// report for comparison only: "elast_coef_sand" (a leading value, then mu1,
// mu3, mu13, lambda1, lambda3, b1, b2, m, d3) and "b11_b22_b12_sand" (a
// leading value, then b11, b22, b12).
struct ReferenceValues {
  double elastic[10] = {};
  double friction[4] = {};
};

// The finite-element system of the compressibility test and its solution:
// xnod(1..nx ny, 1..20), ia(1..neq+1), ja and avec (1..room), rhs_m and z
// (1..neq).
struct System {
  int neq = 0;
  int room = 0;
  XnodTable xnod;
  RowStarts ia;
  ColumnIndices ja;
  MatrixValues avec;
  UnknownVector rhs_m, z;
  long long factor_entries = 0;  // stored entries of L and U with the pivots
};

// Sizes every table of the system for the nx by ny grid (zeros); false when
// the memory is not there. The sizes must fit (table_sizes).
bool size_system(System& sys, int nx, int ny);

// A check that failed at cell (j, k), handed back by a computing routine:
// the stop code (0 when every cell passed), kZeroFraction for a cell whose
// fractions cannot give coefficients, or kNonFinite for a coefficient or a
// result that is NaN or infinite (`what` names the quantity, `routine` the
// stage; j = k = 0 for a quantity of the whole sample), with what the
// driver's message shows.
constexpr int kZeroFraction = -1;
constexpr int kNonFinite = -2;
struct CellFailure {
  int code = 0;
  int j = 0, k = 0;
  double value = 0.0;          // the value the stop message prints
  const char* what = nullptr;  // the zero fraction's name (kZeroFraction)
  const char* routine = nullptr;
  explicit operator bool() const { return code != 0; }
};

}  // namespace tp
