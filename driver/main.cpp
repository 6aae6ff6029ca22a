// threephase: harmonic compressibility test of a three-phase porous rock.
//
// Reads an input deck on standard input, builds the sample on a grid of
// square cells, computes the coefficients of the three-phase medium in every
// cell, the closed-form velocities and attenuation of its five plane waves,
// and solves a time-harmonic finite-element test (unit compressive stress on
// the top side) for the sample's effective complex modulus, velocity and Q.
//
//   threephase < deck        (in a directory holding the side files)
//
// A normal run ends with exit status 40.
#include "common/output.hpp"
#include "common/stop.hpp"
#include "common/tables.hpp"
#include "driver/postprocess.hpp"
#include "driver/readata.hpp"
#include "driver/sweep.hpp"
#include "driver/timer.hpp"
#include "fem/global_numbering.hpp"
#include "fem/global_sist.hpp"
#include "model/makematnum.hpp"
#include "model/porosity.hpp"
#include "planewave/veloc_aten.hpp"
#include "rockphysics/e_modulus.hpp"
#include "rockphysics/mass_visco_coef.hpp"
#include "sparse/zndrv.hpp"
#include "sparse/zodrv.hpp"

namespace {

using namespace tp;

// ---- Every table of the run, in static storage. ----

// The deck.
struct Deck {
  double freq = 0, freq_max = 0, domain_size = 0, h = 0;
  int n_freq = 0, nx = 0, ny = 0, key_model = 0, model = 0, nmat = 0;
  IntLayers nl;
  RealLayers akf, ro2, eta, ro1, ro3, phi_a, phi_layer, capa_1_0, capa_3_0, s3, rs1, rs3,
      coef_b13, ak_s1, xmu_s1, ak_s3, xmu_s3, ak_air, xmu_air, layer_size;
};

// The 18 coefficients of every cell: elastic (Pa), mass (kg/m3) and
// friction (kg/(m3 s)).
struct Coefficients {
  RealField lambda1, lambda3, mu1, mu3, mu13, b1, b2, m, d3;
  RealField p11, p12, p13, p22, p23, p33;
  RealField f11, f12, f22;
};

// The finite-element system and the solver's one workspace: 11102000
// complex words, seen also as 44408000 32-bit integers.
struct System {
  XnodTable xnod;
  RowStarts ia;
  ColumnIndices ja;
  MatrixValues avec;
  UnknownVector rhs_m, z;
  Permutation c, ic;
};
// constinit: the tables start as zeros in the program image, not by a
// clearing pass at start-up (the complex ones alone are some 200 MB).
alignas(16) constinit cplx workspace[kSolverWords]{};

constinit Deck deck{};
constinit IntField matnum{};
constinit RealField phi{};
constinit Coefficients co{};
constinit System sys{};
constinit CellResults cells{};
constinit ResultFiles files{};

// The whole sample is given material 1: its heterogeneity comes from the
// porosity field alone, the layered map only fixes the printed geometry.
// Writes the map and checks every number against the layers of the deck.
void material_map_pass(Deck& d, IntField& map) {
  static Unit plain, gnu;
  open_unit(plain, "matnum_p33");
  open_unit(gnu, "matnum_p33_gnu");
  makematnum(d.nx, d.ny, d.nl, d.layer_size, d.h, map);
  for (int k = 1; k <= d.ny; ++k) {
    for (int j = 1; j <= d.nx; ++j) {
      map(j, k) = 1;
      FreeLine(plain) << map(j, k);
      FreeLine(gnu) << j << k << map(j, k);
      if (map(j, k) < 1 || map(j, k) > d.nmat) {
        FreeLine(std_out()) << "j,k, matnum(j,k) " << j << k << map(j, k);
        stop(222);
      }
    }
  }
  close_unit(plain);
}

// Bulk density averaged over the cells: the water fraction of each cell with
// the solid fractions of the last cell treated by the mass routine.
double average_density(const Deck& d, const IntField& map, const RealField& water,
                       double phi1, double phi3) {
  const double cells_n = d.nx * d.ny;
  double rob_med = 0.0;
  for (int j = 1; j <= d.nx; ++j) {
    for (int k = 1; k <= d.ny; ++k) {
      const int mat = map(j, k);
      rob_med += (water(j, k) * d.ro2(mat) + phi1 * d.ro1(mat) + phi3 * d.ro3(mat)) / cells_n;
    }
  }
  return rob_med;
}

}  // namespace

int main() {
  Unit& out = std_out();

  // 1. Result files, created or emptied at the start; processor clock.
  open_result_files(files);
  timer();

  // 2. The deck (also sets the cell side h).
  readata(deck.freq, deck.freq_max, deck.n_freq, deck.domain_size, deck.nx, deck.ny,
          deck.key_model, deck.nmat, deck.akf, deck.ro2, deck.eta, deck.ro1, deck.ro3,
          deck.phi_a, deck.phi_layer, deck.capa_1_0, deck.capa_3_0, deck.s3, deck.rs1,
          deck.rs3, deck.coef_b13, deck.ak_s1, deck.xmu_s1, deck.ak_s3, deck.xmu_s3,
          deck.ak_air, deck.xmu_air, deck.model, deck.h, deck.nl);
  const int nx = deck.nx, ny = deck.ny;

  // 3. Layer geometry and the material map.
  material_map_pass(deck, matnum);

  // 4. The case loop: one case, at the frequency of the deck.
  for (int icase = 1; icase <= 1; ++icase) {
    // 4.1 Every case runs with water proportion 0.1 in both layers: the
    // deck's values only served the ice-model check.
    deck.phi_layer(1) = 0.1;
    deck.phi_layer(2) = 0.1;
    porosity(nx, ny, deck.phi_layer, deck.model, phi);

    // 4.2 Coefficients of every cell at the frequency of the case.
    const double omega = deck.freq * 6.283185307179586;
    e_modulus(nx, ny, deck.nmat, matnum, deck.phi_a, phi, deck.s3, deck.akf, deck.eta, omega,
              deck.ak_air, deck.xmu_air, deck.ak_s3, deck.xmu_s3, deck.ak_s1, deck.xmu_s1,
              deck.key_model, co.lambda1, co.lambda3, co.mu1, co.mu3, co.mu13, co.b1, co.b2,
              co.m, co.d3, deck.ro1, deck.ro2, deck.ro3, icase);
    double s1 = 0, s3_matrix = 0, phi1 = 0, phi3 = 0;
    mass_visco_coef(nx, ny, deck.nmat, matnum, deck.phi_a, phi, deck.s3, deck.eta, omega,
                    deck.key_model, deck.ro1, deck.ro2, deck.ro3, deck.capa_1_0, deck.capa_3_0,
                    deck.rs1, deck.rs3, deck.coef_b13, co.p11, co.p12, co.p13, co.p22, co.p23,
                    co.p33, co.f11, co.f12, co.f22, s1, s3_matrix, phi1, phi3, icase);

    // 4.3 Unknown numbering and average density.
    global_numbering(nx, ny, sys.xnod);
    FreeLine(out) << "  computes average density, ";
    const double rob_med = average_density(deck, matnum, phi, phi1, phi3);
    FreeLine(out) << "average density rob_med is (kg/m**3)" << rob_med;
    const double freq_fix = first_sweep_point(deck.freq, deck.freq_max, deck.n_freq);
    blank_line(out);
    FreeLine(out) << "cycle=" << icase;
    FreeLine(out) << "freq (Hz), omega_fix " << deck.freq << omega;

    // 4.4 Closed-form plane waves of every cell (values of the last cell).
    double vp1, vp2, vp3, vs1, vs2, q1000_p1, q1000_p2, q1000_p3, q1000_s1, q1000_s2;
    veloc_aten(nx, ny, omega, co.p11, co.p12, co.p13, co.p22, co.p23, co.p33, co.f11, co.f12,
               co.f22, co.lambda1, co.lambda3, co.mu1, co.mu3, co.mu13, co.b1, co.b2, co.m,
               co.d3, vp1, vp2, vp3, vs1, vs2, q1000_p1, q1000_p2, q1000_p3, q1000_s1,
               q1000_s2);

    // 4.5 The harmonic system of the compressibility test. The element
    // routine zeroes the mass coefficients: the test carries no inertia.
    global_sist(omega, nx, ny, deck.h, sys.xnod, co.lambda1, co.lambda3, co.mu1, co.mu3,
                co.mu13, co.b1, co.b2, co.m, co.d3, co.p11, co.p12, co.p13, co.p22, co.p23,
                co.p33, co.f11, co.f12, co.f22, sys.avec, sys.ia, sys.ja, sys.rhs_m);
    const int neq = (6 * nx + 5) * ny + 5 * nx + 4;
    FreeLine(out) << "number of unknowns nodos = " << neq;

    // 4.6 Minimum-degree ordering, then sparse LU with the solve.
    const int nsp = kSolverWords;
    const View1<std::int32_t> isp{reinterpret_cast<std::int32_t*>(workspace)};
    const View1<cplx> rsp{workspace};
    int flag = 0;
    zodrv(neq, sys.ia.view(), sys.ja.view(), sys.avec.view(), sys.c.view(), sys.ic.view(), nsp,
          isp, 1, flag);
    if (flag != 0) {
      FreeLine(out) << "FLAG=" << flag;
      stop(9);
    }
    int esp = 0;
    zndrv(neq, sys.c.view(), sys.c.view(), sys.ic.view(), sys.ia.view(), sys.ja.view(),
          sys.avec.view(), sys.rhs_m.view(), sys.z.view(), nsp, isp, rsp, esp, 1, flag);
    if (flag != 0) {
      FreeLine(out) << "ESP=" << esp;
      FreeLine(out) << "FLAG=" << flag;
      stop(99);
    }

    // 4.7 Effective moduli, velocities, Q and maps.
    SampleState state{nx,          ny,          deck.h,   deck.domain_size,
                      &co.lambda1, &co.mu1,     &co.mu13, &co.d3,
                      &co.b1,      &co.b2,      &co.m,    s1,
                      s3_matrix,   rob_med,     deck.phi_layer(1),
                      deck.freq,   freq_fix,    vp1,      q1000_p1};
    post_process(sys.z, sys.xnod, state, cells, files);
  }

  // 5. Processor time of the run, in hours.
  empty_line(out);
  FmtLine(out) << " running time=" << f_edit(timer() / 3600.0, 15, 6) << "hours";
  stop(40);
}
