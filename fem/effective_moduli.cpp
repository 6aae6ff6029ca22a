#include "fem/effective_moduli.hpp"

#include <cmath>

#include "fem/cell_strains.hpp"

namespace tp {

bool size_results(Results& r, int nx, int ny) {
  bool ok = r.strain1.resize(nx, ny);
  ok = r.strain3.resize(nx, ny) && ok;
  ok = r.stress.resize(nx, ny) && ok;
  ok = r.pres.resize(nx, ny) && ok;
  ok = r.derx_pres.resize(nx, ny) && ok;
  ok = r.dery_pres.resize(nx, ny) && ok;
  ok = r.slow_p_decay.resize(nx, ny) && ok;
  return r.grad_pres_mod.resize(nx, ny) && ok;
}

WaveProperties wave_properties(const cplx& modulus, const double& rho) {
  WaveProperties w;
  w.q = modulus.real() / modulus.imag();
  w.q1000 = 1000.0 / w.q;
  const cplx slowness = cdiv(cplx(1.0), csqrt(cdiv(modulus, cplx(rho))));
  w.v = 1.0 / slowness.real();
  return w;
}

namespace {

// The effective modulus of a top volume change: the unit load over the
// sample area A gives M = -A / deltavol.
cplx modulus_of(const cplx& deltavol, double area) {
  return -cdiv(cplx(1.0), cdiv(deltavol, cplx(area)));
}

}  // namespace

void post_process(const System& sys, const Coefficients& co, const SampleState& s, Results& r) {
  const UnknownVector& z = sys.z;
  const XnodTable& xnod = sys.xnod;
  const int nx = s.nx, ny = s.ny;
  const double h = s.h;
  const double area = nx * s.domain_size * h;

  // 1. Volume changes of the top side: vertical displacement of the upper
  // right corner (slot 7 for solid 1, 19 for solid 3) of every top cell.
  cplx sum1(0.0), sum3(0.0);
  for (int j = 1; j <= nx; ++j) {
    const int e = (ny - 1) * nx + j;
    sum1 += z(xnod(e, 7));
    sum3 += z(xnod(e, 19));
  }
  r.deltavol1 = h * sum1;
  r.deltavol3 = h * sum3;
  r.deltavol = s.s1 * r.deltavol1 + s.s3_matrix * r.deltavol3;

  // 2. The modulus seen by the top of solid 1. Both solids carry the load,
  // and friction moves energy between them, so its Q may be negative.
  r.mstar = modulus_of(r.deltavol1, area);
  r.w_mstar = wave_properties(r.mstar, s.rob_med);

  // 3. Strain and stress of every cell, with their sums.
  cplx strain_sum(0.0), stress_sum(0.0);
  for (int k = 1; k <= ny; ++k) {
    for (int j = 1; j <= nx; ++j) {
      const CellSolution Z = gather(z, xnod, (k - 1) * nx + j);
      const cplx strain1 = y_strain(Z, 5, h);
      const cplx strain3 = y_strain(Z, 17, h);
      const cplx divw = flux_divergence(Z, h);
      const cplx stress = (co.lambda1(j, k) + 2.0 * co.mu1(j, k)) * strain1 + co.d3(j, k) * divw +
                          co.mu13(j, k) * strain3;
      r.strain1(j, k) = strain1;
      r.strain3(j, k) = strain3;
      r.stress(j, k) = stress;
      strain_sum += strain1;
      stress_sum += stress;
    }
  }

  // 4. The modulus of the averaged stress over the averaged strain.
  const cplx cells_n(static_cast<double>(nx * ny));
  r.av_strain = cdiv(strain_sum, cells_n);
  r.av_stress = cdiv(stress_sum, cells_n);
  r.c33 = cdiv(r.av_stress, r.av_strain);
  r.w_c33 = wave_properties(r.c33, s.rob_med);

  // 5. The modulus seen by the top of solid 3.
  r.mstar3 = modulus_of(r.deltavol3, area);
  r.w_mstar3 = wave_properties(r.mstar3, s.rob_med);

  // 6. Fluid pressure of every cell and, inside the sample, the size of its
  // gradient from backward differences (the real part of the x difference
  // with the imaginary part of the y difference).
  for (int k = 1; k <= ny; ++k) {
    for (int j = 1; j <= nx; ++j) {
      const CellSolution Z = gather(z, xnod, (k - 1) * nx + j);
      const cplx theta1 = x_strain(Z, 1, h) + y_strain(Z, 5, h);
      const cplx theta3 = x_strain(Z, 13, h) + y_strain(Z, 17, h);
      const cplx divw = flux_divergence(Z, h);
      cplx& p = r.pres(j, k);
      p = -(co.b1(j, k) * theta1 + co.b2(j, k) * theta3 + co.m(j, k) * divw);
      if (j >= 2 && j <= nx - 1 && k >= 2 && k <= ny - 1) {
        r.derx_pres(j, k) = cdiv(p - r.pres(j - 1, k), cplx(h));
        r.dery_pres(j, k) = cdiv(p - r.pres(j, k - 1), cplx(h));
        const double gx = r.derx_pres(j, k).real();
        const double gy = r.dery_pres(j, k).imag();
        r.grad_pres_mod(j, k) = std::sqrt(gx * gx + gy * gy);
      }
    }
  }
}

}  // namespace tp
