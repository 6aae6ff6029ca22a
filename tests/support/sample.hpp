#pragma once
// The one coefficient set and sample deck of the tests of the computing
// routines: the program's own structures, sized to the grid a test uses,
// filled with physically sensible or with random values.
#include "common/structures.hpp"

namespace tp::testing {

// The 18 coefficients of one cell: elastic (Pa), mass (kg/m3) and friction
// (kg/(m3 s)).
struct CellCoefficients {
  double lambda1 = 0, lambda3 = 0, mu1 = 0, mu3 = 0, mu13 = 0, b1 = 0, b2 = 0, m = 0, d3 = 0;
  double p11 = 0, p12 = 0, p13 = 0, p22 = 0, p23 = 0, p33 = 0;
  double f11 = 0, f12 = 0, f22 = 0;
};

// The coefficients of every cell of an nx by ny grid, with the fractions of
// the last cell the mass routine treats.
struct CoefficientSet : Coefficients {
  double s1 = 0.0, s3 = 0.0, phi1 = 0.0, phi3 = 0.0;
  // Sizes every field to nx by ny cells, all zero.
  void size(int nx, int ny);
  void set(int j, int k, const CellCoefficients& c);
  CellCoefficients at(int j, int k) const;
  // Positive values of realistic magnitudes, different in every cell
  // (elastic about 1e9, mass 1e3, friction 1e7), from a fixed stream.
  void fill_random(unsigned stream);
  // Every cell the same: a homogeneous sample.
  void fill_uniform(double elastic, double mass, double friction);
};

// Per-layer constants and per-cell fields of a sample for the rock-physics
// routines: quartz grains, pore water, ice (permafrost) or clay (shaley
// sand); moduli in Pa, densities in kg/m3, viscosity in Pa s,
// permeabilities and grain radii in m2 and m.
struct RockDeck {
  int nx = 1;
  int ny = 1;
  int nmat = 2;
  int key_model = 0;
  bool report = true;  // the first case: echoes, first-cell report and maps
  double omega = 0.0;
  IntField matnum;
  RealField phi;
  RealLayers phi_a, s3, akf, eta, ak_air, xmu_air, ak_s3, xmu_s3, ak_s1, xmu_s1;
  RealLayers ro1, ro2, ro3, capa_1_0, capa_3_0, rs1, rs3, coef_b13;
  // Sets the same value for both layers.
  void both(RealLayers RockDeck::*table, double v) {
    (this->*table)(1) = v;
    (this->*table)(2) = v;
  }
};

// An nx by ny permafrost deck (phi_a 0.3) or shaley-sand deck (s3 0.2), every
// cell material 1 with phi = 0.1, frequency 100 Hz.
RockDeck permafrost_deck(int nx, int ny);
RockDeck shaley_sand_deck(int nx, int ny);

// The program's deck and sample of a RockDeck (cell side 0.01 m).
void to_run(const RockDeck& r, Deck& d, Sample& s);

}  // namespace tp::testing
