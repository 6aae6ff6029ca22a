#include "planewave/veloc_aten.hpp"

#include <cmath>

#include "common/output.hpp"
#include "common/stop.hpp"
#include "planewave/small_linalg.hpp"

namespace tp {

namespace {

// A plane wave of complex slowness z = k/omega: phase velocity 1/Re z,
// attenuation per wavelength in dB (2 pi 8.685889 |Im z / Re z|), and Q.
struct Wave {
  double v = 0.0, atp = 0.0, q = 0.0, q1000 = 0.0;
};

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
void cell_matrices(int j, int k, const double& omega, const RealField& p11,
                   const RealField& p12, const RealField& p13, const RealField& p22,
                   const RealField& p23, const RealField& p33, const RealField& f11,
                   const RealField& f12, const RealField& f22, const RealField& lambda1,
                   const RealField& lambda3, const RealField& mu1, const RealField& mu3,
                   const RealField& mu13, const RealField& b1, const RealField& b2,
                   const RealField& m, const RealField& d3, Cmat5& e, Cmat5& a) {
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

void print_banner(const double& omega) {
  Unit& out = std_out();
  FreeLine(out) << "********************************************";
  empty_line(out);
  FreeLine(out) << " ANGULAR FREQUENCY :  " << omega << " (HZ)";
  empty_line(out);
  FreeLine(out) << "********************************************";
}

void print_compressional(int jh, int kh, const Wave p[3]) {
  static const char* const kLabel[3][4] = {{"vp1 = ", " atp1 = ", "1000/qp1 ", " Q1 = "},
                                           {"vp2 = ", " atp2 = ", "1000/qp2 ", " Q2 = "},
                                           {"vp3 = ", " atp3 = ", "1000/qp3 ", " Q3 = "}};
  Unit& out = std_out();
  FreeLine(out) << "nx/2,ny/2 " << jh << kh;
  FreeLine(out) << "Compressional wave speeds using eigenvalues";
  FreeLine(out) << "  of matrix S = E^{-1} A associated with   ";
  FreeLine(out) << " rows and  col. 1,3 y 4  of S,  respec.";
  empty_line(out);
  for (int n = 0; n < 3; ++n) {
    FreeLine(out) << kLabel[n][0] << p[n].v << "m/s" << kLabel[n][1] << p[n].atp << kLabel[n][2]
                  << p[n].q1000;
    FreeLine(out) << kLabel[n][3] << p[n].q;
    empty_line(out);
  }
}

void print_shear(int jh, int kh, const Wave s[2]) {
  static const char* const kLabel[2][4] = {{"vs1 = ", " ats1 = ", "1000/qs1 ", " Qs1 = "},
                                           {"vs2 = ", " ats2 = ", "1000/qs2 ", " Qs2 = "}};
  Unit& out = std_out();
  FreeLine(out) << "nx/2,ny/2 " << jh << kh;
  empty_line(out);
  FreeLine(out) << " Shear  wave speeds and att. using eigenvalues";
  FreeLine(out) << "  of matrix S = E^{-1} A col. associated with ";
  FreeLine(out) << " rows and  cols. 2 and 5 of  S,  respec.";
  empty_line(out);
  for (int n = 0; n < 2; ++n) {
    FreeLine(out) << kLabel[n][0] << s[n].v << kLabel[n][1] << s[n].atp << kLabel[n][2]
                  << s[n].q1000;
    FreeLine(out) << kLabel[n][3] << s[n].q;
    empty_line(out);
  }
}

// A velocity that is not positive ends the run (a NaN passes).
void check_velocities(const Wave p[3], const Wave s[2]) {
  static const char* const kMessage[5] = {
      " error, vp1 is negative, vp1 = ", " error, vp2 is negative, vp2 = ",
      " error, vp3 is negative, vp3 = ", " error, vs1 is negative, vs1 = ",
      " error, vs2 is negative, vs2 = "};
  const double v[5] = {p[0].v, p[1].v, p[2].v, s[0].v, s[1].v};
  for (int n = 0; n < 5; ++n) {
    if (v[n] <= 0.0) {
      FreeLine(std_out()) << kMessage[n] << v[n];
      stop(2000 + n);
    }
  }
}

}  // namespace

void veloc_aten(const int& nx, const int& ny, const double& omega, const RealField& p11,
                const RealField& p12, const RealField& p13, const RealField& p22,
                const RealField& p23, const RealField& p33, const RealField& f11,
                const RealField& f12, const RealField& f22, const RealField& lambda1,
                const RealField& lambda3, const RealField& mu1, const RealField& mu3,
                const RealField& mu13, const RealField& b1, const RealField& b2,
                const RealField& m, const RealField& d3, double& vp1, double& vp2, double& vp3,
                double& vs1, double& vs2, double& q1000_p1, double& q1000_p2,
                double& q1000_p3, double& q1000_s1, double& q1000_s2) {
  const int jh = nx / 2, kh = ny / 2;
  Cmat5 e, a, einv, s;
  for (int k = 1; k <= ny; ++k) {
    for (int j = 1; j <= nx; ++j) {
      // 1-3. The plane wave k^2 E U = omega^2 A U: the eigenvalues of
      // S = E^-1 A are the squared slownesses (k/omega)^2.
      cell_matrices(j, k, omega, p11, p12, p13, p22, p23, p33, f11, f12, f22, lambda1, lambda3,
                    mu1, mu3, mu13, b1, b2, m, d3, e, a);
      einv = e;
      c_invert(5, einv);
      for (int t = 1; t <= 5; ++t)
        for (int r = 1; r <= 5; ++r) {
          cplx sum(0.0, 0.0);
          for (int l = 1; l <= 5; ++l) sum += einv(r, l) * a(l, t);
          s(r, t) = sum;
        }

      // 4. Compressional waves from the block of rows and columns 1, 3, 4.
      // The faster of roots 1 and 2 is P1; root 3 is P3 whatever its speed.
      static constexpr int kComp[3] = {1, 3, 4};
      Cmat3 sc;
      for (int c = 1; c <= 3; ++c)
        for (int r = 1; r <= 3; ++r) sc(r, c) = s(kComp[r - 1], kComp[c - 1]);
      Table1<cplx, 3> lam;
      cautov(sc, lam);
      Wave root[3];
      for (int n = 1; n <= 3; ++n) root[n - 1] = wave_of(csqrt(lam(n)));
      Wave p[3];
      if (root[1].v > root[0].v) {
        p[0] = root[1];
        p[1] = root[0];
      } else {
        p[0] = root[0];
        p[1] = root[1];
      }
      p[2] = root[2];

      // 5-6. Banner and the compressional report of the centre cell.
      const bool centre = j == jh && k == kh;
      if (j == 1 && k == 1) print_banner(omega);
      if (centre) print_compressional(jh, kh, p);

      // 7. Shear waves from the 2 by 2 block of rows and columns 2, 5.
      const cplx s22 = s(2, 2), s25 = s(2, 5), s52 = s(5, 2), s55 = s(5, 5);
      const cplx tr = s22 + s55;
      const cplx det = s22 * s55 - s25 * s52;
      const cplx r = csqrt(tr * tr - 4.0 * det);
      const Wave plus = wave_of(csqrt(0.5 * (tr + r)));
      const Wave minus = wave_of(csqrt(0.5 * (tr - r)));
      Wave sh[2];
      if (minus.v > plus.v) {
        sh[0] = minus;
        sh[1] = plus;
      } else {
        sh[0] = plus;
        sh[1] = minus;
      }

      // 8-9. The shear report, then the check of this cell's velocities.
      if (centre) print_shear(jh, kh, sh);
      vp1 = p[0].v;
      vp2 = p[1].v;
      vp3 = p[2].v;
      vs1 = sh[0].v;
      vs2 = sh[1].v;
      q1000_p1 = p[0].q1000;
      q1000_p2 = p[1].q1000;
      q1000_p3 = p[2].q1000;
      q1000_s1 = sh[0].q1000;
      q1000_s2 = sh[1].q1000;
      check_velocities(p, sh);
    }
  }
  empty_line(std_out());
}

}  // namespace tp
