#include "driver/timer.hpp"

#include <ctime>

namespace tp {

double timer() {
  static double last = 0.0;
  const double now = static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
  const double elapsed = now - last;
  last = now;
  return elapsed;
}

}  // namespace tp
