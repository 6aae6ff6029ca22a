#include "driver/sweep.hpp"

#include <cmath>

namespace tp {

double first_sweep_point(const double& freq, const double& freq_max, const int& n_freq) {
  if (n_freq == 1) return freq;
  const double l1 = std::log10(freq);
  const double l2 = std::log10(freq_max);
  // The step count is a single-precision number.
  const float steps = static_cast<float>(n_freq - 1);
  return std::pow(10.0, l1 + 0.0 * ((l2 - l1) / steps));
}

}  // namespace tp
