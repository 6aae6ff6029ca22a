// Elastic coefficients of a porous rock made of a solid frame (solid 1), pore
// water and a second solid (ice or shale, solid 3). Each solid forms a dry
// frame of its own (Km1, mum1 and Km3, mum3); the pore water couples them
// through the average bulk modulus Kav, and through its viscosity it adds a
// relaxed shear coupling muav. The coefficients follow from the Gassmann-type
// moduli of the two frames:
//   lambda1 = H1 - mu1, lambda3 = H3 - mu3, d3 = B3 - mu13/2 (the default,
//   two-dimensional form), or lambda1 = H1 - 2 mu1/3, lambda3 = H3 - 2 mu3/3,
//   d3 = B3 - mu13/3 (plane strain of the three-dimensional rock),
//   b1 = B1, b2 = B2, m = Kav.
// All moduli are in Pa; only muav depends on the frequency.
#include "rockphysics/e_modulus.hpp"

#include <cmath>

#include "rockphysics/kt.hpp"

namespace tp {

namespace {

// Grain moduli of the two solids of a layer.
struct Grains {
  double ks1, mus1, ks3, mus3;
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
}

// The Lame-type coefficients of the form from H1, H3, B3 and the shear
// moduli: H = lambda + 2 mu / n in n dimensions, and the cross term's shear
// part is mu13 / 2.
void lame_coefficients(const ElasticForm& form, CellModuli& c) {
  if (form == ElasticForm::plane_strain) {
    c.lambda1 = c.h1 - 2.0 * c.mu1 / 3.0;
    c.lambda3 = c.h3 - 2.0 * c.mu3 / 3.0;
    c.d3 = c.bb3 - c.mu13 / 3.0;
    return;
  }
  c.lambda1 = c.h1 - c.mu1;
  c.lambda3 = c.h3 - c.mu3;
  c.d3 = c.bb3 - c.mu13 / 2.0;
}

// The strain energy of the cell must be positive definite, or the medium
// would release energy under some deformation: 0, or the stop 45687
// (compressional part) or 45688 (shear part).
int strain_energy_check(const CellModuli& c) {
  const double cross = c.mu13 + c.d3;
  if ((2.0 * c.mu3 + c.lambda3) * (2.0 * c.mu1 + c.lambda1) - cross * cross <= 0.0) return 45687;
  if (c.mu3 * c.mu1 - (c.mu13 * c.mu13) / 4.0 <= 0.0) return 45688;
  return 0;
}

}  // namespace

CellFailure e_modulus(const Deck& d, const Sample& s, const double& omega, Coefficients& co,
                      ElasticReport& first, const ElasticOptions& options,
                      const Progress* progress) {
  const double cells = double(s.grid.nx) * s.grid.ny;
  const int key_model = d.key_model;
  first.reached = 0;
  // j outer, k inner: the order of the map lines and of the stops.
  for (int j = 1; j <= s.grid.nx; ++j) {
    for (int k = 1; k <= s.grid.ny; ++k) {
      const int mat = s.matnum(j, k);
      const bool first_cell = j == 1 && k == 1;
      CellFractions f;
      CellFailure fail = checked_cell_fractions(d, s, j, k, "e_modulus", f, first.f, first.reached);
      if (fail) return fail;

      const Grains g{d.ak_s1(mat), d.xmu_s1(mat), d.ak_s3(mat), d.xmu_s3(mat)};
      CellModuli c;
      if (key_model == 0) {
        permafrost_frames(f, g, d.ak_air(mat), d.xmu_air(mat), c);
      } else {
        krief_frames(f, g, c);
      }
      coupled_moduli(f, g, d.akf(mat), d.eta(mat), omega, c);
      lame_coefficients(options.form, c);
      if (first_cell) {
        first.c = c;
        first.reached = 2;
        fail.value = c.lambda1;
        if (c.lambda1 <= 0.0 && !options.lambda_warning_only) {
          fail.code = 12345;
          return fail;
        }
        if (c.lambda3 <= 0.0 && !options.lambda_warning_only) {
          fail.code = 12346;
          return fail;
        }
      }

      co.lambda1(j, k) = c.lambda1;
      co.lambda3(j, k) = c.lambda3;
      co.mu1(j, k) = c.mu1;
      co.mu3(j, k) = c.mu3;
      co.mu13(j, k) = c.mu13;
      co.b1(j, k) = c.bb1;
      co.b2(j, k) = c.bb2;
      co.m(j, k) = c.kav;
      co.d3(j, k) = c.d3;
      fail.code = strain_energy_check(c);
      if (fail) return fail;
    }
    if (progress != nullptr) (*progress)(double(j) * s.grid.ny, cells);
  }
  return CellFailure{};
}

}  // namespace tp
