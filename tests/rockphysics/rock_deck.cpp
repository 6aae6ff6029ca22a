#include "rock_deck.hpp"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "common/output.hpp"
#include "deck/keyword_deck.hpp"
#include "driver/stages.hpp"
#include "support/testing.hpp"

namespace tp::testing {

void run_e_modulus(const RockDeck& r, CoefficientSet& e) {
  Deck d;
  Sample s;
  to_run(r, d, s);
  e.size(r.nx, r.ny);
  ReferenceValues refs;
  static CoefficientMaps maps;
  as_process([&] {
    if (r.report) read_elastic_references(refs);
    elastic_coefficients(d, legacy_plan(d), s, refs, r.omega, r.report, e, maps);
  });
  std::fflush(nullptr);
}

void run_mass_visco_coef(const RockDeck& r, CoefficientSet& mf) {
  Deck d;
  Sample s;
  to_run(r, d, s);
  mf.size(r.nx, r.ny);
  ReferenceValues refs;
  static CoefficientMaps maps;
  Fractions fr{mf.s1, mf.s3, mf.phi1, mf.phi3};
  as_process([&] {
    if (r.report) read_friction_references(refs);
    mass_coefficients(d, s, refs, r.report, mf, fr, maps);
  });
  mf.s1 = fr.s1;
  mf.s3 = fr.s3_matrix;
  mf.phi1 = fr.phi1;
  mf.phi3 = fr.phi3;
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
