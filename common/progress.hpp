#pragma once
// Progress of a long stage (the ordering and the factorization of a large
// sample, later the coefficients of its cells): the kernels report the work
// done through a callback they call rarely, every few hundred rows, so the
// hot loops pay nothing; the driver's renderer draws it on standard error.

namespace tp {

// A report of `done` units of work out of `total`; no call when report is
// null.
struct Progress {
  void (*report)(void* context, double done, double total) = nullptr;
  void* context = nullptr;
  void operator()(double done, double total) const {
    if (report != nullptr) report(context, done, total);
  }
};

// One line on standard error for the stage in progress, drawn only when
// standard error is a terminal and the stage has lasted two seconds: the
// stage, the share done, the rate in `unit` per second and the time left.
struct ProgressLine {
  const char* stage = "";
  const char* unit = "";
  double start = 0.0;      // seconds of the steady clock at the stage's start
  double last_draw = 0.0;  // when the line was last drawn
  bool terminal = false;
  bool drawn = false;
};

// Starts the stage's clock; finds out once whether standard error is a
// terminal.
void progress_begin(ProgressLine& line, const char* stage, const char* unit);

// The callback that draws `line` (its context), at most five times a second.
Progress progress_to(ProgressLine& line);

// Clears the line if it was drawn, so that standard error keeps only the
// program's own lines (its last one "STOP <code>").
void progress_end(ProgressLine& line);

// The text of one progress line, e.g. "factorization  42.0%  1.3e+09
// multiply-adds/s  12 s left", into out (size bytes).
void progress_text(char* out, int size, const char* stage, const char* unit, double done,
                   double total, double seconds);

}  // namespace tp
