// The first-cell reports of the coefficient routines, the plane-wave report
// and the messages of the checks that stop a run at a cell, in the text and
// order the run prints them.
#include "driver/reports.hpp"

#include <cmath>
#include <cstdio>

#include "common/output.hpp"
#include "common/stop.hpp"

namespace tp {

namespace {

// The g10.5 block of the first-cell report, ending with an empty line; the
// two labels name the routine that prints it.
void print_fraction_block(const CellFractions& f, const char* phi1_label, const char* s1_label) {
  Unit& out = std_out();
  FmtLine(out) << "porosity (water proportion)  =" << g_edit(f.phi, 10, 5);
  empty_line(out);
  FmtLine(out) << phi1_label << g_edit(f.phi1, 10, 5);
  FmtLine(out) << "bulk solid 3 fraction phi3   =" << g_edit(f.phi3, 10, 5);
  FmtLine(out) << s1_label << g_edit(f.s1, 10, 5);
  FmtLine(out) << "solid 3 matrix fraction s3   =" << g_edit(f.s3, 10, 5);
  empty_line(out);
}

// Two lines of asterisks that frame the permafrost fractions in the report.
void print_asterisk_lines() {
  FreeLine(std_out()) << "************************** ";
  FreeLine(std_out()) << "************************** ";
}

void gpa_line(const char* label, const double& pa) { FreeLine(std_out()) << label << pa / 1e9; }

void neg_lambda1_line(const int& j, const int& k, const double& lambda1) {
  FreeLine(std_out()) << " neg. lambda1 j,k   " << j << k << lambda1;
}

// The permafrost fractions of the first cell.
void report_permafrost_fractions(const int& j, const int& k, const CellFractions& f) {
  Unit& out = std_out();
  FreeLine(out) << "ice content s3_prima=" << f.s3_prima;
  FreeLine(out) << "j,k, water saturation  Sw =" << j << k << f.sw;
  print_asterisk_lines();
  FreeLine(out) << "for j, k  = " << j << k;
  FreeLine(out) << "  control (must be = 1) =  " << f.control;
  empty_line(out);
  print_asterisk_lines();
  print_fraction_block(
      f, "bulk solid 1 fraction phi1 en e_mod   =", "solid 1 matrix fraction s1 en e_mod  =");
  empty_line(out);
  empty_line(out);
  print_asterisk_lines();
}

// Average, bulk-type and Gassmann moduli of the first cell, in GPa.
void report_moduli(const CellModuli& c) {
  Unit& out = std_out();
  empty_line(out);
  FreeLine(out) << "Moduli  as in eqs. (A.2),(A.5),(A.6),(A.7)";
  empty_line(out);
  FreeLine(out) << "used in contitutive eqs. (4.6)--(4.8)";
  empty_line(out);
  FreeLine(out) << "alfa1,alfa3 =" << c.alfa1 << c.alfa3;
  empty_line(out);
  empty_line(out);
  gpa_line("Kav(GPa)    = ", c.kav);
  gpa_line("K1(GPa)     = ", c.k1);
  gpa_line("K2(GPa)     = ", c.k2);
  gpa_line("K3(GPa)     = ", c.k3);
  gpa_line("C12(GPa)    = ", c.c12);
  gpa_line("C13(GPa)    = ", c.c13);
  gpa_line("C23(GPa)    = ", c.c23);
  empty_line(out);
  empty_line(out);
  FreeLine(out) << " rigidity modulus mu1,mu3,mu13,muav eqs.  (A.1)";
  gpa_line("xmuav(GPa)  = ", c.muav);
  empty_line(out);
  gpa_line("mu1(GPa)    = ", c.mu1);
  gpa_line("mu3(GPa)    = ", c.mu3);
  gpa_line("mu13(GPA)   = ", c.mu13);
  empty_line(out);
  empty_line(out);
  FreeLine(out) << "  Gassmann moduli  eqs. (A.7)";
  empty_line(out);
  gpa_line("KG1(GPa)    = ", c.kg1);
  gpa_line("KG3(GPa)    = ", c.kg3);
  gpa_line("KG(GPa)     = ", c.kg);
}

// The constitutive coefficients of the first cell, in GPa, with the
// three-dimensional forms beside the plane-strain ones.
void report_coefficients(const int& j, const int& k, const CellModuli& c) {
  Unit& out = std_out();
  FreeLine(out) << " element j,k = " << j << k;
  empty_line(out);
  empty_line(out);
  FreeLine(out) << "Modulos elasticos notacion Varnok et al. JASA 04";
  FreeLine(out) << "(en Pa)";
  empty_line(out);
  gpa_line("H1=K_{G1}(GPa)     = ", c.h1);
  gpa_line("H3=K_{G3}(GPa)     = ", c.h3);
  gpa_line("B1(GPa)            = ", c.bb1);
  gpa_line("B2(GPa)            = ", c.bb2);
  gpa_line("B3(GPa)            = ", c.bb3);
  gpa_line("M=k_av(Pa)        = ", c.kav);  // the label says Pa; the value is in GPa
  gpa_line("xlambda1(GPa) (2D) = ", c.lambda1);
  gpa_line("xlambda3(GPa) (2D) = ", c.lambda3);
  gpa_line("d3(GPa) (2D)       = ", c.d3);
  gpa_line("xlambda1(GPa) (3D) = ", c.h1 - 2.0 * c.mu1 / 3.0);
  gpa_line("xlambda3(GPa) (3D) = ", c.h3 - 2.0 * c.mu3 / 3.0);
  gpa_line("d3(GPa) (3D)       = ", c.bb3 - c.mu13 / 3.0);
  gpa_line("mu1(GPa)           = ", c.mu1);
  gpa_line("mu3(GPa)           = ", c.mu3);
  gpa_line("mu13(GPA)          = ", c.mu13);
  empty_line(out);
}

void report_fractions(const int& key_model, const CellFractions& f) {
  Unit& out = std_out();
  if (key_model == 0) {
    FreeLine(out) << "ice content s3_prima=" << f.s3_prima;
    FreeLine(out) << " water saturation  Sw=" << f.sw;
    print_asterisk_lines();
    empty_line(out);
    FreeLine(out) << "  control (must be = 1) =  " << f.control;
    empty_line(out);
    print_asterisk_lines();
  }
  print_fraction_block(f, "bulk solid 1 fraction phi1 en mass_visco  =",
                       "solid 1 matrix fraction s1 en mass_visco  =");
  if (key_model == 0) {
    empty_line(out);
    empty_line(out);
    print_asterisk_lines();
  }
}

void density_line(const char* label, const double& ro) {
  Unit& out = std_out();
  empty_line(out);
  FmtLine(out) << " " << label << e_edit(ro, 20, 10);
}

void report_densities(const LayerData& l, const CellMasses& c) {
  empty_line(std_out());
  FreeLine(std_out()) << " mass densities for each phase";
  density_line(" ro1(Kgr/m^3)     =", l.ro1);
  density_line(" ro2(Kgr/m^3)     =", l.ro2);
  density_line(" ro3(Kgr/m^3)     =", l.ro3);
  density_line(" ro(Kgr/m^3)      =", c.ro);
  density_line(" ro_prim(Kgr/m^3) =", c.ro_prim);
}

void report_masses(const CellMasses& c) {
  Unit& out = std_out();
  FreeLine(out) << "mass coef.";
  FreeLine(out) << "p11(Kgr/m^3) = " << c.p11;
  FreeLine(out) << "p12(Kgr/m^3) = " << c.p12;
  FreeLine(out) << "p13(Kgr/m^3) = " << c.p13;
  FreeLine(out) << "p22(Kgr/m^3) = " << c.p22;
  FreeLine(out) << "p23(Kgr/m^3) = " << c.p23;
  FreeLine(out) << "p33(Kgr/m^3) = " << c.p33;
}

void report_permeabilities(const int& key_model, const CellMasses& c) {
  Unit& out = std_out();
  empty_line(out);
  if (key_model == 0) {
    FreeLine(out) << "permeabilities for the permafrost model (m^2)";
    FreeLine(out) << "capa_1=," << c.capa_1;
    FreeLine(out) << "capa_3=," << c.capa_3;
    FreeLine(out) << "capa=," << c.capa;
  } else {
    FreeLine(out) << " permeabilities for the shaley-sand model (m^2)";
    FreeLine(out) << "capa_1 = " << c.capa_1;
    FreeLine(out) << "capa_3 = " << c.capa_3;
    FreeLine(out) << "capa   = " << c.capa;
  }
  FreeLine(out) << "coef_b12, coef_b23 " << c.coef_b12 << c.coef_b23;
}

// The friction of the first cell and the determinants of its matrices; the
// report ends at the first negative one, where the run stops.
void report_friction(const double& b13, const CellMasses& c) {
  Unit& out = std_out();
  FreeLine(out) << "f11      =" << c.f11loc;
  FreeLine(out) << "f12      =" << c.f12;
  FreeLine(out) << "f22      =" << c.f22;
  const double control1 = friction_control1(c);
  FreeLine(out) << "control1 (must be  positive)  =" << control1;
  if (control1 < 0.0) return;  // the run stops 99999 here
  FreeLine(out) << "Coef. de friccion ";
  FreeLine(out) << "coef_b13  " << b13;
  FreeLine(out) << "b11  = " << c.f11;
  FreeLine(out) << "b12  = " << c.f12;
  FreeLine(out) << "b22  = " << c.f22;
  const double control2 = friction_control2(c);
  FreeLine(out) << "control2 (must be  positive)  =" << control2;
  if (control2 < 0.0) return;  // the run stops 99998 here
  empty_line(out);
}

void print_banner(const double& omega) {
  Unit& out = std_out();
  FreeLine(out) << "********************************************";
  empty_line(out);
  FreeLine(out) << " ANGULAR FREQUENCY :  " << omega << " (HZ)";
  empty_line(out);
  FreeLine(out) << "********************************************";
}

void print_compressional(int jh, int kh, const Wave* p) {
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

void print_shear(int jh, int kh, const Wave* s) {
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

}  // namespace

void print_elastic_report(const int& key_model, const ElasticReport& r) {
  if (r.reached >= 1 && key_model == 0) report_permafrost_fractions(1, 1, r.f);
  if (r.reached < 2) return;
  if (key_model != 0) FmtLine(std_out()) << " output of  Krief s model  eqs. (A.8)-(A.9)";
  report_moduli(r.c);
  if (r.c.lambda1 <= 0.0) neg_lambda1_line(1, 1, r.c.lambda1);
  report_coefficients(1, 1, r.c);
}

void print_negative_lambda1(const CellGrid& g, const RealField& lambda1, const int& cells) {
  for (int n = 2; n <= cells; ++n) {
    const int j = (n - 1) / g.ny + 1, k = (n - 1) % g.ny + 1;
    if (lambda1(j, k) <= 0.0) neg_lambda1_line(j, k, lambda1(j, k));
  }
}

void print_mass_report(const int& key_model, const MassReport& r) {
  if (r.reached >= 1) report_fractions(key_model, r.f);
  if (r.reached < 2) return;
  report_densities(r.l, r.c);
  report_masses(r.c);
  report_permeabilities(key_model, r.c);
  report_friction(r.l.b13, r.c);
}

void print_wave_report(const CellGrid& g, const double& omega, const WaveReport& r) {
  print_banner(omega);
  if (!r.centre_reached) return;
  print_compressional(g.nx / 2, g.ny / 2, r.centre.p);
  print_shear(g.nx / 2, g.ny / 2, r.centre.s);
}

void warn_diffusion(const DiffusionScale& s, const CellGrid& g, const double& omega, Warnings& w) {
  // The grid that would resolve it, or how far beyond any grid it lies.
  char grid[160];
  if (s.beyond) {
    std::snprintf(grid, sizeof grid,
                  "no grid a run can hold would resolve it (more than %d cells along a side)",
                  kMaxGridCells);
  } else {
    std::snprintf(grid, sizeof grid, "%lld by %lld cells would resolve it",
                  static_cast<long long>(s.nx_needed), static_cast<long long>(s.ny_needed));
  }
  add_warning(w,
              "the fluid-pressure diffusion length (decay of the slow P wave) is %.3g m in cell "
              "(%d, %d) at %.6g Hz, %.2g cells of %.3g m across; below %g cells the boundary "
              "layers of wave-induced flow are not resolved and the moduli's 1000/Q may be far "
              "from converged: %s (threephase converge measures it)",
              s.length, s.j, s.k, omega / 6.283185307179586, s.cells_across, g.h, s.threshold,
              grid);
}

int cells_done(const CellGrid& g, const CellFailure& fail) {
  if (!fail) return g.nx * g.ny;
  const int before = (fail.j - 1) * g.ny + fail.k - 1;
  const bool stored =
      fail.code == 45687 || fail.code == 45688 || fail.code == 99999 || fail.code == 99998;
  return stored ? before + 1 : before;
}

[[noreturn]] void stop_at_cell(const CellFailure& fail) {
  Unit& out = std_out();
  static const char* const kVelocity[5] = {
      " error, vp1 is negative, vp1 = ", " error, vp2 is negative, vp2 = ",
      " error, vp3 is negative, vp3 = ", " error, vs1 is negative, vs1 = ",
      " error, vs2 is negative, vs2 = "};
  if (fail.code == kZeroFraction) {
    char where[96];
    std::snprintf(where, sizeof where, "%s, cell (j, k) = (%d, %d)", fail.routine, fail.j, fail.k);
    char what[160];
    std::snprintf(what, sizeof what, "the %s is zero; the coefficients of the cell divide by it",
                  fail.what);
    input_error(where, what);
  }
  if (fail.code == kNonFinite) {
    char where[120];
    if (fail.j > 0) {
      std::snprintf(where, sizeof where, "%s, cell (j, k) = (%d, %d)", fail.routine, fail.j,
                    fail.k);
    } else {
      std::snprintf(where, sizeof where, "%s", fail.routine);
    }
    char value[32];
    std::snprintf(value, sizeof value, "%g", fail.value);
    if (std::isnan(fail.value)) std::snprintf(value, sizeof value, "NaN");
    char what[240];
    std::snprintf(what, sizeof what,
                  "%s = %s is not a finite number: the deck's values overflow the arithmetic "
                  "(look for a value far outside its quantity's span or in other units)",
                  fail.what, value);
    input_error(where, what);
  }
  if (fail.code == 12345) neg_lambda1_line(fail.j, fail.k, fail.value);
  if (fail.code == 45687) {
    FreeLine(out) << "j,k, strain energy not positive definite " << fail.j << fail.k;
  }
  if (fail.code == 45688) {
    FreeLine(out) << " j,k,strain energy not positive definite" << fail.j << fail.k;
  }
  if (fail.code >= 2000 && fail.code <= 2004) {
    FreeLine(out) << kVelocity[fail.code - 2000] << fail.value;
  }
  stop(fail.code);
}

}  // namespace tp
