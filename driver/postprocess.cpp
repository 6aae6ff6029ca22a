#include "driver/postprocess.hpp"

#include <cmath>

namespace tp {

void open_result_files(ResultFiles& f) {
  open_unit(f.vp_anal, "vp_anal.phiw");
  open_unit(f.vp_eq, "vp_eq.phiw");
  open_unit(f.q_eq, "1000_over_q_eq.phiw");
  open_unit(f.q_anal, "1000_over_q_anal.phiw");
  open_unit(f.pressure, "mod_pressure_p33_ice");
  open_unit(f.grad_pressure, "mod_grad_pressure_p33_ice");
  open_unit(f.re_strain1, "real_strain1_map");
  open_unit(f.im_strain1, "imag_strain1_map");
  open_unit(f.re_strain3, "real_strain3_map");
  open_unit(f.im_strain3, "imag_strain3_map");
  open_unit(f.re_stress, "real_stress_map");
  open_unit(f.im_stress, "imag_stress_map");
  open_unit(f.solid3, kSolid3File);
}

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

// The solution at the 20 local unknowns of cell (j, k), Z(1..20).
struct CellSolution {
  cplx v[20];
  const cplx& operator()(int l) const { return v[l - 1]; }
};

CellSolution gather(const UnknownVector& z, const XnodTable& xnod, int e) {
  CellSolution c;
  for (int l = 1; l <= 20; ++l) c.v[l - 1] = z(xnod(e, l));
  return c;
}

// Mean y derivative of a y displacement over the cell, from its lower
// corners (slots lo, lo+1) and upper corners (slots lo+2, lo+3).
cplx y_strain(const CellSolution& Z, int lo, double h) {
  return cdiv(Z(lo + 2) + Z(lo + 3) - Z(lo) - Z(lo + 1), cplx(2.0 * h));
}

// Mean x derivative of an x displacement: right corners 2, 3 minus left 1, 4.
cplx x_strain(const CellSolution& Z, int lo, double h) {
  return cdiv(Z(lo + 1) - Z(lo) + Z(lo + 2) - Z(lo + 3), cplx(2.0 * h));
}

// Divergence of the fluid flux: right minus left plus top minus bottom edge.
cplx flux_divergence(const CellSolution& Z, double h) {
  return cdiv(Z(10) - Z(9) + Z(12) - Z(11), cplx(h));
}

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

void write_results(const SampleState& s, const Results& r, ResultFiles& files) {
  Unit& out = std_out();
  const int nx = s.nx, ny = s.ny;

  // 1. The volume changes and the modulus of the top of solid 1.
  FreeLine(out) << " h " << s.h;
  empty_line(out);
  FreeLine(out) << "deltavol1=" << r.deltavol1;
  empty_line(out);
  empty_line(out);
  FreeLine(out) << "deltavol3=" << r.deltavol3;
  empty_line(out);
  FreeLine(out) << "s1, s3 " << s.s1 << s.s3_matrix;
  empty_line(out);
  empty_line(out);
  FreeLine(out) << "deltavol=" << r.deltavol;
  WaveProperties w = r.w_mstar;
  FreeLine(out) << "from deltavol1 Velocity(m/s) FE = " << w.v;
  FreeLine(out) << "from deltavol1 1000/Q FE        = " << w.q1000;
  FreeLine(out) << "from deltavol1  Q FE            = " << w.q;
  FreeLine(out) << "from deltavol1 Re(p33) FE mstar      = " << r.mstar.real();
  FreeLine(out) << "from deltavol1 Im(p33) FE mstar      = " << r.mstar.imag();
  empty_line(out);

  // 2. The strain and stress maps, one "j k value" line per cell.
  for (int k = 1; k <= ny; ++k) {
    for (int j = 1; j <= nx; ++j) {
      FreeLine(files.re_strain1) << j << k << r.strain1(j, k).real();
      FreeLine(files.im_strain1) << j << k << r.strain1(j, k).imag();
      FreeLine(files.re_strain3) << j << k << r.strain3(j, k).real();
      FreeLine(files.im_strain3) << j << k << r.strain3(j, k).imag();
      FreeLine(files.re_stress) << j << k << r.stress(j, k).real();
      FreeLine(files.im_stress) << j << k << r.stress(j, k).imag();
    }
  }

  // 3. The modulus of the averages.
  FreeLine(out) << " av_strain " << r.av_strain;
  empty_line(out);
  FreeLine(out) << " av_stress " << r.av_stress;
  w = r.w_c33;
  FreeLine(out) << " ****************************************";
  empty_line(out);
  FreeLine(out) << "using averages  Velocity(m/s) FE = " << w.v;
  FreeLine(out) << "using averages 1000/Q FE         = " << w.q1000;
  FreeLine(out) << "using averages Q FE              = " << w.q;
  FreeLine(out) << "using averages Re(c33) FE        = " << r.c33.real();
  FreeLine(out) << "using averages Im(c33) FE        = " << r.c33.imag();
  empty_line(out);
  FreeLine(out) << " ****************************************";

  // 4. The result tables: finite-element values from c33 beside the
  // closed-form fast P wave.
  FreeLine(files.vp_anal) << s.water << s.vp1;
  table_line(files.vp_eq, s.water, w.v);
  table_line(files.q_eq, s.water, w.q1000);
  table_line(files.q_anal, s.freq, s.q1000_p1);

  // 5. The pressure maps; the gradient map numbers the inside cells from 1.
  for (int k = 1; k <= ny; ++k) {
    for (int j = 1; j <= nx; ++j) {
      FreeLine(files.pressure) << j << k << std::abs(r.pres(j, k));
      if (j >= 2 && j <= nx - 1 && k >= 2 && k <= ny - 1) {
        FreeLine(files.grad_pressure) << j - 1 << k - 1 << r.grad_pres_mod(j, k);
      }
    }
  }

  // 6. The solid-3 records.
  table_line(files.solid3, s.freq_fix, r.w_mstar3.q);
  FreeLine(files.solid3) << s.freq_fix << r.mstar3.real() << r.mstar3.imag();
}

}  // namespace tp
