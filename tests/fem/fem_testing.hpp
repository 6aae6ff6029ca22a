#pragma once
// Shared fixtures of the finite-element tests: per-cell coefficient sets and
// global systems held in static storage (the matrix tables are tens of MB).
#include <cstring>
#include <random>

#include "common/tables.hpp"
#include "fem/global_numbering.hpp"
#include "fem/global_sist.hpp"
#include "fem/local_sys.hpp"

namespace tp::femtest {

using tp::Coefficients;

struct GlobalSystem {
  MatrixValues avec;
  RowStarts ia;
  ColumnIndices ja;
  UnknownVector rhs;
};

// Positive coefficients of realistic magnitudes, different in every cell
// (elastic in Pa, mass in kg/m^3, friction in kg/(m^3 s)).
inline void fill_random(Coefficients& c, unsigned stream) {
  std::mt19937_64 gen(stream);
  std::uniform_real_distribution<double> unit(0.5, 1.5);
  RealField* elastic[] = {&c.lambda1, &c.lambda3, &c.mu1, &c.mu3, &c.mu13,
                          &c.b1,      &c.b2,      &c.m,   &c.d3};
  RealField* mass[] = {&c.p11, &c.p12, &c.p13, &c.p22, &c.p23, &c.p33};
  RealField* friction[] = {&c.f11, &c.f12, &c.f22};
  for (int k = 1; k <= kMaxCells; ++k) {
    for (int j = 1; j <= kMaxCells; ++j) {
      for (RealField* f : elastic) (*f)(j, k) = 1.0e9 * unit(gen);
      for (RealField* f : mass) (*f)(j, k) = 1.0e3 * unit(gen);
      for (RealField* f : friction) (*f)(j, k) = 1.0e7 * unit(gen);
    }
  }
}

// Every entry set to one constant (a homogeneous sample).
inline void fill_uniform(Coefficients& c, double elastic, double mass, double friction) {
  for (int k = 1; k <= kMaxCells; ++k) {
    for (int j = 1; j <= kMaxCells; ++j) {
      for (RealField* f : {&c.lambda1, &c.lambda3, &c.mu1, &c.mu3, &c.mu13, &c.b1, &c.b2,
                           &c.m, &c.d3}) {
        (*f)(j, k) = elastic;
      }
      for (RealField* f : {&c.p11, &c.p12, &c.p13, &c.p22, &c.p23, &c.p33}) (*f)(j, k) = mass;
      for (RealField* f : {&c.f11, &c.f12, &c.f22}) (*f)(j, k) = friction;
    }
  }
}

// The element matrix and load of cell (j, k) from the coefficient set.
inline void cell_system(int j, int k, int nx, int ny, double omega, double h,
                        Coefficients& c, ElementMatrix& a, ElementVector& b) {
  local_sys(j, k, nx, ny, omega, h, c.lambda1(j, k), c.lambda3(j, k), c.mu1(j, k),
            c.mu3(j, k), c.mu13(j, k), c.b1(j, k), c.b2(j, k), c.m(j, k), c.d3(j, k),
            c.p11(j, k), c.p12(j, k), c.p13(j, k), c.p22(j, k), c.p23(j, k),
            c.p33(j, k), c.f11(j, k), c.f12(j, k), c.f22(j, k), a, b);
}

// Numbers the grid into xnod and assembles it, fast or by one-entry insertion.
inline void assemble(bool fast, double omega, int nx, int ny, double h, XnodTable& xnod,
                     Coefficients& c, GlobalSystem& s) {
  global_numbering(nx, ny, xnod);
  auto* run = fast ? &global_sist : &global_sist_insertion;
  run(omega, nx, ny, h, xnod, c.lambda1, c.lambda3, c.mu1, c.mu3, c.mu13, c.b1, c.b2,
      c.m, c.d3, c.p11, c.p12, c.p13, c.p22, c.p23, c.p33, c.f11, c.f12, c.f22, s.avec,
      s.ia, s.ja, s.rhs);
}

// Value stored at (row, column); sets found to false when not stored.
inline cplx stored_value(const GlobalSystem& s, int row, int column, bool& found) {
  for (int p = s.ia(row); p < s.ia(row + 1); ++p) {
    if (s.ja(p) == column) {
      found = true;
      return s.avec(p);
    }
  }
  found = false;
  return cplx(0.0, 0.0);
}

// Exact equality including the sign of zeros and NaN payloads.
inline bool same_bits(const cplx& x, const cplx& y) {
  return std::memcmp(&x, &y, sizeof(cplx)) == 0;
}

}  // namespace tp::femtest
