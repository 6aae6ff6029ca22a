#pragma once
// Decks of per-layer constants and per-cell fields for the rock-physics
// tests, with physically sensible values: quartz grains, pore water, ice
// (permafrost) or clay (shaley sand); moduli in Pa, densities in kg/m3,
// viscosity in Pa s, permeabilities and grain radii in m2 and m.
#include <string>
#include <vector>

#include "common/tables.hpp"

namespace tp::testing {

struct RockDeck {
  int nx = 1;
  int ny = 1;
  int nmat = 2;
  int key_model = 0;
  int icase = 1;
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

struct ElasticFields {
  RealField lambda1, lambda3, mu1, mu3, mu13, b1, b2, m, d3;
};

struct MassFields {
  RealField p11, p12, p13, p22, p23, p33, f11, f12, f22;
  double s1 = 0.0, s3 = 0.0, phi1 = 0.0, phi3 = 0.0;
};

void run_e_modulus(const RockDeck& d, ElasticFields& e);
void run_mass_visco_coef(const RockDeck& d, MassFields& mf);

// Sends the program's standard output to the file "stdout.txt" of the
// working directory, so that a death test's child leaves what it printed
// behind for the parent to read.
void print_to_file();

// The two reference files, with plausible values for a clean sand.
void write_reference_files(const std::string& dir);

// Moves into a fresh directory holding the reference files for the life of
// the object, and back afterwards.
class InFreshDir {
 public:
  explicit InFreshDir(const std::string& tag, bool with_references = true);
  ~InFreshDir();
  const std::string& path() const { return dir_; }
  std::string file(const std::string& name) const;

 private:
  std::string dir_;
  std::string saved_;
};

}  // namespace tp::testing
