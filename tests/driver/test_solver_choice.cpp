// Which sparse solver a run uses: the command line's choice over the keyword
// deck's, the deck's over THREEPHASE_SOLVER, and with none the own solver
// within the legacy 60 by 60 cells (whose outputs must not change) and
// MUMPS beyond when the build has it. results.json records the one that ran.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "common/stop.hpp"
#include "sparse/mumps_solver.hpp"
#include "support/deck_edit.hpp"
#include "support/run.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp::testing;

// A permafrost sample of nx by ny cells in a fresh folder, as deck (legacy)
// and deck.toml (its keyword twin with `solver` set to keyword_solver).
std::string sample_dir(int nx, int ny, const std::string& keyword_solver, const std::string& tag) {
  const std::string dir = fresh_dir(tag);
  copy_example("permafrost", dir);
  write_file(dir + "/deck", join_lines(with_grid(example_lines("permafrost"), nx, ny)));
  std::string toml = read_file(dir + "/deck.toml");
  const auto set = [&toml](const std::string& key, const std::string& value) {
    const std::size_t at = toml.find("\n" + key + " = ") + 1;
    toml.replace(at, toml.find('\n', at) - at, key + " = " + value);
  };
  set("nx", std::to_string(nx));
  set("ny", std::to_string(ny));
  set("solver", "\"" + keyword_solver + "\"");
  write_file(dir + "/deck.toml", toml);
  return dir;
}

// The solver results.json names after `threephase run ARGS`, with
// THREEPHASE_SOLVER set to env (unset when empty); "" when the run failed.
std::string solver_that_ran(const std::string& dir, const std::string& args,
                            const std::string& env = "") {
  if (!env.empty()) setenv("THREEPHASE_SOLVER", env.c_str(), 1);
  const RunResult r = run_with_args(dir, "run -q " + args + " -o out");
  unsetenv("THREEPHASE_SOLVER");
  EXPECT_EQ(r.status, 0) << args << "\n" << r.err;
  if (r.status != 0) return "";
  return nlohmann::json::parse(read_file(dir + "/out/results.json"))["system"]["solver"];
}

}  // namespace

// The rule looks at each side: 60 by 2 stays within the legacy tables,
// 61 by 2 passes them. The strips keep the runs short.
TEST(SolverChoice, DefaultIsOwnWithinSixtyCellsAndMumpsBeyondWhenBuilt) {
  EXPECT_EQ(solver_that_ran(sample_dir(60, 2, "default", "choice_60"), "deck"), "own");
  EXPECT_EQ(solver_that_ran(sample_dir(2, 60, "default", "choice_2x60"), "deck"), "own");
  const char* beyond = tp::kHaveMumps ? "mumps" : "own";
  EXPECT_EQ(solver_that_ran(sample_dir(61, 2, "default", "choice_61"), "deck"), beyond);
  EXPECT_EQ(solver_that_ran(sample_dir(2, 61, "default", "choice_2x61"), "deck.toml"), beyond);
}

TEST(SolverChoice, CommandLineOverDeckOverEnvironmentOverGrid) {
  if (!tp::kHaveMumps) GTEST_SKIP() << "built without MUMPS";
  const std::string small_own = sample_dir(4, 4, "own", "choice_deck_own");
  EXPECT_EQ(solver_that_ran(small_own, "deck.toml", "mumps"), "own") << "deck over environment";
  EXPECT_EQ(solver_that_ran(small_own, "--solver mumps deck.toml"), "mumps")
      << "command line over deck";
  EXPECT_EQ(solver_that_ran(small_own, "deck", "mumps"), "mumps") << "environment over grid";
  const std::string large_own = sample_dir(61, 2, "default", "choice_env_own");
  EXPECT_EQ(solver_that_ran(large_own, "deck", "own"), "own") << "environment over grid";
  EXPECT_EQ(solver_that_ran(large_own, "--solver own deck", "mumps"), "own")
      << "command line over environment";
}

TEST(SolverChoice, MumpsControlsOnTheCommandLineAreCheckedLikeTheirVariables) {
  const std::string dir = sample_dir(4, 4, "default", "choice_controls");
  RunResult r = run_with_args(dir, "run -q --solver mumps --mumps-order nested deck -o out");
  EXPECT_EQ(r.status, tp::kExitBadInput) << r.err;
  if (!tp::kHaveMumps) {
    r = run_with_args(dir, "run -q --out-of-core deck -o out");
    EXPECT_EQ(r.status, tp::kExitBadInput);
    EXPECT_NE(r.err.find("no MUMPS"), std::string::npos) << r.err;
    return;
  }
  EXPECT_EQ(solver_that_ran(dir, "--solver mumps --out-of-core --mumps-order amd deck"), "mumps");
}
