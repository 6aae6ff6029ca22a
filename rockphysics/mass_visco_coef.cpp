// Mass and friction coefficients of the three-phase medium. The unknowns are
// the displacements of solid 1 and solid 3 and the flow of the water
// relative to the solids; the water moving through the frames drags extra
// mass (tortuosity factors a12, a32, and in shaley sand a13, a31 between the
// solids) and dissipates energy by viscous flow through the permeabilities
// of the two frames (coef_b12, coef_b23), with a direct friction coef_b13
// between the solids. Mass coefficients are in kg/m3; friction coefficients
// in kg/(m3 s) (viscosity in Pa s, permeabilities in m2), not divided by
// omega. For a rigid motion the coefficients add up to the bulk density:
// p11 + 2 p13 + p33 = ro1 phi1 + ro2 phi + ro3 phi3 and p12 + p23 = ro2.
#include "rockphysics/mass_visco_coef.hpp"

#include "common/output.hpp"
#include "common/stop.hpp"
#include "rockphysics/fractions.hpp"

namespace tp {

namespace {

// The friction maps, one "j k value" line per cell, and the reference file;
// opened in the first case, they stay open for the rest of the run.
Unit b11_map;
Unit b22_map;
Unit b12_map;
LineSource reference;

constexpr int kReferenceValues = 4;
const char* const kReferenceWhat[kReferenceValues] = {"the leading value", "the reference b11",
                                                      "the reference b22", "the reference b12"};

// Per-layer data of the cell being computed.
struct LayerData {
  double ro1, ro2, ro3, eta, b13;
};

// Densities, tortuosities, mass and friction coefficients of one cell, kept
// for the report of the first cell.
struct CellMasses {
  double ro, ro_prim;
  double a12, a32, a13, a31;
  double p11, p12, p13, p22, p23, p33;
  double capa_1, capa_3, capa, coef_b12, coef_b23;
  double f11loc, f11, f12, f22;
};

// Average densities of the water with each solid, and the tortuosity factors
// they set (the added mass is half the displaced mass of each inclusion).
void densities_and_tortuosity(const CellFractions& f, const LayerData& l, const int& key_model,
                              CellMasses& c) {
  const double phi = f.phi;
  c.ro = (l.ro3 * f.phi3 + l.ro2 * phi) / (f.phi3 + phi);
  c.ro_prim = (l.ro2 * phi + l.ro1 * f.phi1) / (phi + f.phi1);
  c.a12 = 1.0 + 0.5 * c.ro * f.phi1 / (l.ro2 * phi);
  c.a32 = 1.0 + 0.5 * c.ro_prim * f.phi3 / (l.ro2 * phi);
  if (key_model == 0) {
    // Ice is bonded to the grains: no inertial coupling between the solids.
    c.a13 = 1.0;
    c.a31 = 1.0;
  } else {
    c.a13 = 1.0 + 0.5 * c.ro_prim * f.phi3 / (l.ro1 * f.phi1);
    c.a31 = 1.0 + 0.5 * c.ro * f.phi1 / (l.ro3 * f.phi3);
  }
}

void mass_coefficients(const CellFractions& f, const LayerData& l, CellMasses& c) {
  const double phi = f.phi;
  const double s1 = f.s1;
  const double s3 = f.s3;
  const double d = 1.0 + c.a32 * (s1 * s1) + c.a12 * (s3 * s3);
  c.p11 = (d - 2.0 * s3 - s1 * s1) * l.ro2 * phi + c.a13 * l.ro1 * f.phi1 +
          (c.a31 - 1.0) * l.ro3 * f.phi3;
  c.p12 = ((1.0 - c.a12) * s3 + c.a32 * s1) * l.ro2;
  c.p13 = (1.0 - c.a32 * (s1 * s1) - c.a12 * (s3 * s3) - s1 * s3) * l.ro2 * phi +
          (1.0 - c.a13) * l.ro1 * f.phi1 + (1.0 - c.a31) * l.ro3 * f.phi3;
  c.p22 = (c.a12 + c.a32 - 1.0) * l.ro2 / phi;
  c.p23 = (c.a12 * s3 + (1.0 - c.a32) * s1) * l.ro2;
  c.p33 = (d - 2.0 * s1 - s3 * s3) * l.ro2 * phi + c.a31 * l.ro3 * f.phi3 +
          (c.a13 - 1.0) * l.ro1 * f.phi1;
}

// Permafrost: permeabilities scaled from the reference values capa_1_0 and
// capa_3_0 by Kozeny-Carman-like powers of the fractions.
void permafrost_permeabilities(const CellFractions& f, const double& capa_1_0,
                               const double& capa_3_0, const double& eta, CellMasses& c) {
  const double phi = f.phi;
  const double pores = 1.0 - f.phi1;
  const double q = pores / f.phi3;
  const double r = phi / f.phi1;
  c.capa_1 = capa_1_0 * (phi * phi * phi) / (pores * pores * pores);
  c.capa_3 = capa_3_0 * (q * q) * (r * r * r);
  c.coef_b12 = eta * (phi * phi) / c.capa_1;
  c.coef_b23 = eta * (phi * phi) / c.capa_3;
}

// Shaley sand: Kozeny permeabilities of packs of grains of radius rs1, rs3.
void shaley_sand_permeabilities(const CellFractions& f, const double& rs1, const double& rs3,
                                const double& eta, CellMasses& c) {
  const double phi = f.phi;
  c.capa_1 = 2.0 * (rs1 * rs1) / (9.0 * f.phi1);
  c.capa_3 = 2.0 * (rs3 * rs3) / (9.0 * f.phi3);
  c.coef_b12 = 45.0 * eta * (1.0 - phi) * f.phi1 / (phi * (rs1 * rs1));
  c.coef_b23 = 45.0 * eta * (1.0 - phi) * f.phi3 / (phi * (rs3 * rs3));
}

void friction_coefficients(const CellFractions& f, const double& b13, CellMasses& c) {
  const double phi = f.phi;
  c.f11loc = (f.s1 * f.s1) * c.coef_b23 + b13 + (f.s3 * f.s3) * c.coef_b12;
  c.f11 = b13 + c.f11loc;  // the solid-solid friction enters the stored value twice
  c.f22 = (c.coef_b23 + c.coef_b12) / (phi * phi);
  c.f12 = (c.coef_b12 * f.s3 - c.coef_b23 * f.s1) / phi;
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

// The friction matrices of the first cell, with and without the second
// solid-solid term, must have non-negative determinants, or the flow would
// feed energy into the motion.
void report_and_test_friction(const double& b13, const CellMasses& c) {
  Unit& out = std_out();
  FreeLine(out) << "f11      =" << c.f11loc;
  FreeLine(out) << "f12      =" << c.f12;
  FreeLine(out) << "f22      =" << c.f22;
  const double control1 = c.f11loc * c.f22 - c.f12 * c.f12;
  FreeLine(out) << "control1 (must be  positive)  =" << control1;
  if (control1 < 0.0) stop(99999);
  FreeLine(out) << "Coef. de friccion ";
  FreeLine(out) << "coef_b13  " << b13;
  FreeLine(out) << "b11  = " << c.f11;
  FreeLine(out) << "b12  = " << c.f12;
  FreeLine(out) << "b22  = " << c.f22;
  const double control2 = c.f11 * c.f22 - c.f12 * c.f12;
  FreeLine(out) << "control2 (must be  positive)  =" << control2;
  if (control2 < 0.0) stop(99998);
  empty_line(out);
}

}  // namespace

void mass_visco_coef(const int& nx, const int& ny, [[maybe_unused]] const int& nmat,
                     const IntField& matnum, const RealLayers& phi_a, const RealField& phi,
                     const RealLayers& s3, const RealLayers& eta,
                     [[maybe_unused]] const double& omega, const int& key_model,
                     const RealLayers& ro1, const RealLayers& ro2, const RealLayers& ro3,
                     const RealLayers& capa_1_0, const RealLayers& capa_3_0,
                     const RealLayers& rs1, const RealLayers& rs3, const RealLayers& coef_b13,
                     RealField& p11, RealField& p12, RealField& p13, RealField& p22,
                     RealField& p23, RealField& p33, RealField& f11, RealField& f12,
                     RealField& f22, double& s1, double& s3_matrix, double& phi1, double& phi3,
                     const int& icase) {
  check_key_model(key_model, "mass_visco_coef");
  const bool first_case = icase == 1;
  if (first_case) {
    // Reference friction values of a known sand, echoed for comparison only.
    open_reference(reference, "b11_b22_b12_sand");
    close_unit(b11_map);  // a later first case (only tests make one) starts afresh
    close_unit(b22_map);
    close_unit(b12_map);
    open_unit(b11_map, "b11_gnu");
    open_unit(b22_map, "b22_gnu");
    open_unit(b12_map, "b12_gnu");
    echo_reference_values(reference, kReferenceWhat, kReferenceValues);
  }
  FreeLine(std_out()) << "enters  mass_visco_coef  key_model " << key_model;

  // j outer, k inner: the order of the map lines and of the stops.
  for (int j = 1; j <= nx; ++j) {
    for (int k = 1; k <= ny; ++k) {
      const int mat = matnum(j, k);
      const bool first_cell = j == 1 && k == 1;
      CellFractions f;
      cell_fractions(key_model, j, k, phi_a(mat), phi(j, k), s3(mat), "mass_visco_coef", f);
      s1 = f.s1;
      s3_matrix = f.s3;
      phi1 = f.phi1;
      phi3 = f.phi3;
      if (first_cell) report_fractions(key_model, f);
      check_control(f);

      const LayerData l{ro1(mat), ro2(mat), ro3(mat), eta(mat), coef_b13(mat)};
      CellMasses c;
      densities_and_tortuosity(f, l, key_model, c);
      if (first_cell) report_densities(l, c);

      mass_coefficients(f, l, c);
      p11(j, k) = c.p11;
      p12(j, k) = c.p12;
      p13(j, k) = c.p13;
      p22(j, k) = c.p22;
      p23(j, k) = c.p23;
      p33(j, k) = c.p33;
      if (first_cell) report_masses(c);

      if (key_model == 0) {
        permafrost_permeabilities(f, capa_1_0(mat), capa_3_0(mat), l.eta, c);
      } else {
        // The grain sizes of the first layer serve every cell.
        shaley_sand_permeabilities(f, rs1(1), rs3(1), l.eta, c);
      }
      c.capa = c.capa_1 * c.capa_3 / (c.capa_1 + c.capa_3);
      if (first_cell) report_permeabilities(key_model, c);

      friction_coefficients(f, l.b13, c);
      f11(j, k) = c.f11;
      f12(j, k) = c.f12;
      f22(j, k) = c.f22;
      if (first_case) {
        FreeLine(b11_map) << j << k << c.f11;
        FreeLine(b22_map) << j << k << c.f22;
        FreeLine(b12_map) << j << k << c.f12;
      }
      if (first_cell) report_and_test_friction(l.b13, c);
    }
  }
}

}  // namespace tp
