// The progress line of long stages: what it says, and that it stays silent
// when standard error is no terminal (a run's logs keep only its own lines).
#include <gtest/gtest.h>
#include <unistd.h>

#include "common/progress.hpp"

namespace {

TEST(Progress, LineGivesShareRateAndTimeLeftAtTheMeanRate) {
  char text[160];
  // 3e9 of 1e10 multiply-adds in 2 s: 1.5e9 per s, 7e9 left take 4.7 s.
  tp::progress_text(text, sizeof text, "factorization", "multiply-adds", 3e9, 1e10, 2.0);
  EXPECT_STREQ(text, "factorization  30.0%  1.5e+09 multiply-adds/s  5 s left");
  // Before any time has passed there is no rate to extrapolate from.
  tp::progress_text(text, sizeof text, "ordering", "unknowns", 0.0, 100.0, 0.0);
  EXPECT_STREQ(text, "ordering   0.0%");
}

TEST(Progress, NothingIsDrawnWhenStandardErrorIsNoTerminal) {
  // Under ctest standard error is a pipe, as in a batch run.
  if (isatty(STDERR_FILENO)) GTEST_SKIP() << "standard error is a terminal here";
  tp::ProgressLine line;
  tp::progress_begin(line, "factorization", "multiply-adds");
  EXPECT_FALSE(line.terminal);
  line.start -= 10.0;  // as if the stage had run for ten seconds
  const tp::Progress report = tp::progress_to(line);
  report(5.0, 10.0);
  EXPECT_FALSE(line.drawn);
  tp::progress_end(line);
}

}  // namespace
