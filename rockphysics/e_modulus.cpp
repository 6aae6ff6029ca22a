// Elastic coefficients of a porous rock made of a solid frame (solid 1), pore
// water and a second solid (ice or shale, solid 3). Each solid forms a dry
// frame of its own (Km1, mum1 and Km3, mum3); the pore water couples them
// through the average bulk modulus Kav, and through its viscosity it adds a
// relaxed shear coupling muav. The coefficients follow from the Gassmann-type
// moduli of the two frames:
//   lambda1 = H1 - mu1, lambda3 = H3 - mu3, d3 = B3 - mu13/2 (plane strain),
//   b1 = B1, b2 = B2, m = Kav.
// All moduli are in Pa; only muav depends on the frequency.
#include "rockphysics/e_modulus.hpp"

#include <cmath>

#include "common/output.hpp"
#include "common/stop.hpp"
#include "rockphysics/fractions.hpp"
#include "rockphysics/kt.hpp"

namespace tp {

namespace {

// The coefficient maps, one "j k value" line per cell, and the reference
// file; opened in the first case, they stay open for the rest of the run.
constexpr int kMaps = 9;
const char* const kMapNames[kMaps] = {"xmu1_gnu",     "xmu3_gnu", "xmu13_gnu",
                                      "xlambda1_gnu", "xlambda3_gnu", "b1_gnu",
                                      "b2_gnu",       "xm_gnu",   "d3_gnu"};
Unit maps[kMaps];
LineSource reference;

constexpr int kReferenceValues = 10;
const char* const kReferenceWhat[kReferenceValues] = {
    "the leading value",         "the reference mu1",     "the reference mu3",
    "the reference mu13",        "the reference lambda1", "the reference lambda3",
    "the reference b1",          "the reference b2",      "the reference m",
    "the reference d3"};

// Grain moduli of the two solids of a layer.
struct Grains {
  double ks1, mus1, ks3, mus3;
};

// Every modulus of one cell, kept for the report of the first cell.
struct CellModuli {
  double km1, mum1, km3, mum3;      // dry frames
  double kav, g1, g3, muav;         // average moduli
  double mu1, mu3, mu13;            // shear moduli with the fluid coupling
  double alfa1, alfa3, kg1, kg3, kg;
  double k1, k2, k3, c12, c13, c23;
  double h1, h3, bb1, bb2, bb3;
  double lambda1, lambda3, d3;
};

// Permafrost frames: Kuster-Toksoz frames of grains with empty pores, scaled
// by a percolation law in the ice share of the pores (exponent 3.8). The
// grain frame tends to 13.1 GPa in shear when there is no ice; its bulk
// modulus is 14.4 GPa whatever the cell.
void permafrost_frames(const CellFractions& f, const Grains& g, const double& ak_air,
                       const double& xmu_air, CellModuli& c) {
  const double c1 = 1.0 - f.phi1;
  double kkt1 = 0.0;  // not used: the grain frame keeps its fixed bulk modulus
  double mukt1 = 0.0;
  kt(g.ks1, g.mus1, ak_air, xmu_air, c1, kkt1, mukt1);
  double kkt3 = 0.0;
  double mukt3 = 0.0;
  kt(g.ks3, g.mus3, ak_air, xmu_air, f.phi1, kkt3, mukt3);
  const double r = std::pow(f.phi3 / (1.0 - f.phi1), 3.8);
  c.km1 = 1.44e10;
  c.mum1 = (mukt1 - 1.31e10) * r + 1.31e10;
  c.km3 = r * kkt3;
  c.mum3 = r * mukt3;
}

// Shaley-sand frames after Krief: the dry bulk modulus falls with porosity as
// (1 - phi)^(1 + 2/(1 - phi)); the sand frame loses shear stiffness where
// sand and shale mix (factor exp(-sqrt(s1 s3))).
void krief_frames(const CellFractions& f, const Grains& g, CellModuli& c) {
  const double solid = 1.0 - f.phi;
  const double krief = std::pow(solid, 1.0 + 2.0 / solid);
  c.km1 = f.s1 * g.ks1 * krief;
  c.km3 = f.s3 * g.ks3 * krief;
  c.mum1 = std::exp(-std::sqrt(f.s1 * f.s3)) * c.km1 * g.mus1 / g.ks1;
  c.mum3 = c.km3 * g.mus3 / g.ks3;
}

// Average moduli, fluid coupling and the constitutive coefficients of a cell
// whose frames are known. eta <= 0 means no viscous shear coupling.
void coupled_moduli(const CellFractions& f, const Grains& g, const double& kf, const double& eta,
                    const double& omega, CellModuli& c) {
  const double phi = f.phi;
  const double phi1 = f.phi1;
  const double phi3 = f.phi3;
  const double s1 = f.s1;
  const double s3 = f.s3;
  c.kav = 1.0 / ((phi1 / g.ks1) * (1.0 - c.km1 / (phi1 * g.ks1)) + phi / kf +
                 (phi3 / g.ks3) * (1.0 - c.km3 / (phi3 * g.ks3)));
  c.g1 = c.mum1 / (phi1 * g.mus1);
  c.g3 = c.mum3 / (phi3 * g.mus3);
  if (eta > 0.0) {
    c.muav = 1.0 / ((phi1 / g.mus1) * (1.0 - c.g1) + (phi3 / g.mus3) * (1.0 - c.g3) +
                    phi / (eta * 2.0 * omega));
  } else {
    c.muav = 0.0;
  }
  const double a1 = phi1 * (1.0 - c.g1);
  const double a3 = phi3 * (1.0 - c.g3);
  c.mu1 = (a1 * a1) * c.muav + c.mum1;
  c.mu3 = (a3 * a3) * c.muav + c.mum3;
  c.mu13 = (1.0 - c.g3) * (1.0 - c.g1) * phi1 * phi3 * c.muav;

  const double kav = c.kav;
  c.alfa1 = s1 - c.km1 / g.ks1;
  c.alfa3 = s3 - c.km3 / g.ks3;
  c.kg1 = (c.alfa1 * c.alfa1) * kav + c.km1;
  c.kg3 = (c.alfa3 * c.alfa3) * kav + c.km3;
  const double alfa = c.alfa1 + c.alfa3;
  c.kg = (alfa * alfa) * kav + c.km1 + c.km3;
  const double s1phi = s1 * phi;
  const double s3phi = s3 * phi;
  c.k1 = c.kg1 - 2.0 * c.alfa1 * s1 * phi * kav + (s1phi * s1phi) * kav;
  c.k3 = c.kg3 - 2.0 * c.alfa3 * s3 * phi * kav + (s3phi * s3phi) * kav;
  c.k2 = (phi * phi) * kav;
  c.c12 = phi * kav * (c.alfa1 - s1 * phi);
  c.c23 = phi * kav * (c.alfa3 - s3 * phi);
  c.c13 = (c.alfa3 - s3 * phi) * (c.alfa1 - s1 * phi) * kav;

  // Through K1 ... C23 these reduce to H1 = KG1, H3 = KG3, B1 = alfa1 Kav,
  // B2 = alfa3 Kav and B3 = alfa1 alfa3 Kav, to rounding.
  c.h1 = (s1 * s1) * c.k2 + c.k1 + 2.0 * s1 * c.c12;
  c.h3 = (s3 * s3) * c.k2 + c.k3 + 2.0 * s3 * c.c23;
  c.bb1 = (s1 * c.k2 + c.c12) / phi;
  c.bb2 = (s3 * c.k2 + c.c23) / phi;
  c.bb3 = s3 * c.c12 + c.c13 + s1 * c.c23 + s1 * s3 * c.k2;
  c.lambda1 = c.h1 - c.mu1;
  c.lambda3 = c.h3 - c.mu3;
  c.d3 = c.bb3 - c.mu13 / 2.0;
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
  print_fraction_block(f, "bulk solid 1 fraction phi1 en e_mod   =",
                       "solid 1 matrix fraction s1 en e_mod  =");
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

// The strain energy of the cell must be positive definite, or the medium
// would release energy under some deformation.
void check_strain_energy(const int& j, const int& k, const CellModuli& c) {
  const double cross = c.mu13 + c.d3;
  if ((2.0 * c.mu3 + c.lambda3) * (2.0 * c.mu1 + c.lambda1) - cross * cross <= 0.0) {
    FreeLine(std_out()) << "j,k, strain energy not positive definite " << j << k;
    stop(45687);
  }
  if (c.mu3 * c.mu1 - (c.mu13 * c.mu13) / 4.0 <= 0.0) {
    FreeLine(std_out()) << " j,k,strain energy not positive definite" << j << k;
    stop(45688);
  }
}

}  // namespace

void e_modulus(const int& nx, const int& ny, [[maybe_unused]] const int& nmat,
               const IntField& matnum, const RealLayers& phi_a, const RealField& phi,
               const RealLayers& s3, const RealLayers& akf, const RealLayers& eta,
               const double& omega, const RealLayers& ak_air, const RealLayers& xmu_air,
               const RealLayers& ak_s3, const RealLayers& xmu_s3, const RealLayers& ak_s1,
               const RealLayers& xmu_s1, const int& key_model, RealField& lambda1,
               RealField& lambda3, RealField& mu1, RealField& mu3, RealField& mu13, RealField& b1,
               RealField& b2, RealField& m, RealField& d3, [[maybe_unused]] const RealLayers& ro1,
               [[maybe_unused]] const RealLayers& ro2, [[maybe_unused]] const RealLayers& ro3,
               const int& icase) {
  check_key_model(key_model, "e_modulus");
  const bool first_case = icase == 1;
  if (first_case) {
    for (int i = 0; i < kMaps; ++i) {
      close_unit(maps[i]);  // a later first case (only tests make one) starts afresh
      open_unit(maps[i], kMapNames[i]);
    }
    // Reference values of a known sand, echoed for comparison only.
    open_reference(reference, "elast_coef_sand");
    echo_reference_values(reference, kReferenceWhat, kReferenceValues);
  }

  // j outer, k inner: the order of the map lines and of the stops.
  for (int j = 1; j <= nx; ++j) {
    for (int k = 1; k <= ny; ++k) {
      const int mat = matnum(j, k);
      const bool first_cell = j == 1 && k == 1;
      CellFractions f;
      cell_fractions(key_model, j, k, phi_a(mat), phi(j, k), s3(mat), "e_modulus", f);
      if (key_model == 0 && first_cell) report_permafrost_fractions(j, k, f);
      check_control(f);

      const Grains g{ak_s1(mat), xmu_s1(mat), ak_s3(mat), xmu_s3(mat)};
      CellModuli c;
      if (key_model == 0) {
        permafrost_frames(f, g, ak_air(mat), xmu_air(mat), c);
      } else {
        if (first_cell) FmtLine(std_out()) << " output of  Krief s model  eqs. (A.8)-(A.9)";
        krief_frames(f, g, c);
      }
      coupled_moduli(f, g, akf(mat), eta(mat), omega, c);
      if (first_cell) report_moduli(c);

      if (c.lambda1 <= 0.0) neg_lambda1_line(j, k, c.lambda1);
      if (first_cell) {
        report_coefficients(j, k, c);
        if (c.lambda1 <= 0.0) {
          neg_lambda1_line(j, k, c.lambda1);
          stop(12345);
        }
        if (c.lambda3 <= 0.0) stop(12346);
      }

      lambda1(j, k) = c.lambda1;
      lambda3(j, k) = c.lambda3;
      mu1(j, k) = c.mu1;
      mu3(j, k) = c.mu3;
      mu13(j, k) = c.mu13;
      b1(j, k) = c.bb1;
      b2(j, k) = c.bb2;
      m(j, k) = c.kav;
      d3(j, k) = c.d3;

      if (first_case) {
        const double values[kMaps] = {c.mu1,      c.mu3, c.mu13, c.lambda1, c.lambda3,
                                      c.bb1,      c.bb2, c.kav,  c.d3};
        for (int i = 0; i < kMaps; ++i) FreeLine(maps[i]) << j << k << values[i];
      }
      check_strain_energy(j, k, c);
    }
  }
}

}  // namespace tp
