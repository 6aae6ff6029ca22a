#pragma once
// Closed-form phase velocities and attenuation of the five plane waves (three
// compressional, two shear) of the three-phase medium, cell by cell.
#include "common/structures.hpp"
#include "common/tables.hpp"
#include "planewave/wave_order.hpp"

namespace tp {

// A plane wave of complex slowness z = k/omega: phase velocity 1/Re z,
// attenuation per wavelength in dB (2 pi 8.685889 |Im z / Re z|), and Q.
struct Wave {
  double v = 0.0, atp = 0.0, q = 0.0, q1000 = 0.0;
};
// The five waves of a cell: P1, P2, P3 and S1, S2.
struct CellWaves {
  Wave p[3];
  Wave s[2];
};

// The waves the report and the caller need: those of the centre cell
// (nx/2, ny/2), when the loop reached it, and those of the last cell treated;
// the shortest decay length of the slowest compressional wave and its cell.
// The slow wave is a diffusion of fluid pressure at these frequencies: its
// decay length 1/(omega Im z) is the thickness of the boundary layers of
// wave-induced flow, the length a grid must resolve.
struct WaveReport {
  bool centre_reached = false;
  CellWaves centre;
  CellWaves last;
  double shortest_decay = 0;  // m; infinite when no cell's slow wave decays
  int j_shortest = 0, k_shortest = 0;
  // When set (nx by ny cells), gets that decay length (m) of every cell done.
  RealField* slow_p_decay = nullptr;
  LabelSurvey labels;  // cells whose P3 is faster than the wave labelled P2
};

// For every cell (k outer, j inner) the velocities (m/s) and 1000/Q of the
// waves P1, P2, P3, S1, S2 at angular frequency omega (rad/s), from the mass
// (kg/m3), friction (kg/(m3 s)) and elastic (Pa) coefficients of the cell.
// Returns the first cell with a velocity <= 0: code 2000..2004 (vp1, vp2,
// vp3, vs1, vs2) with the velocity.
// The slowest compressional wave is the root of least phase velocity.
CellFailure veloc_aten(const CellGrid& g, const double& omega, const Coefficients& co,
                       WaveReport& report);

// The complex slownesses z = k/omega (s/m) of the five plane waves of cell
// (j, k) at omega: zp[0..2] the compressional roots in the solver's order
// (veloc_aten's P1 and P2 are the faster and slower of the first two, P3 the
// third), zs[0..1] the shear roots. Phase velocity 1/Re z.
void cell_slownesses(int j, int k, const double& omega, const Coefficients& co, cplx zp[3],
                     cplx zs[2]);

}  // namespace tp
