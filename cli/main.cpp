// threephase: harmonic compressibility test of a three-phase porous rock.
//
// Reads an input deck, builds the sample on a grid of square cells, computes
// the coefficients of the three-phase medium in every cell, the closed-form
// velocities and attenuation of its five plane waves, and solves a
// time-harmonic finite-element test (unit compressive stress on the top
// side) for the sample's effective complex modulus, velocity and Q.
//
//   threephase < deck        (in a directory holding the side files)
//   mpirun -np N threephase --solver mumps < deck   (MPI build)
//   threephase < deck.toml   (a keyword deck, with its [run] table)
//   threephase run DECK -o DIR, threephase check DECK, threephase --help
//
// A normal legacy run ends with exit status 40; `run` ends with 0.
#include <cstdlib>
#include <cstring>

#include "cli/cli.hpp"
#include "sparse/mumps_solver.hpp"

namespace {

// `run ... --frequencies ...`: a curve, whose frequencies every rank of a
// launcher shares.
bool curve_command(int argc, char** argv) {
  bool run = false, frequencies = false;
  for (int i = 1; i < argc; ++i) {
    run = run || std::strcmp(argv[i], "run") == 0;
    frequencies = frequencies || std::strncmp(argv[i], "--frequencies", 13) == 0;
  }
  return run && frequencies;
}

}  // namespace

int main(int argc, char** argv) {
  // Under mpirun, rank 0 runs the sample and the other ranks only serve the
  // MUMPS phases it starts; rank 0 releases them when it ends, and a normal
  // end is status 0, the launcher's success. A curve instead spreads its
  // frequencies: every rank runs the command, rank 0 gathers and writes.
  const int rank = tp::mumps_process_start(&argc, &argv);
  if (tp::mumps_launched() && curve_command(argc, argv)) {
    tp::mumps_spread_ranks();
  } else if (rank != 0) {
    return tp::mumps_worker();
  }
  std::atexit(tp::mumps_process_end);
  return tp::cli_main(argc, argv, tp::mumps_launched());
}
