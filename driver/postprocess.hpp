#pragma once
// From the solution of the harmonic compressibility test to the sample's
// effective moduli, velocities and Q, with the strain, stress and pressure
// maps; and the result files that carry them.
#include "common/output.hpp"
#include "common/tables.hpp"

namespace tp {

// The result files of a run, created (or emptied) at its start.
struct ResultFiles {
  Unit vp_anal, vp_eq, q_eq, q_anal;                     // one line per case
  Unit pressure, grad_pressure;                           // pressure maps
  Unit re_strain1, im_strain1, re_strain3, im_strain3;    // strain maps
  Unit re_stress, im_stress;                              // stress maps
  Unit solid3;  // the modulus from the solid-3 top displacement
};

// Name of the file of the two solid-3 records.
constexpr const char* kSolid3File = "mstar3_solid3";

void open_result_files(ResultFiles& files);

// Per-cell results of the post-processing. The pressure tables are larger
// than any grid; only cells j <= nx, k <= ny are used.
using PressureTable = Table2<cplx, kPressureCells, kPressureCells>;
struct CellResults {
  CellField<cplx> strain1;  // vertical strain of solid 1
  CellField<cplx> strain3;  // vertical strain of solid 3
  CellField<cplx> stress;   // vertical stress (Pa)
  PressureTable pres;       // fluid pressure (Pa)
  PressureTable derx_pres;  // backward x difference of pres (Pa/m)
  PressureTable dery_pres;  // backward y difference of pres (Pa/m)
  Table2<double, kPressureCells, kPressureCells> grad_pres_mod;
};

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

// Turns the solution z into deltavol1/3, mstar, c33, mstar3, the strain,
// stress and pressure maps (with the cells' elastic coefficients co), and
// writes every result line and file.
void post_process(const UnknownVector& z, const XnodTable& xnod, const Coefficients& co,
                  const SampleState& s, CellResults& cells, ResultFiles& files);

}  // namespace tp
