#pragma once
// Wall-clock time of the stages of a run, for results.json. The legacy
// report's running time (processor hours) is driver/timer's and unchanged.
#include <chrono>

namespace tp {

constexpr int kMaxStages = 12;

// stage[i] took seconds[i], i = 0..n-1, in the order marked.
struct StageClock {
  std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
  const char* stage[kMaxStages];
  double seconds[kMaxStages];
  int n = 0;

  // Closes the stage that ran since the previous mark (or the clock's start).
  void mark(const char* name) {
    const auto now = std::chrono::steady_clock::now();
    if (n < kMaxStages) {
      stage[n] = name;
      seconds[n++] = std::chrono::duration<double>(now - last).count();
    }
    last = now;
  }
};

}  // namespace tp
