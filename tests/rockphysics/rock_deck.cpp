#include "rock_deck.hpp"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "common/output.hpp"
#include "rockphysics/e_modulus.hpp"
#include "rockphysics/mass_visco_coef.hpp"
#include "support/testing.hpp"

namespace tp::testing {

namespace {

RockDeck common_deck(int nx, int ny) {
  RockDeck d;
  d.nx = nx;
  d.ny = ny;
  d.omega = 2.0 * 3.14159265358979323846 * 100.0;
  for (int k = 1; k <= ny; ++k) {
    for (int j = 1; j <= nx; ++j) {
      d.matnum(j, k) = 1;
      d.phi(j, k) = 0.1;
    }
  }
  d.both(&RockDeck::phi_a, 0.3);
  d.both(&RockDeck::s3, 0.2);
  d.both(&RockDeck::akf, 2.25e9);
  d.both(&RockDeck::eta, 1.0e-3);
  d.both(&RockDeck::ak_air, 1.0e5);
  d.both(&RockDeck::xmu_air, 0.0);
  d.both(&RockDeck::ak_s1, 3.7e10);
  d.both(&RockDeck::xmu_s1, 4.4e10);
  d.both(&RockDeck::ro1, 2650.0);
  d.both(&RockDeck::ro2, 1000.0);
  d.both(&RockDeck::capa_1_0, 1.0e-12);
  d.both(&RockDeck::capa_3_0, 1.0e-12);
  d.both(&RockDeck::rs1, 5.0e-5);
  d.both(&RockDeck::rs3, 1.0e-6);
  d.both(&RockDeck::coef_b13, 0.0);
  return d;
}

}  // namespace

RockDeck permafrost_deck(int nx, int ny) {
  RockDeck d = common_deck(nx, ny);
  d.key_model = 0;
  d.both(&RockDeck::ak_s3, 8.6e9);  // ice
  d.both(&RockDeck::xmu_s3, 3.9e9);
  d.both(&RockDeck::ro3, 920.0);
  return d;
}

RockDeck shaley_sand_deck(int nx, int ny) {
  RockDeck d = common_deck(nx, ny);
  d.key_model = 1;
  d.both(&RockDeck::ak_s3, 2.1e10);  // clay
  d.both(&RockDeck::xmu_s3, 7.0e9);
  d.both(&RockDeck::ro3, 2600.0);
  return d;
}

void run_e_modulus(const RockDeck& d, ElasticFields& e) {
  e_modulus(d.nx, d.ny, d.nmat, d.matnum, d.phi_a, d.phi, d.s3, d.akf, d.eta, d.omega, d.ak_air,
            d.xmu_air, d.ak_s3, d.xmu_s3, d.ak_s1, d.xmu_s1, d.key_model, e.lambda1, e.lambda3,
            e.mu1, e.mu3, e.mu13, e.b1, e.b2, e.m, e.d3, d.ro1, d.ro2, d.ro3, d.icase);
  std::fflush(nullptr);
}

void run_mass_visco_coef(const RockDeck& d, MassFields& mf) {
  mass_visco_coef(d.nx, d.ny, d.nmat, d.matnum, d.phi_a, d.phi, d.s3, d.eta, d.omega,
                  d.key_model, d.ro1, d.ro2, d.ro3, d.capa_1_0, d.capa_3_0, d.rs1, d.rs3,
                  d.coef_b13, mf.p11, mf.p12, mf.p13, mf.p22, mf.p23, mf.p33, mf.f11, mf.f12,
                  mf.f22, mf.s1, mf.s3, mf.phi1, mf.phi3, d.icase);
  std::fflush(nullptr);
}

void print_to_file() { std_out().f = std::fopen("stdout.txt", "w"); }

void write_reference_files(const std::string& dir) {
  write_file(dir + "/elast_coef_sand",
             "0.1\n1.8e10\n6.0e9\n0.0\n9.0e9\n3.0e9\n5.0e9\n1.0e9\n2.0e10\n0.5e9\n");
  write_file(dir + "/b11_b22_b12_sand", "0.1\n1.0e8\n2.0e10\n-1.0e9\n");
}

InFreshDir::InFreshDir(const std::string& tag, bool with_references)
    : dir_(fresh_dir(tag)), saved_(std::filesystem::current_path().string()) {
  if (with_references) write_reference_files(dir_);
  std::filesystem::current_path(dir_);
}

InFreshDir::~InFreshDir() { std::filesystem::current_path(saved_); }

std::string InFreshDir::file(const std::string& name) const { return read_file(dir_ + "/" + name); }

}  // namespace tp::testing
