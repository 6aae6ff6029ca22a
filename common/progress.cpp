#include "common/progress.hpp"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace tp {

namespace {

double clock_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Draws the line in place: carriage return, text, clear to the end.
void draw(void* context, double done, double total) {
  auto& line = *static_cast<ProgressLine*>(context);
  if (!line.terminal) return;
  const double t = clock_seconds();
  if (t - line.start < 2.0 || t - line.last_draw < 0.2) return;
  char text[160];
  progress_text(text, sizeof text, line.stage, line.unit, done, total, t - line.start);
  std::fprintf(stderr, "\r%s\033[K", text);
  std::fflush(stderr);
  line.last_draw = t;
  line.drawn = true;
}

}  // namespace

void progress_begin(ProgressLine& line, const char* stage, const char* unit) {
  line.stage = stage;
  line.unit = unit;
  line.start = clock_seconds();
  line.last_draw = line.start;
  line.terminal = isatty(STDERR_FILENO) == 1;
  line.drawn = false;
}

Progress progress_to(ProgressLine& line) { return Progress{draw, &line}; }

void progress_end(ProgressLine& line) {
  if (!line.drawn) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  line.drawn = false;
}

// The rate is the mean since the stage began; the time left assumes it holds.
void progress_text(char* out, int size, const char* stage, const char* unit, double done,
                   double total, double seconds) {
  const double share = total > 0.0 ? done / total : 0.0;
  const double rate = seconds > 0.0 ? done / seconds : 0.0;
  if (rate > 0.0) {
    std::snprintf(out, size, "%s %5.1f%%  %.2g %s/s  %.0f s left", stage, 100.0 * share, rate, unit,
                  (total - done) / rate);
  } else {
    std::snprintf(out, size, "%s %5.1f%%", stage, 100.0 * share);
  }
}

}  // namespace tp
