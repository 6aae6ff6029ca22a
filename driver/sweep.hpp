#pragma once

namespace tp {

// First point of the logarithmic frequency sweep of n_freq points from freq
// to freq_max, 10^(log10 freq + 0 * step): the frequency the run records its
// solid-3 results under. A one-point sweep has no step and gives freq.
double first_sweep_point(const double& freq, const double& freq_max, const int& n_freq);

}  // namespace tp
