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
#include <cstddef>

#include "common/output.hpp"
#include "common/stop.hpp"
#include "common/tables.hpp"
#include "driver/postprocess.hpp"
#include "driver/run.hpp"
#include "driver/sweep.hpp"
#include "driver/timer.hpp"
#include "fem/global_numbering.hpp"
#include "fem/global_sist.hpp"
#include "model/porosity.hpp"
#include "planewave/veloc_aten.hpp"

namespace {

using namespace tp;

// Every table of the run, in static storage. constinit: they start as zeros
// in the program image, not by a clearing pass at start-up. The solver's
// workspace of 11102000 complex words, seen also as 32-bit integers, serves
// samples within 60 by 60 cells; beyond, the solver sizes its own storage
// from the symbolic factorization (solver_words = 0). It is plain bytes, so
// that no compiler has to run eleven million constructors to prove it zero
// (clang++ gives up) and no page of it is touched before the solver needs it.
alignas(cplx) constinit std::byte workspace_bytes[sizeof(cplx) * kSolverWords]{};
constinit Deck deck{};
constinit IntField matnum{};
constinit RealField phi{};
constinit Coefficients co{};
constinit System sys{};
constinit CellResults cells{};
constinit ResultFiles files{};
constinit Unit map_plain{}, map_gnu{};

}  // namespace

int main() {
  Unit& out = std_out();

  // 1. Result files, created or emptied at the start; processor clock.
  open_result_files(files);
  timer();

  // 2. The deck (also sets the cell side h).
  read_deck(deck);
  const int nx = deck.nx, ny = deck.ny;

  // 3. Layer geometry and the material map.
  material_map_pass(deck, matnum, map_plain, map_gnu);

  // 4. The case loop: one case, at the frequency of the deck.
  for (int icase = 1; icase <= 1; ++icase) {
    // 4.1 Every case runs with water proportion 0.1 in both layers: the
    // deck's values only served the ice-model check.
    deck.phi_layer(1) = 0.1;
    deck.phi_layer(2) = 0.1;
    porosity(nx, ny, deck.phi_layer, deck.model, phi);

    // 4.2 Coefficients of every cell at the frequency of the case.
    const double omega = deck.freq * 6.283185307179586;
    Fractions fr;
    compute_coefficients(deck, matnum, phi, omega, icase, co, fr);

    // 4.3 Unknown numbering and average density.
    global_numbering(nx, ny, sys.xnod);
    FreeLine(out) << "  computes average density, ";
    const double rob_med = average_density(deck, matnum, phi, fr);
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
    const int neq = unknowns(deck);
    FreeLine(out) << "number of unknowns nodos = " << neq;

    // 4.6 Minimum-degree ordering, then sparse LU with the solve.
    const int solver_words = (nx <= kMaxCells && ny <= kMaxCells) ? kSolverWords : 0;
    cplx* const workspace = reinterpret_cast<cplx*>(workspace_bytes);
    order_system(neq, sys, workspace, solver_words);
    factor_and_solve(neq, sys, workspace, solver_words);

    // 4.7 Effective moduli, velocities, Q and maps.
    const SampleState state{nx,        ny,        deck.h,    deck.domain_size, fr.s1,
                            fr.s3_matrix, rob_med, deck.phi_layer(1), deck.freq, freq_fix,
                            vp1,       q1000_p1};
    post_process(sys.z, sys.xnod, co, state, cells, files);
  }

  // 5. Processor time of the run, in hours.
  empty_line(out);
  FmtLine(out) << " running time=" << f_edit(timer() / 3600.0, 15, 6) << "hours";
  stop(40);
}
