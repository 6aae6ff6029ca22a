#pragma once
// The warnings of a run: conditions that do not stop it but that a user
// must hear about (a value read with implied decimals, a quantity far
// outside its physical range, a deck value the run does not use, a wave
// label that does not follow its speed). Collected here, printed on
// standard error by the driver, carried into results.json.

namespace tp {

constexpr int kMaxWarnings = 64;
constexpr int kWarningLength = 400;

// w[0..n-1], each one line of text without the "warning:" prefix.
struct Warnings {
  char w[kMaxWarnings][kWarningLength];
  int n = 0;
};

// Appends a printf-formatted warning; beyond kMaxWarnings they are counted
// are dropped.
void add_warning(Warnings& list, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Prints warnings first..n-1 on standard error, one "threephase: warning:"
// line each.
void print_warnings(const Warnings& list, int first = 0);

}  // namespace tp
