#pragma once
// From the solution of the harmonic compressibility test to the sample's
// effective moduli, velocities and Q, with the strain, stress and pressure
// maps; and the result files that carry them.
#include "common/output.hpp"
#include "common/structures.hpp"

namespace tp {

// The result files of a run, created (or emptied) at its start.
struct ResultFiles {
  Unit vp_anal, vp_eq, q_eq, q_anal;                    // one line per case
  Unit pressure, grad_pressure;                         // pressure maps
  Unit re_strain1, im_strain1, re_strain3, im_strain3;  // strain maps
  Unit re_stress, im_stress;                            // stress maps
  Unit solid3;  // the modulus from the solid-3 top displacement
};

// Name of the file of the two solid-3 records.
constexpr const char* kSolid3File = "mstar3_solid3";

void open_result_files(ResultFiles& files);

// Wave properties of a complex modulus M in a medium of density rho:
// Q = Re M / Im M, and the phase velocity 1 / Re(1 / sqrt(M / rho)).
struct WaveProperties {
  double q;
  double q1000;  // 1000 / Q
  double v;      // m/s
};
WaveProperties wave_properties(const cplx& modulus, const double& rho);

// The scalars of the run the post-processing reads.
struct SampleState {
  int nx, ny;
  double h, domain_size;
  double s1, s3_matrix;  // matrix fractions of solids 1 and 3 (last cell)
  double rob_med;        // average density (kg/m3)
  double water;          // the case's water proportion
  double freq, freq_fix;
  double vp1, q1000_p1;  // closed-form fast P wave
};

// What the post-processing computes: the volume changes of the top side,
// the moduli mstar (solid 1 top), c33 (averaged stress over averaged strain)
// and mstar3 (solid 3 top) with their wave properties, and per cell (1..nx,
// 1..ny) the vertical strains and stress and the fluid pressure, with its
// backward differences and the size of its gradient inside the sample.
struct Results {
  cplx deltavol1, deltavol3, deltavol;
  cplx mstar, av_strain, av_stress, c33, mstar3;
  WaveProperties w_mstar{}, w_c33{}, w_mstar3{};
  CellField<cplx> strain1;    // vertical strain of solid 1
  CellField<cplx> strain3;    // vertical strain of solid 3
  CellField<cplx> stress;     // vertical stress (Pa)
  CellField<cplx> pres;       // fluid pressure (Pa)
  CellField<cplx> derx_pres;  // backward x difference of pres (Pa/m), inside
  CellField<cplx> dery_pres;  // backward y difference of pres (Pa/m), inside
  RealField grad_pres_mod;
  RealField slow_p_decay;  // decay length of the slowest P wave (m), from the waves
};

// Sizes the per-cell results to nx by ny (zeros); false when the memory is
// not there.
bool size_results(Results& r, int nx, int ny);

// Turns the solution sys.z into the results, with the cells' elastic
// coefficients co.
void post_process(const System& sys, const Coefficients& co, const SampleState& s, Results& r);

// Prints the results' report lines and writes every result line and file:
// the strain, stress and pressure maps, the result tables and the solid-3
// records. It writes what it is given, NaN included: the driver refuses a
// result that is not finite before (non_finite_result, stop_at_cell).
void write_results(const SampleState& s, const Results& r, ResultFiles& files);

}  // namespace tp
