#include "planewave/veloc_aten.hpp"

#include <cmath>
#include <cstring>
#include <limits>

#include "planewave/small_linalg.hpp"

namespace tp {

namespace {

// A plane wave of complex slowness z = k/omega.
Wave wave_of(const cplx& z) {
  Wave w;
  w.v = 1.0 / z.real();
  w.atp = 54.57505014459279 * std::fabs(z.imag() / z.real());
  w.q = std::fabs(z.real() / z.imag());
  w.q1000 = 1000.0 / w.q;
  return w;
}

// The elastic matrix E and the mass-and-friction matrix A of cell (j, k).
// Positions 1, 3, 4 are the compressional motions of solid 1, fluid and
// solid 3; positions 2 and 5 the shear motions of solid 1 and solid 3, in
// which the fluid does not move by itself and so enters A only through the
// Schur complement of its own entry T22.
void cell_matrices(int j, int k, const double& omega, const Coefficients& co, Cmat5& e, Cmat5& a) {
  const RealField &p11 = co.p11, &p12 = co.p12, &p13 = co.p13, &p22 = co.p22, &p23 = co.p23,
                  &p33 = co.p33, &f11 = co.f11, &f12 = co.f12, &f22 = co.f22;
  const RealField &lambda1 = co.lambda1, &lambda3 = co.lambda3, &mu1 = co.mu1, &mu3 = co.mu3,
                  &mu13 = co.mu13, &b1 = co.b1, &b2 = co.b2, &m = co.m, &d3 = co.d3;
  const cplx w(omega, 0.0);
  // Friction over frequency, as i f / omega.
  const cplx g11 = cdiv(cplx(0.0, f11(j, k)), w);
  const cplx g12 = cdiv(cplx(0.0, f12(j, k)), w);
  const cplx g22 = cdiv(cplx(0.0, f22(j, k)), w);
  const cplx t11 = p11(j, k) - g11;
  const cplx t12 = p12(j, k) + g12;
  const cplx t13 = p13(j, k) + g11;
  const cplx t22 = p22(j, k) - g22;
  const cplx t23 = p23(j, k) - g12;
  const cplx t33 = p33(j, k) - g11;

  for (int c = 1; c <= 5; ++c)
    for (int r = 1; r <= 5; ++r) {
      e(r, c) = 0.0;
      a(r, c) = 0.0;
    }
  e(1, 1) = lambda1(j, k) + 2.0 * mu1(j, k);
  e(1, 3) = e(3, 1) = b1(j, k);
  e(1, 4) = e(4, 1) = mu13(j, k) + d3(j, k);
  e(2, 2) = mu1(j, k);
  e(2, 5) = e(5, 2) = mu13(j, k) / 2.0;
  e(3, 3) = m(j, k);
  e(3, 4) = e(4, 3) = b2(j, k);
  e(4, 4) = lambda3(j, k) + 2.0 * mu3(j, k);
  e(5, 5) = mu3(j, k);

  a(1, 1) = t11;
  a(1, 3) = a(3, 1) = t12;
  a(1, 4) = a(4, 1) = t13;
  a(3, 3) = t22;
  a(3, 4) = a(4, 3) = t23;
  a(4, 4) = t33;
  a(2, 2) = t11 - cdiv(t12 * t12, t22);
  a(2, 5) = a(5, 2) = t13 - cdiv(t12 * t23, t22);
  a(5, 5) = t33 - cdiv(t23 * t23, t22);
}

// The first velocity that is not positive (a NaN passes): 0, or 2000 + its
// index in vp1, vp2, vp3, vs1, vs2, with the velocity.
int velocity_check(const CellWaves& w, double& v_bad) {
  const double v[5] = {w.p[0].v, w.p[1].v, w.p[2].v, w.s[0].v, w.s[1].v};
  for (int n = 0; n < 5; ++n) {
    if (v[n] <= 0.0) {
      v_bad = v[n];
      return 2000 + n;
    }
  }
  return 0;
}

// The decay length 1/(omega |Im z|) of the compressional root of largest
// Re z (least phase velocity) of cell (j, k), into the report.
void record_slow_decay(int j, int k, const double& omega, const cplx z[3], WaveReport& report) {
  int slow = 0;
  for (int n = 1; n < 3; ++n)
    if (z[n].real() > z[slow].real()) slow = n;
  const double decay = 1.0 / (omega * std::fabs(z[slow].imag()));
  if (report.slow_p_decay != nullptr) (*report.slow_p_decay)(j, k) = decay;
  if (decay < report.shortest_decay) {
    report.shortest_decay = decay;
    report.j_shortest = j;
    report.k_shortest = k;
  }
}

// The coefficients of cell (j, k) that its slownesses depend on (with the
// frequency, the same for every cell). Cells with the same bits give the
// same slownesses bit for bit.
struct CellInputs {
  double v[18];
};

CellInputs cell_inputs(int j, int k, const Coefficients& co) {
  return {{co.p11(j, k), co.p12(j, k), co.p13(j, k), co.p22(j, k), co.p23(j, k), co.p33(j, k),
           co.f11(j, k), co.f12(j, k), co.f22(j, k), co.lambda1(j, k), co.lambda3(j, k),
           co.mu1(j, k), co.mu3(j, k), co.mu13(j, k), co.b1(j, k), co.b2(j, k), co.m(j, k),
           co.d3(j, k)}};
}

bool same_bits(const CellInputs& x, const CellInputs& y) {
  return std::memcmp(x.v, y.v, sizeof x.v) == 0;
}

}  // namespace

// The plane wave k^2 E U = omega^2 A U: the eigenvalues of S = E^-1 A are
// the squared slownesses (k/omega)^2; compressional from the block of rows
// and columns 1, 3, 4, shear from the 2 by 2 block of rows and columns 2, 5.
void cell_slownesses(int j, int k, const double& omega, const Coefficients& co, cplx zp[3],
                     cplx zs[2]) {
  Cmat5 e, a, einv, s;
  cell_matrices(j, k, omega, co, e, a);
  einv = e;
  c_invert(5, einv);
  for (int t = 1; t <= 5; ++t)
    for (int r = 1; r <= 5; ++r) {
      cplx sum(0.0, 0.0);
      for (int l = 1; l <= 5; ++l) sum += einv(r, l) * a(l, t);
      s(r, t) = sum;
    }

  static constexpr int kComp[3] = {1, 3, 4};
  Cmat3 sc;
  for (int c = 1; c <= 3; ++c)
    for (int r = 1; r <= 3; ++r) sc(r, c) = s(kComp[r - 1], kComp[c - 1]);
  Table1<cplx, 3> lam;
  cautov(sc, lam);
  for (int n = 1; n <= 3; ++n) zp[n - 1] = csqrt(lam(n));

  const cplx s22 = s(2, 2), s25 = s(2, 5), s52 = s(5, 2), s55 = s(5, 5);
  const cplx tr = s22 + s55;
  const cplx det = s22 * s55 - s25 * s52;
  const cplx r = csqrt(tr * tr - 4.0 * det);
  zs[0] = csqrt(0.5 * (tr + r));
  zs[1] = csqrt(0.5 * (tr - r));
}

CellFailure veloc_aten(const CellGrid& g, const double& omega, const Coefficients& co,
                       WaveReport& report) {
  const int nx = g.nx, ny = g.ny;
  const int jh = nx / 2, kh = ny / 2;
  report.centre_reached = false;
  report.shortest_decay = std::numeric_limits<double>::infinity();
  report.j_shortest = report.k_shortest = 0;
  report.labels = LabelSurvey{};
  // A cell with the coefficients of the cell before (all of a uniform
  // sample, most of a layered one) keeps its slownesses.
  cplx zp[3], zs[2];
  CellInputs solved{};
  bool have = false;
  for (int k = 1; k <= ny; ++k) {
    for (int j = 1; j <= nx; ++j) {
      // 1-4. The slownesses of the cell. The faster of compressional roots
      // 1 and 2 is P1; root 3 is P3 whatever its speed.
      const CellInputs in = cell_inputs(j, k, co);
      if (!have || !same_bits(in, solved)) {
        cell_slownesses(j, k, omega, co, zp, zs);
        solved = in;
        have = true;
      }
      Wave root[3];
      for (int n = 1; n <= 3; ++n) root[n - 1] = wave_of(zp[n - 1]);
      record_slow_decay(j, k, omega, zp, report);
      CellWaves w;
      Wave* p = w.p;
      if (root[1].v > root[0].v) {
        p[0] = root[1];
        p[1] = root[0];
      } else {
        p[0] = root[0];
        p[1] = root[1];
      }
      p[2] = root[2];
      note_p_labels(j, k, p[0].v, p[1].v, p[2].v, report.labels);

      // 5. The faster shear root is S1.
      const Wave plus = wave_of(zs[0]);
      const Wave minus = wave_of(zs[1]);
      Wave* sh = w.s;
      if (minus.v > plus.v) {
        sh[0] = minus;
        sh[1] = plus;
      } else {
        sh[0] = plus;
        sh[1] = minus;
      }

      // 6. The waves of the centre cell for the report, of the last cell
      // for the caller, then the check of this cell's velocities.
      if (j == jh && k == kh) {
        report.centre = w;
        report.centre_reached = true;
      }
      report.last = w;
      CellFailure fail{0, j, k, 0.0, nullptr, "veloc_aten"};
      fail.code = velocity_check(w, fail.value);
      if (fail) return fail;
    }
  }
  return CellFailure{};
}

}  // namespace tp
