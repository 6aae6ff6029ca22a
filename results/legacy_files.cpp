#include "results/legacy_files.hpp"

#include <cmath>

namespace tp {

void open_result_files(ResultFiles& f) {
  for (const ResultFileInfo& file : kResultFileTable) {
    if (file.member != nullptr) open_unit(f.*file.member, file.file);
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
