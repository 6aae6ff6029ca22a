#pragma once
// Dispersion and attenuation curves in one run: the rigid-plate tests at
// every frequency of a list, on one ordering and one symbolic factorization
// of the pattern (which never changes with frequency), the frequencies
// spread over threads as far as the memory allows, with the relaxed and
// unrelaxed limits of the stiffness from two real solves.
#include <string>
#include <vector>

#include "deck/frequencies.hpp"
#include "driver/run.hpp"
#include "fem/stiffness_curve.hpp"

namespace tp {

// The threads a curve may use: jobs when positive, else THREEPHASE_JOBS,
// else the processors; never more than the frequencies.
int curve_threads(int jobs, int frequencies);

// The curve of the run's sample (read, prepared and analysed by its legacy
// case) at every frequency, with its bounds. A frequency that stops ends the
// run with its message and the frequency named. Says on standard error how
// many factorizations run at once when the memory limits them.
// Under an MPI launcher the frequencies are spread over the ranks (each
// its own solver and threads) and gathered on rank 0, which alone writes: a
// rank that fails makes the run fail with its message.
void run_curve(Run& run, const std::vector<double>& frequencies, int jobs, Curve& curve);

// The part of a rank other than 0 in a spread curve: the sample read and
// analysed silently, its share of the frequencies, sent to rank 0.
void run_curve_share(Run& run, const std::vector<double>& frequencies, int jobs);

// Rank 0's run ended before its curve's exchange: the other ranks are
// released (they are waiting to send their points). Does nothing without a
// launcher or after the exchange.
void release_curve_ranks(int points);

}  // namespace tp
