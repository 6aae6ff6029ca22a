#include "support/sample.hpp"

#include <random>

namespace tp::testing {

namespace {

// The 18 fields of a coefficient set, in the order of CellCoefficients.
struct FieldList {
  RealField* f[18];
};

FieldList fields_of(Coefficients& c) {
  return {{&c.lambda1, &c.lambda3, &c.mu1, &c.mu3, &c.mu13, &c.b1, &c.b2, &c.m, &c.d3, &c.p11,
           &c.p12, &c.p13, &c.p22, &c.p23, &c.p33, &c.f11, &c.f12, &c.f22}};
}

// The same 18 values of one cell.
using C = CellCoefficients;
constexpr double C::*kValues[18] = {&C::lambda1, &C::lambda3, &C::mu1, &C::mu3, &C::mu13, &C::b1,
                                    &C::b2,      &C::m,       &C::d3,  &C::p11, &C::p12,  &C::p13,
                                    &C::p22,     &C::p23,     &C::p33, &C::f11, &C::f12,  &C::f22};

RockDeck common_deck(int nx, int ny) {
  RockDeck d;
  d.nx = nx;
  d.ny = ny;
  d.matnum.resize(nx, ny);
  d.phi.resize(nx, ny);
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

void CoefficientSet::size(int nx, int ny) { size_coefficients(*this, nx, ny); }

void CoefficientSet::set(int j, int k, const CellCoefficients& c) {
  const FieldList f = fields_of(*this);
  for (int i = 0; i < 18; ++i) (*f.f[i])(j, k) = c.*kValues[i];
}

CellCoefficients CoefficientSet::at(int j, int k) const {
  CellCoefficients v;
  const FieldList f = fields_of(const_cast<CoefficientSet&>(*this));
  for (int i = 0; i < 18; ++i) v.*kValues[i] = (*f.f[i])(j, k);
  return v;
}

void CoefficientSet::fill_random(unsigned stream) {
  std::mt19937_64 gen(stream);
  std::uniform_real_distribution<double> unit(0.5, 1.5);
  const FieldList f = fields_of(*this);
  for (int k = 1; k <= lambda1.cols(); ++k) {
    for (int j = 1; j <= lambda1.rows(); ++j) {
      for (int i = 0; i < 18; ++i) {
        const double scale = i < 9 ? 1.0e9 : i < 15 ? 1.0e3 : 1.0e7;
        (*f.f[i])(j, k) = scale * unit(gen);
      }
    }
  }
}

void CoefficientSet::fill_uniform(double elastic, double mass, double friction) {
  const FieldList f = fields_of(*this);
  for (int k = 1; k <= lambda1.cols(); ++k) {
    for (int j = 1; j <= lambda1.rows(); ++j) {
      for (int i = 0; i < 18; ++i) (*f.f[i])(j, k) = i < 9 ? elastic : i < 15 ? mass : friction;
    }
  }
}

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

void to_run(const RockDeck& r, Deck& d, Sample& s) {
  d.nx = r.nx;
  d.ny = r.ny;
  d.nmat = r.nmat;
  d.key_model = r.key_model;
  d.h = 0.01;
  d.phi_a = r.phi_a;
  d.s3 = r.s3;
  d.akf = r.akf;
  d.eta = r.eta;
  d.ak_air = r.ak_air;
  d.xmu_air = r.xmu_air;
  d.ak_s3 = r.ak_s3;
  d.xmu_s3 = r.xmu_s3;
  d.ak_s1 = r.ak_s1;
  d.xmu_s1 = r.xmu_s1;
  d.ro1 = r.ro1;
  d.ro2 = r.ro2;
  d.ro3 = r.ro3;
  d.capa_1_0 = r.capa_1_0;
  d.capa_3_0 = r.capa_3_0;
  d.rs1 = r.rs1;
  d.rs3 = r.rs3;
  d.coef_b13 = r.coef_b13;
  s.grid = CellGrid{r.nx, r.ny, d.h};
  s.matnum = r.matnum;
  s.phi = r.phi;
}

}  // namespace tp::testing
