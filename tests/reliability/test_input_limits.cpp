// Inputs that used to crash, hang, or end normally with NaN: grids past the
// memory limit, files that are no files (a pipe, a folder, a device, a 2 GB
// hole), NUL and control bytes, a byte order mark, values that overflow the
// arithmetic. Each must end quickly with its status and a message that
// names the file, the line, the cell or the quantity.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "reliability/reliability.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp::reliability;
using tp::testing::read_file;
using tp::testing::run_with_args;
using tp::testing::split_lines;
using tp::testing::with_field;
using tp::testing::with_grid;
using tp::testing::write_file;

bool has(const std::string& text, const std::string& words) {
  return text.find(words) != std::string::npos;
}

// The permafrost example's legacy deck with the grid set, run under a limit.
RunResult legacy_run(const std::string& dir, int nx, int ny, const char* limit) {
  ::setenv("THREEPHASE_MAX_MEMORY", limit, 1);
  const RunResult r =
      run_program(dir, join_lines(with_grid(example_lines("permafrost"), nx, ny)), {}, 60);
  ::unsetenv("THREEPHASE_MAX_MEMORY");
  return r;
}

// The tables of 400 by 400 cells take about 1 GB before any factor: the
// limit must be applied to their estimate, not found out after allocating
// and filling them (the run used to reach 1491 MiB before stopping, and
// 2000 by 2000 ended with "memory available", status 2).
TEST(MemoryLimit, BigGridRefusedBeforeItsTablesWithStatus3AndLittleMemory) {
  const std::string dir = example_dir("permafrost");
  for (const auto& [n, limit] : {std::pair{400, "64M"}, std::pair{2000, "1G"}}) {
    const RunResult r = legacy_run(dir, n, n, limit);
    ASSERT_EQ(unacceptable(r), "") << r.err;
    EXPECT_EQ(r.status, 3) << n << ": " << r.err;
    EXPECT_TRUE(has(r.err, "the run of " + std::to_string(n) + " by " + std::to_string(n) +
                               " cells needs at least"))
        << r.err;
    EXPECT_TRUE(has(r.err, std::string("but the limit is ") + (n == 400 ? "64.0 MiB" : "1.0 GiB")))
        << r.err;
    EXPECT_LT(r.peak_rss_kb, 48 * 1024) << n << " by " << n << " allocated before refusing";
  }
}

TEST(MemoryLimit, LimitThatIsNoSizeIsRefusedOnEveryGrid) {
  const std::string dir = example_dir("permafrost");
  const RunResult r = legacy_run(dir, 20, 20, "abc");
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_TRUE(has(r.err, "threephase: THREEPHASE_MAX_MEMORY: not a size")) << r.err;
}

// The side is bounded by the 32-bit positions, the grid by its memory: a
// banded sample of 2 by 2600 cells is small.
TEST(MemoryLimit, NarrowStripLongerThanTheOldSideLimitIsAccepted) {
  const std::string dir = example_dir("permafrost");
  write_file(dir + "/strip", join_lines(with_grid(example_lines("permafrost"), 2, 2600)));
  const RunResult r = run_with_args(dir, "check strip");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "a sample of 2 by 2600 cells")) << r.out;
  EXPECT_TRUE(has(r.out, "of memory (the limit is")) << r.out;
}

// ---- files that are no files ----

TEST(NotAFile, PipeOrFolderAsPorosityFileIsRefusedNotWaitedOn) {
  for (const char* kind : {"pipe", "folder"}) {
    const std::string dir = example_dir("fractal");
    const std::string frac = dir + "/porosity.frac";
    std::filesystem::remove(frac);
    if (std::string(kind) == "pipe") {
      ASSERT_EQ(::mkfifo(frac.c_str(), 0600), 0);
    } else {
      std::filesystem::create_directory(frac);
    }
    for (const std::string args : {"", "check deck"}) {
      const RunResult r = args.empty() ? run_program(dir, read_file(dir + "/deck"), {}, 20)
                                       : run_with_args(dir, args, "/dev/null", 20);
      ASSERT_EQ(unacceptable(r), "") << kind << " " << args;
      EXPECT_EQ(r.status, 2) << r.err;
      EXPECT_TRUE(has(r.err, std::string("porosity.frac: is a ") + kind)) << r.err;
    }
  }
}

// A deck from a pipe (as `run <(cat deck.toml)` gives it) is refused with
// the reason, not read once and found empty.
TEST(NotAFile, PipeOrFolderAsDeckIsRefusedByName) {
  const std::string dir = example_dir("permafrost");
  ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
  for (const char* args : {"run fifo -o out", "check fifo", "convert fifo", "check ."}) {
    const RunResult r = run_with_args(dir, args, "/dev/null", 20);
    ASSERT_EQ(unacceptable(r), "") << args;
    EXPECT_EQ(r.status, 2) << args << ": " << r.err;
    EXPECT_TRUE(has(r.err, "not a regular file") || has(r.err, "is a folder, not a deck")) << r.err;
    EXPECT_FALSE(has(r.err, "ends after line 0")) << r.err;
  }
}

// /dev/zero and a 2 GB hole used to be read whole and end on bad_alloc.
TEST(HugeInput, DeckAndPorosityFilesAreBoundedAsTheyAreRead) {
  const std::string dir = example_dir("fractal");
  write_file(dir + "/hole", "");
  ASSERT_EQ(::truncate((dir + "/hole").c_str(), 2LL << 30), 0);
  for (const char* args : {"check hole", "convert hole", "run hole -o out"}) {
    const RunResult r = run_with_args(dir, args, "/dev/null", 20);
    ASSERT_EQ(unacceptable(r), "") << args;
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_TRUE(has(r.err, "more than a deck's 4.0 MiB")) << args << ": " << r.err;
  }
  tp::testing::Streams zero;
  zero.in = "/dev/zero";
  const RunResult legacy = run_program(dir, "", zero, 20);
  EXPECT_EQ(legacy.status, 2) << legacy.err;
  EXPECT_TRUE(has(legacy.err, "standard input: the deck passes 4.0 MiB")) << legacy.err;
  // A porosity file of zeros: refused at its first byte, naming the line.
  std::filesystem::rename(dir + "/hole", dir + "/porosity.frac");
  const RunResult frac = run_with_args(dir, "check deck", "/dev/null", 20);
  EXPECT_EQ(frac.status, 2);
  EXPECT_TRUE(has(frac.err, "porosity.frac, line 1: a NUL byte in column 1")) << frac.err;
}

// A NUL read as 0 let `check` promise a run that then failed without
// naming the file.
TEST(ControlBytes, NulInPorosityFileIsRefusedNamingFileAndLine) {
  const std::string dir = example_dir("fractal");
  std::vector<std::string> lines = split_lines(read_file(dir + "/porosity.frac"));
  lines[16] = std::string("  0.25\0\0", 8);
  write_file(dir + "/porosity.frac", join_lines(lines));
  const RunResult r = run_with_args(dir, "check deck");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(has(r.err, "porosity.frac, line 17: a NUL byte in column 7")) << r.err;
  EXPECT_FALSE(has(r.out, "the run would start"));
}

TEST(ControlBytes, EscapesAndBellsOfADeckAreShownEscaped) {
  const std::string dir = example_dir("permafrost");
  const RunResult r =
      run_program(dir, join_lines(with_field(example_lines("permafrost"), "nx", "\x1b[2J\a")));
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(has(r.err, "found \"\\x1b[2J\\x07\"")) << r.err;
  EXPECT_FALSE(has(r.err, "\x1b")) << "a raw escape reached the terminal";
}

// `check` and `run` read a legacy deck by name: the messages name the file;
// the legacy invocation keeps "standard input".
TEST(DeckName, LegacyDeckReadByNameIsNamedInItsMessages) {
  const std::string dir = example_dir("permafrost");
  write_file(dir + "/bad", join_lines(with_field(example_lines("permafrost"), "nx", "x")));
  for (const char* args : {"check bad", "run bad -o out"}) {
    const RunResult r = run_with_args(dir, args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_TRUE(has(r.err, "bad, line 5: an integer expected for nx")) << args << ": " << r.err;
    EXPECT_FALSE(has(r.err, "standard input")) << r.err;
  }
  const RunResult legacy = run_program(dir, read_file(dir + "/bad"));
  EXPECT_TRUE(has(legacy.err, "threephase: standard input, line 5:")) << legacy.err;
}

TEST(DeckName, ByteOrderMarkLeavesAKeywordDeckAKeywordDeck) {
  const std::string dir = example_dir("permafrost");
  write_file(dir + "/bom.toml", "\xEF\xBB\xBF" + read_file(dir + "/deck.toml"));
  const RunResult r = run_with_args(dir, "check bom.toml");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "keyword \"")) << r.out;
}

// ---- values that overflow the arithmetic ----

// Each used to end normally with NaN moduli (40 for the legacy run, 0 for
// `run`, whose summary then showed "velocity 0 m/s").
struct Overflow {
  const char* field;
  const char* value;
  const char* words;
};

void expect_refused(const Overflow* cases, int n) {
  const std::string dir = example_dir("permafrost");
  for (int i = 0; i < n; ++i) {
    const Overflow& c = cases[i];
    const RunResult r =
        run_program(dir, join_lines(with_field(example_lines("permafrost"), c.field, c.value)));
    ASSERT_EQ(unacceptable(r), "") << c.field << " = " << c.value;
    EXPECT_EQ(r.status, 2) << c.field;
    EXPECT_TRUE(has(r.err, c.words)) << r.err;
    EXPECT_FALSE(has(r.err, "positive definite")) << "NaN called positive definite: " << r.err;
  }
}

// `run` of the permafrost keyword deck with the text `was` made `is`: refused
// with `words`, leaving no results folder.
void expect_keyword_run_refused(const std::string& was, const std::string& is,
                                const std::string& words) {
  const std::string dir = example_dir("permafrost");
  std::string toml = read_file(dir + "/deck.toml");
  toml.replace(toml.find(was), was.size(), is);
  write_file(dir + "/changed.toml", toml);
  const RunResult r = run_with_args(dir, "run changed.toml -o out");
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_TRUE(has(r.err, words)) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir + "/out"));
}

TEST(NonFinite, OverflowingCoefficientsAreRefusedNamingTheCellAndTheQuantity) {
  const Overflow cases[] = {
      {"ak_s1(1)", "1.0e300", "the coefficients, cell (j, k) = (1, 1): lambda1 = NaN"}};
  expect_refused(cases, 1);
  // A keyword deck's viscosity of 1e300 Pa s: an infinite friction.
  expect_keyword_run_refused("eta = 0.001", "eta = 1e300",
                             "the coefficients, cell (j, k) = (1, 1): f11 = inf");
}

// Enabled once the driver calls non_finite_result between post_process and
// write_results (the writer itself reports what it is given).
TEST(NonFinite, OverflowingResultsAreRefusedNamingTheQuantity) {
  const Overflow cases[] = {
      {"domain_size", "1e200", "threephase: the post-processing: deltavol1 = NaN is not a finite"},
      {"domain_size", "1e-320", "threephase: the post-processing: mstar = NaN is not a finite"},
  };
  expect_refused(cases, 2);
  expect_keyword_run_refused("freq = 100.0", "freq = 1e300", "is not a finite number");
}

}  // namespace
