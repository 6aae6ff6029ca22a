// Closed-form element matrix and load of one square cell of the harmonic
// compressibility test. No quadrature: every integral of products of the
// bilinear corner functions, their gradients and the edge functions over the
// square is a fixed fraction, tabulated below.
#include "fem/local_sys.hpp"

#include <initializer_list>

namespace tp {
namespace {

// Local coordinates xi = x/h, eta = y/h on the cell; indices below are
// 0-based (corner a = 0..3 is corner a + 1, edge e = 0..3 is L, R, B, T).
// Corner functions phi1 = (1-xi)(1-eta), phi2 = xi(1-eta), phi3 = xi eta,
// phi4 = (1-xi) eta; kSx, kSy are the signs of their x and y derivatives.
constexpr int kSx[4] = {-1, 1, 1, -1};
constexpr int kSy[4] = {-1, -1, 1, 1};
// Edge functions psiL = (1-xi, 0), psiR = (xi, 0), psiB = (0, 1-eta),
// psiT = (0, eta); div psi_e = kSe[e]/h. L and R point along x, B and T
// along y.
constexpr int kSe[4] = {-1, 1, -1, 1};
constexpr bool kAlongX[4] = {true, true, false, false};

constexpr double kThird = 1.0 / 3.0;
constexpr double kSixth = 1.0 / 6.0;
constexpr double kTwelfth = 1.0 / 12.0;

bool same_row(int a, int c) { return kSy[a] == kSy[c]; }
bool same_column(int a, int c) { return kSx[a] == kSx[c]; }

// ∫ dx phi_a dx phi_c and ∫ dy phi_a dy phi_c (dimensionless).
double sxx(int a, int c) { return kSx[a] * kSx[c] * (same_row(a, c) ? kThird : kSixth); }
double syy(int a, int c) { return kSy[a] * kSy[c] * (same_column(a, c) ? kThird : kSixth); }
// ∫ dx phi_a dy phi_c; the y-x integral is sxy(c, a).
double sxy(int a, int c) { return kSx[a] * kSy[c] * 0.25; }
// ∫ phi_a phi_c / h^2: 1/9 on the diagonal, 1/18 along an edge, 1/36 across.
double mass_nodal(int a, int c) {
  return (same_column(a, c) ? kThird : kSixth) * (same_row(a, c) ? kThird : kSixth);
}
// ∫ psi_e . psi_f / h^2: 1/3 on the diagonal, 1/6 between opposite edges of
// one direction, 0 across directions.
double mass_edge(int e, int f) {
  if (e == f) return kThird;
  return kAlongX[e] == kAlongX[f] ? kSixth : 0.0;
}
// ∫ phi_a times psi_e's own component / h^2: 1/6 if corner a lies on edge e.
double mass_mixed(int a, int e) {
  const bool on_edge = kAlongX[e] ? kSx[a] == kSe[e] : kSy[a] == kSe[e];
  return on_edge ? kSixth : kTwelfth;
}

// The elastic pattern E(lam, mu) of lam div u div u' + 2 mu e(u):e(u'), with
// fric (= ±omega f11 h^2) times the nodal mass on the same-component pairs.
// Fills rows r0+1..r0+8 by columns c0+1..c0+8 (x components first).
void solid_block(ElementMatrix& a, int r0, int c0, double lam, double mu, double fric) {
  const double lam2mu = lam + 2.0 * mu;
  for (int p = 0; p < 4; ++p) {
    for (int q = 0; q < 4; ++q) {
      const double mn = fric * mass_nodal(p, q);
      a(r0 + 1 + p, c0 + 1 + q) = cplx(lam2mu * sxx(p, q) + mu * syy(p, q), mn);
      a(r0 + 1 + p, c0 + 5 + q) = cplx(lam * sxy(p, q) + mu * sxy(q, p), 0.0);
      a(r0 + 5 + p, c0 + 1 + q) = cplx(lam * sxy(q, p) + mu * sxy(p, q), 0.0);
      a(r0 + 5 + p, c0 + 5 + q) = cplx(lam2mu * syy(p, q) + mu * sxx(p, q), mn);
    }
  }
}

// Solid displacement (component y_comp = false for x, corner c) against fluid
// edge e: coupling bb div u div w plus the friction fric (= ∓omega f12 h^2)
// between the solid component and the edge function of the same direction.
cplx solid_fluid(bool y_comp, int c, int e, double bb, double fric) {
  const int s = y_comp ? kSy[c] : kSx[c];
  const double stiff = bb * (s * kSe[e] * 0.5);
  if (kAlongX[e] == y_comp) return cplx(stiff, 0.0);
  return cplx(stiff, fric * mass_mixed(c, e));
}

}  // namespace

// Stiffness and friction of cell (j, k): the blocks on and above the
// diagonal from the tabulated integrals, the rest by symmetry.
void cell_stiffness(const CellGrid& g, const int& j, const int& k, const double& omega,
                    const Coefficients& co, ElementMatrix& a) {
  const double lambda1 = co.lambda1(j, k), lambda3 = co.lambda3(j, k), mu1 = co.mu1(j, k),
               mu3 = co.mu3(j, k), mu13 = co.mu13(j, k), b1 = co.b1(j, k), b2 = co.b2(j, k),
               m = co.m(j, k), d3 = co.d3(j, k);
  const double f11 = co.f11(j, k), f12 = co.f12(j, k), f22 = co.f22(j, k);
  const double h2 = g.h * g.h;
  const double fric11 = omega * f11 * h2;
  const double fric12 = omega * f12 * h2;
  const double fric22 = omega * f22 * h2;
  solid_block(a, 0, 0, lambda1, mu1, fric11);      // solid 1 x solid 1
  solid_block(a, 12, 12, lambda3, mu3, fric11);    // solid 3 x solid 3
  solid_block(a, 0, 12, d3, 0.5 * mu13, -fric11);  // solid 1 x solid 3
  for (int e = 0; e < 4; ++e) {
    for (int f = 0; f < 4; ++f) {  // fluid x fluid
      a(9 + e, 9 + f) = cplx(m * (kSe[e] * kSe[f]), fric22 * mass_edge(e, f));
    }
    for (int c = 0; c < 4; ++c) {
      a(1 + c, 9 + e) = solid_fluid(false, c, e, b1, -fric12);  // solid 1 x fluid
      a(5 + c, 9 + e) = solid_fluid(true, c, e, b1, -fric12);
      a(9 + e, 13 + c) = solid_fluid(false, c, e, b2, fric12);  // fluid x solid 3
      a(9 + e, 17 + c) = solid_fluid(true, c, e, b2, fric12);
    }
  }
  // The blocks below the diagonal blocks were never formed: K is symmetric.
  for (int l = 2; l <= kLocalDofs; ++l) {
    for (int n = 1; n < l; ++n) a(l, n) = a(n, l);
  }
}

// Element matrix and load of cell (j, k).
void local_sys(const CellGrid& g, const int& j, const int& k, const double& omega,
               const Coefficients& co, ElementMatrix& a, ElementVector& b) {
  const int nx = g.nx, ny = g.ny;
  const double h = g.h;

  // 1. A compressibility test is quasi-static: no inertia at all, so the
  // mass coefficients are not read (cell_stiffness leaves them out).

  // 2. The load: a unit stress pressing both solids down on the top side,
  // shared equally by the two top corners (∫ of phi3 or phi4 along the top
  // edge is h/2).
  for (int l = 1; l <= kLocalDofs; ++l) b(l) = cplx(0.0, 0.0);
  if (k == ny) {
    const cplx half_edge(-0.5 * h, 0.0);
    b(7) = half_edge;
    b(8) = half_edge;
    b(19) = half_edge;
    b(20) = half_edge;
  }

  // 3. Fixed unknowns of the cells on the sides of the sample: the solids
  // slide along the left, right and bottom sides without leaving them, and
  // no fluid crosses any side (a sealed sample).
  bool fixed[kLocalDofs + 1] = {};
  auto fix = [&fixed](std::initializer_list<int> locals) {
    for (int l : locals) fixed[l] = true;
  };
  if (j == 1) fix({1, 4, 9, 13, 16});
  if (j == nx) fix({2, 3, 10, 14, 15});
  if (k == 1) fix({5, 6, 11, 17, 18});
  if (k == ny) fix({12});

  // 4. The full matrix K, which step 5 then cuts down to the test's rows.
  cell_stiffness(g, j, k, omega, co, a);

  // 5. Row by row: a fixed row keeps only its diagonal; a free row takes the
  // entries left of its diagonal from the finished rows above.
  for (int l = 1; l <= kLocalDofs; ++l) {
    if (fixed[l]) {
      for (int n = 1; n <= kLocalDofs; ++n) {
        if (n != l) a(l, n) = cplx(0.0, 0.0);
      }
    } else {
      for (int n = 1; n < l; ++n) a(l, n) = a(n, l);
    }
  }
}

}  // namespace tp
