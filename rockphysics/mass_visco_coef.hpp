#pragma once
// Mass and viscous-friction coefficients of the three-phase medium.
#include "common/progress.hpp"
#include "common/structures.hpp"
#include "rockphysics/fractions.hpp"

namespace tp {

// Per-layer data of the cell being computed.
struct LayerData {
  double ro1, ro2, ro3, eta, b13;
};

// Densities, tortuosities, mass and friction coefficients of one cell, kept
// for the report of the first cell.
struct CellMasses {
  double ro, ro_prim;
  double a12, a32, a13, a31;
  double p11, p12, p13, p22, p23, p33;
  double capa_1, capa_3, capa, coef_b12, coef_b23;
  double f11loc, f11, f12, f22;
};
// The determinants of the friction matrix of a cell without and with the
// second solid-solid term (f11 counts it twice).
inline double friction_control1(const CellMasses& c) { return c.f11loc * c.f22 - c.f12 * c.f12; }
inline double friction_control2(const CellMasses& c) { return c.f11 * c.f22 - c.f12 * c.f12; }

// What the report shows of cell (1, 1): its fractions (reached 1 or more),
// then its layer data, masses, permeabilities and friction (reached 2).
struct MassReport {
  int reached = 0;
  CellFractions f;
  LayerData l{};
  CellMasses c{};
};

// Fills the six mass coefficients (kg/m3) and three friction coefficients of
// every cell of the sample, for key_model 0 (permafrost) or 1 (shaley sand),
// cells in the order j outer, k inner; sets last to the fractions of the last
// cell treated and keeps cell (1, 1) in first. Returns the first failed check
// with its cell: 45678, kZeroFraction, 555, or at cell (1, 1), after its
// coefficients are stored, 99999 or 99998. Reports the cells done to
// progress after each column.
CellFailure mass_visco_coef(const Deck& d, const Sample& s, Coefficients& co, Fractions& last,
                            MassReport& first, const Progress* progress = nullptr);

}  // namespace tp
