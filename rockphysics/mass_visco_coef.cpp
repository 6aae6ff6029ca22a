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

namespace tp {

namespace {

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

// The friction matrices, with and without the second solid-solid term,
// must have non-negative determinants, or the flow would feed energy into
// the motion: 0, or the stop 99999 (without) or 99998 (with).
int friction_check(const CellMasses& c) {
  if (friction_control1(c) < 0.0) return 99999;
  if (friction_control2(c) < 0.0) return 99998;
  return 0;
}

}  // namespace

CellFailure mass_visco_coef(const Deck& d, const Sample& s, Coefficients& co, Fractions& last,
                            MassReport& first, const Progress* progress) {
  const double cells = double(s.grid.nx) * s.grid.ny;
  const int key_model = d.key_model;
  first.reached = 0;
  // j outer, k inner: the order of the map lines and of the stops.
  for (int j = 1; j <= s.grid.nx; ++j) {
    for (int k = 1; k <= s.grid.ny; ++k) {
      const int mat = s.matnum(j, k);
      const bool first_cell = j == 1 && k == 1;
      CellFractions f;
      CellFailure fail =
          checked_cell_fractions(d, s, j, k, "mass_visco_coef", f, first.f, first.reached);
      if (fail) return fail;
      last = Fractions{f.s1, f.s3, f.phi1, f.phi3};

      const LayerData l{d.ro1(mat), d.ro2(mat), d.ro3(mat), d.eta(mat), d.coef_b13(mat)};
      CellMasses c;
      densities_and_tortuosity(f, l, key_model, c);
      mass_coefficients(f, l, c);
      co.p11(j, k) = c.p11;
      co.p12(j, k) = c.p12;
      co.p13(j, k) = c.p13;
      co.p22(j, k) = c.p22;
      co.p23(j, k) = c.p23;
      co.p33(j, k) = c.p33;

      if (key_model == 0) {
        permafrost_permeabilities(f, d.capa_1_0(mat), d.capa_3_0(mat), l.eta, c);
      } else {
        // The grain sizes of the first layer serve every cell.
        shaley_sand_permeabilities(f, d.rs1(1), d.rs3(1), l.eta, c);
      }
      c.capa = c.capa_1 * c.capa_3 / (c.capa_1 + c.capa_3);

      friction_coefficients(f, l.b13, c);
      co.f11(j, k) = c.f11;
      co.f12(j, k) = c.f12;
      co.f22(j, k) = c.f22;
      if (first_cell) {
        first.l = l;
        first.c = c;
        first.reached = 2;
        fail.code = friction_check(c);
        if (fail) return fail;
      }
    }
    if (progress != nullptr) (*progress)(double(j) * s.grid.ny, cells);
  }
  return CellFailure{};
}

}  // namespace tp
