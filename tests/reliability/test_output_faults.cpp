// Output that cannot be written: standard output on a full device or
// closed, result files that cannot be created or that refuse their lines.
// The run must end with a message on standard error naming what failed and
// exit status 2: never the normal end (40) after losing lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "reliability/reliability.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp::reliability;
using tp::testing::read_file;
namespace fs = std::filesystem;

std::string deck_of(const std::string& dir) { return read_file(dir + "/deck"); }

void expect_output_lost(const RunResult& o, const std::string& message) {
  ASSERT_TRUE(o.exited && !o.timed_out) << o.err;
  EXPECT_EQ(o.status, 2) << o.err;
  EXPECT_NE(o.err.find(message), std::string::npos) << o.err;
  EXPECT_EQ(o.err.find("STOP 40"), std::string::npos) << o.err;
}

TEST(LostStandardOutput, FullDeviceEndsTheRunNamingStandardOutput) {
  const std::string dir = example_dir("permafrost");
  Streams s;
  s.out = "/dev/full";
  const RunResult o = run_program(dir, deck_of(dir), s);
  expect_output_lost(
      o, "threephase: standard output: cannot write the output (No space left on device)");
}

TEST(LostStandardOutput, ShortReportLostAtTheStopKeepsTheStopCodeInTheMessage) {
  // The ice check stops after a few lines, still in the buffer: the loss
  // shows at the stop's flush.
  const std::string dir = example_dir("permafrost");
  std::string deck = deck_of(dir);
  deck.replace(deck.find("0.1                 phi_layer(1)"), 3, "0.5");
  Streams s;
  s.out = "/dev/full";
  const RunResult o = run_program(dir, deck, s);
  expect_output_lost(o,
                     "threephase: standard output: cannot write the output (No space left on "
                     "device); the run was ending with code 11");
  EXPECT_EQ(o.err.find("STOP 11"), std::string::npos);
}

TEST(LostStandardOutput, ClosedDescriptorIsRefusedBeforeAFileCanTakeItsPlace) {
  // With descriptor 1 closed the first result file would receive the report.
  const std::string dir = example_dir("permafrost");
  Streams s;
  s.close_stdout = true;
  const RunResult o = run_program(dir, deck_of(dir), s);
  expect_output_lost(o,
                     "threephase: standard output: cannot write the output (Bad file descriptor)");
  EXPECT_FALSE(fs::exists(dir + "/vp_anal.phiw"));
}

class LostResultFile : public ::testing::TestWithParam<const char*> {};

TEST_P(LostResultFile, WritesThatFailEndTheRunNamingTheFile) {
  // The file is a link to a full device: it opens, and its lines fail when
  // the buffer is written, in the middle of a map, at its close or at the
  // final stop.
  const std::string dir = example_dir("permafrost");
  fs::create_symlink("/dev/full", dir + "/" + GetParam());
  const RunResult o = run_program(dir, deck_of(dir));
  expect_output_lost(o, std::string("threephase: ") + GetParam() +
                            ": cannot write the output (No space left on device)");
}

INSTANTIATE_TEST_SUITE_P(Permafrost, LostResultFile,
                         ::testing::Values("vp_anal.phiw",      // one line, lost at the final stop
                                           "real_strain1_map",  // 400 lines, lost mid-map
                                           "matnum_p33",        // lost when the driver closes it
                                           "xmu1_gnu",          // a coefficient map
                                           "b12_gnu"),          // a friction map
                         [](const auto& p) {
                           std::string n = p.param;
                           for (char& c : n)
                             if (c == '.') c = '_';
                           return n;
                         });

TEST(UncreatableResultFile, FolderInTheWayIsNamedWithTheReason) {
  const std::string dir = example_dir("permafrost");
  fs::create_directory(dir + "/1000_over_q_eq.phiw");
  const RunResult o = run_program(dir, deck_of(dir));
  expect_output_lost(
      o, "threephase: 1000_over_q_eq.phiw: cannot create the file for writing (Is a directory)");
}

TEST(UncreatableResultFile, ReadOnlyWorkingFolderIsNamedWithTheReason) {
  if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes into read-only folders";
  const std::string dir = example_dir("permafrost");
  const std::string elsewhere = tp::testing::fresh_dir("rel_ro_streams");
  tp::testing::write_file(elsewhere + "/deck", deck_of(dir));
  Streams s;
  s.in = elsewhere + "/deck";
  s.out = elsewhere + "/stdout.txt";
  s.err = elsewhere + "/stderr.txt";
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  const RunResult o = run_program(dir, "", s);
  fs::permissions(dir, fs::perms::owner_all);
  expect_output_lost(
      o, "threephase: vp_anal.phiw: cannot create the file for writing (Permission denied)");
}

}  // namespace
