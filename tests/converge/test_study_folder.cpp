// The study's folder: any name is only a name, it never swallows the deck,
// a write fault is an output error, and an earlier study survives a re-run
// that fails or is interrupted. Levels here are small scripts standing in
// for the program where the test needs a result it knows, a failure or a
// run that lasts.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include "converge/study.hpp"
#include "support/deck_edit.hpp"
#include "support/run.hpp"
#include "support/testing.hpp"

namespace {

namespace fs = std::filesystem;
using namespace tp::testing;

// The permafrost example on a 4 by 4 grid in dir/case, with its side files.
std::string small_case(const std::string& dir) {
  fs::create_directories(dir + "/case");
  copy_example("permafrost", dir + "/case");
  std::vector<std::string> lines = example_lines("permafrost");
  lines = with_field(lines, "nx", "4");
  lines = with_field(lines, "ny", "4");
  write_file(dir + "/case/deck", join_lines(lines));
  return dir + "/case/deck";
}

// A shell script standing in for the program at each level.
std::string level_script(const std::string& dir, const std::string& name, const std::string& body) {
  const std::string path = dir + "/" + name;
  write_file(path, "#!/bin/sh\n" + body);
  ::chmod(path.c_str(), 0755);
  return path;
}

// A level whose every result is 3000 + 2e5 h^1.5 (the cell side h from the
// deck's sample size and ny), printed under the report's labels.
const char* kPowerLaw =
    "awk 'NR == 4 {d = $1} NR == 6 {n = $1} END {h = d / n; f = 3000 + 2.0e5 * h^1.5;\n"
    "  printf \" from deltavol1 Velocity(m/s) FE = %.17g\\n\", f\n"
    "  printf \" from deltavol1 1000/Q FE = %.17g\\n\", f\n"
    "  printf \" using averages Velocity(m/s) FE = %.17g\\n\", f\n"
    "  printf \" using averages 1000/Q FE = %.17g\\n\", f\n"
    "  printf \" vp1 = %.17g m/s atp1 = 0 1000/qp1 %.17g\\n\", f, f}'\n"
    "exit 40\n";

// The cell of `column` in the row of `quantity` of a converge.csv.
std::string csv_cell(const std::string& csv, const std::string& quantity,
                     const std::string& column) {
  const std::vector<std::string> rows = split_lines(csv);
  auto cells = [](const std::string& row) {
    std::vector<std::string> c;
    std::istringstream in(row);
    std::string cell;
    while (std::getline(in, cell, ',')) c.push_back(cell);
    return c;
  };
  const std::vector<std::string> head = cells(rows.at(0));
  for (const std::string& row : rows) {
    const std::vector<std::string> c = cells(row);
    if (c.empty() || c[0] != quantity) continue;
    for (std::size_t i = 0; i < head.size() && i < c.size(); ++i)
      if (head[i] == column) return c[i];
  }
  return "";
}

// The names in a folder, hidden ones included, but for the streams of the
// runs started there.
std::vector<std::string> entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name != "stdout.txt" && name != "stderr.txt") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

tp::ConvergeOptions study(const std::string& deck, const std::string& out,
                          const std::string& program, const char* refine = "1,2") {
  tp::ConvergeOptions o;
  o.deck = deck;
  o.out_dir = out;
  o.program = program;
  EXPECT_TRUE(tp::parse_refinements(refine, o.refine));
  return o;
}

TEST(StudyFolder, QuotesAndShellWordsInItsNameAreOnlyAName) {
  const std::string dir = fresh_dir("converge_names");
  const std::string deck = small_case(dir);
  for (const std::string name : {"Bob's study", "st'; touch X; echo '"}) {
    const RunResult r = run_argv(dir, {"converge", deck, "--refine", "1,2", "-o", name});
    ASSERT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_NE(read_file(dir + "/" + name + "/converge.csv").find("c33_velocity"),
              std::string::npos);
    EXPECT_TRUE(fs::is_directory(dir + "/" + name + "/level_2")) << name;
    // The program draws nothing: the figure is the Python package's.
    EXPECT_FALSE(fs::exists(dir + "/" + name + "/converge.png")) << name;
  }
  EXPECT_FALSE(fs::exists(dir + "/X")) << "a folder's name ran as a command";
  EXPECT_EQ(entries(dir),
            (std::vector<std::string>{"Bob's study", "case", "st'; touch X; echo '"}));
}

TEST(StudyFolder, RefusesAFolderHoldingTheDeckASideFileOrOtherFiles) {
  const std::string dir = fresh_dir("converge_refuse");
  const std::string deck = small_case(dir);
  // A side file that is a link into a folder of shared references.
  fs::create_directories(dir + "/shared");
  fs::rename(dir + "/case/elast_coef_sand", dir + "/shared/elast_coef_sand");
  fs::create_symlink(dir + "/shared/elast_coef_sand", dir + "/case/elast_coef_sand");
  fs::create_directories(dir + "/notes");
  write_file(dir + "/notes/keep.txt", "");
  for (const std::string& out :
       std::vector<std::string>{"case", "case/", ".", dir, "shared", "notes"}) {
    const RunResult r = run_argv(dir, {"converge", deck, "--refine", "1,2", "-o", out});
    EXPECT_EQ(r.status, 2) << out << ": " << r.err;
    EXPECT_NE(r.err.find(out == "notes" ? "no earlier study" : "which the study reads"),
              std::string::npos)
        << out << ": " << r.err;
  }
  EXPECT_EQ(entries(dir), (std::vector<std::string>{"case", "notes", "shared"}));
  EXPECT_EQ(entries(dir + "/case").size(), 4u);
  EXPECT_TRUE(fs::exists(dir + "/shared/elast_coef_sand"));
  EXPECT_TRUE(fs::exists(dir + "/notes/keep.txt"));
}

TEST(StudyFolder, FolderThatCannotBeWrittenIsAnOutputError) {
  const std::string dir = fresh_dir("converge_unwritable");
  const std::string deck = small_case(dir);
  write_file(dir + "/file", "");
  fs::create_directories(dir + "/locked");
  ::chmod((dir + "/locked").c_str(), 0555);  // stops all but root; /proc stops root too
  for (const std::string& out :
       std::vector<std::string>{dir + "/file/study", "/proc/threephase-study", dir + "/locked/s"}) {
    if (out.find("locked") != std::string::npos && ::geteuid() == 0) continue;
    const RunResult r = run_argv(dir, {"converge", deck, "--refine", "1,2", "-o", out});
    EXPECT_EQ(r.status, 5) << out << ": " << r.err;
  }
}

// Refinements 1, 2, 3 give cell ratios 2 and 1.5: the order and the limit
// of a known power law come back only when each ratio goes with its pair
// of levels.
TEST(StudyFolder, UnequalRatiosGiveTheOrderAndLimitOfAPowerLaw) {
  const std::string dir = fresh_dir("converge_power_law");
  const std::string deck = small_case(dir);
  const std::string level = level_script(dir, "level", kPowerLaw);
  ASSERT_EQ(tp::converge_study(study(deck, dir + "/s", level, "1,2,3")), 0);
  const std::string csv = read_file(dir + "/s/converge.csv");
  for (const char* q : {"c33_velocity", "mstar_1000_over_q"}) {
    EXPECT_NEAR(std::stod(csv_cell(csv, q, "order")), 1.5, 1e-7) << csv;
    EXPECT_NEAR(std::stod(csv_cell(csv, q, "extrapolated")), 3000.0, 1e-6) << csv;
    // The finest value, h = 0.025, is 2e5 0.025^1.5 = 790.6 away from it.
    EXPECT_NEAR(std::stod(csv_cell(csv, q, "error")), 2.0e5 * std::pow(0.025, 1.5), 1e-6);
    EXPECT_EQ(csv_cell(csv, q, "verdict"), "converging");
  }
}

TEST(StudyFolder, FailedRerunLeavesTheEarlierStudyAsItWas) {
  const std::string dir = fresh_dir("converge_rerun");
  const std::string deck = small_case(dir);
  const std::string good = level_script(dir, "good", kPowerLaw);
  const std::string bad = level_script(dir, "bad", "echo 'level broke' >&2\nexit 1\n");
  ASSERT_EQ(tp::converge_study(study(deck, dir + "/s", good)), 0);
  const std::string csv = read_file(dir + "/s/converge.csv");
  const std::string json = read_file(dir + "/s/converge.json");
  EXPECT_NE(tp::converge_study(study(deck, dir + "/s", bad, "1,2,4")), 0);
  EXPECT_EQ(read_file(dir + "/s/converge.csv"), csv);
  EXPECT_EQ(read_file(dir + "/s/converge.json"), json);
  EXPECT_EQ(entries(dir + "/s"),
            (std::vector<std::string>{"converge.csv", "converge.json", "level_1", "level_2"}));
  EXPECT_EQ(entries(dir), (std::vector<std::string>{"bad", "case", "good", "s"}));
  // A re-run that succeeds replaces it whole.
  ASSERT_EQ(tp::converge_study(study(deck, dir + "/s", good, "1,4")), 0);
  EXPECT_EQ(entries(dir + "/s"),
            (std::vector<std::string>{"converge.csv", "converge.json", "level_1", "level_4"}));
}

// An interrupt ends the running level, removes the staging folder and
// leaves the earlier study; the study itself ends by the signal.
TEST(StudyFolder, InterruptedRerunEndsItsLevelsAndLeavesTheEarlierStudy) {
  for (int sig : {SIGINT, SIGTERM, SIGKILL}) {
    const std::string dir = fresh_dir("converge_interrupt");
    const std::string deck = small_case(dir);
    ASSERT_EQ(tp::converge_study(study(deck, dir + "/s", level_script(dir, "good", kPowerLaw))), 0);
    const std::string csv = read_file(dir + "/s/converge.csv");
    const std::string pid_file = dir + "/level.pid";
    const std::string slow =
        level_script(dir, "slow", "echo $$ > " + pid_file + "\nexec sleep 60\n");
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) ::_exit(tp::converge_study(study(deck, dir + "/s", slow, "1,2,4")));
    for (int i = 0; i < 2000 && read_file(pid_file).empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const pid_t level = std::atoi(read_file(pid_file).c_str());
    ASSERT_GT(level, 0);
    ::kill(child, sig);
    int raw = 0;
    ::waitpid(child, &raw, 0);
    EXPECT_TRUE(WIFSIGNALED(raw) && WTERMSIG(raw) == sig) << "status " << raw;
    // Killed outright the study cannot clean up, but its levels still end.
    for (int i = 0; i < 200 && ::kill(level, 0) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(::kill(level, 0), -1) << "the level's run goes on after the study ended";
    EXPECT_EQ(read_file(dir + "/s/converge.csv"), csv);
    if (sig == SIGKILL) continue;  // its staging folder stays, as after any kill -9
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"case", "good", "level.pid", "s", "slow"}));
  }
}

}  // namespace
