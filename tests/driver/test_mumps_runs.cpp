// Whole runs with MUMPS in place of the own solver: every finite-element
// result (the moduli mstar and c33, velocities, 1000/Q, the maps) agrees
// with the own solver's to 1e-10 of its scale, everything else is identical,
// and MUMPS's failures end the run with a message and a nonzero status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "sparse/mumps_solver.hpp"
#include "support/deck_edit.hpp"
#include "support/maps.hpp"
#include "support/report.hpp"
#include "support/run.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp::testing;
namespace fs = std::filesystem;

// Runs the program in dir with the solver chosen through the environment.
RunResult run_with(const std::string& dir, const std::string& solver,
                   const char* extra_name = nullptr, const char* extra_value = nullptr) {
  setenv("THREEPHASE_SOLVER", solver.c_str(), 1);
  if (extra_name) setenv(extra_name, extra_value, 1);
  const RunResult r = run_program(dir, read_file(dir + "/deck"));
  unsetenv("THREEPHASE_SOLVER");
  if (extra_name) unsetenv(extra_name);
  return r;
}

// A case folder: an example or a regression deck copied into dir, over the
// reference files of the permafrost example (regression folders hold only
// their deck and porosity file).
void copy_case(const std::string& src, const std::string& dir) {
  copy_example("permafrost", dir);
  for (const auto& e : fs::directory_iterator(src))
    if (e.is_regular_file())
      fs::copy_file(e.path(), fs::path(dir) / e.path().filename(),
                    fs::copy_options::overwrite_existing);
}

std::vector<std::string> tokens(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> t;
  for (std::string w; in >> w;) t.push_back(w);
  return t;
}

bool number(const std::string& t, double& v) {
  char* end = nullptr;
  v = std::strtod(t.c_str(), &end);
  return end != t.c_str() && *end == '\0';
}

// One unit in the last printed digit of a number token ("1.1702" 1e-4,
// "0.10148E-06" 1e-11): values printed to few figures agree to that.
double printed_unit(const std::string& t) {
  const auto dot = t.find('.');
  if (dot == std::string::npos) return 0;
  const auto e = t.find_first_of("Ee");
  const int decimals = static_cast<int>((e == std::string::npos ? t.size() : e) - dot - 1);
  const int exponent = e == std::string::npos ? 0 : std::atoi(t.c_str() + e + 1);
  return std::pow(10.0, exponent - decimals);
}

// Two texts agree: the same lines and words, numbers within tol * scale of
// each line (scale_of gives it from the reference line's numbers).
template <class Scale>
void expect_close_text(const std::string& name, const std::string& want, const std::string& got,
                       double tol, Scale scale_of) {
  const auto a = split_lines(want), b = split_lines(got);
  ASSERT_EQ(a.size(), b.size()) << name;
  for (std::size_t l = 0; l < a.size(); ++l) {
    const auto ta = tokens(a[l]), tb = tokens(b[l]);
    ASSERT_EQ(ta.size(), tb.size()) << name << " line " << l + 1;
    std::vector<double> nums;
    double v = 0;
    for (const auto& t : ta)
      if (number(t, v)) nums.push_back(v);
    const double scale = scale_of(a[l], nums);
    for (std::size_t i = 0; i < ta.size(); ++i) {
      double x = 0, y = 0;
      if (number(ta[i], x) && number(tb[i], y)) {
        EXPECT_LE(std::abs(x - y), std::max(tol * scale, printed_unit(ta[i])))
            << name << " line " << l + 1 << ": " << a[l] << " | " << b[l];
      } else {
        EXPECT_EQ(ta[i], tb[i]) << name << " line " << l + 1;
      }
    }
  }
}

// Scale of a report line. Complex pairs (deltavol, av_strain, Re/Im lines
// by their pair) by their modulus, velocities by themselves; 1000/Q =
// 1000 Im/Re moves by 1000 times the modulus's relative error (times 1 +
// |Im/Re|); Q itself is left out, unbounded for a nearly elastic average.
double report_scale(const std::string& line, const std::vector<double>& nums,
                    const std::map<std::string, double>& moduli) {
  double s = 0;
  for (double v : nums) s = std::hypot(s, v);
  if (line.find("1000/Q") != std::string::npos) return 1000.0 + std::abs(nums.back());
  if (line.find(" Q FE") != std::string::npos) return HUGE_VAL;
  for (const auto& [key, modulus] : moduli)
    if (line.find(key) != std::string::npos) return modulus;
  return s;
}

// The own run's moduli |mstar| and |c33| from their Re/Im report lines.
std::map<std::string, double> report_moduli(const std::string& report) {
  std::map<std::string, double> m;
  for (const char* key : {"(p33) FE mstar", "(c33) FE"}) {
    double s = 0;
    for (const auto& line : split_lines(report))
      if (line.find(key) != std::string::npos) s = std::hypot(s, std::stod(tokens(line).back()));
    m[key] = s;
  }
  return m;
}

// Largest magnitude over the cells of the map files named.
double map_scale(const std::string& dir, std::initializer_list<std::string> names) {
  double s = 0;
  for (const auto& name : names)
    for (const auto& c : read_map(dir + "/" + name)) s = std::max(s, std::abs(c.value));
  return s;
}

// Every output of the two runs: identical where no solution enters,
// within tol of its scale where it does.
void expect_same_results(const std::string& own, const std::string& other, double tol) {
  // A MUMPS run adds one line of its counts; the running time is the clock's.
  const auto results = [](const std::string& path) {
    std::string kept;
    for (const auto& line : split_lines(without_running_time(read_file(path))))
      if (line.find(" solver MUMPS:") != 0) kept += line + "\n";
    return kept;
  };
  const std::string rep = results(own + "/stdout.txt");
  const auto moduli = report_moduli(rep);
  expect_close_text("report", rep, results(other + "/stdout.txt"), tol,
                    [&](const std::string& l, const std::vector<double>& n) {
                      return report_scale(l, n, moduli);
                    });
  for (const std::string& f : result_files()) {
    const std::string a = read_file(own + "/" + f), b = read_file(other + "/" + f);
    const bool map = f.find("_map") != std::string::npos || f.rfind("mod_", 0) == 0;
    if (!map && f != "vp_eq.phiw" && f != "1000_over_q_eq.phiw" && f != "mstar3_solid3") {
      EXPECT_EQ(a, b) << f << " does not depend on the solution";
      continue;
    }
    // A map's scale is its largest value, shared by the real and imaginary
    // parts of the same field; the sweep tables' by their line.
    double scale = map ? map_scale(own, {f}) : 0;
    if (f.rfind("real_", 0) == 0 || f.rfind("imag_", 0) == 0)
      scale = map_scale(own, {"real_" + f.substr(5), "imag_" + f.substr(5)});
    expect_close_text(f, a, b, tol, [&](const std::string&, const std::vector<double>& n) {
      if (map) return scale;
      if (f == "1000_over_q_eq.phiw") return 1000.0 + std::abs(n.back());
      double s = 0;
      for (std::size_t i = 1; i < n.size(); ++i) s = std::hypot(s, n[i]);
      return s;
    });
  }
}

#define REQUIRE_MUMPS() \
  if (!tp::kHaveMumps) GTEST_SKIP() << "built without MUMPS"

class MumpsAgrees : public ::testing::TestWithParam<const char*> {};

// Examples and regression decks: MUMPS's pivoting LU and the own solver's
// no-pivot LU in its minimum-degree order differ only by rounding.
TEST_P(MumpsAgrees, WithTheOwnSolverOnEveryFiniteElementResult) {
  REQUIRE_MUMPS();
  const std::string src = source_path(GetParam());
  const std::string name =
      fs::path(src).parent_path().filename().string() + "-" + fs::path(src).filename().string();
  const std::string own = fresh_dir("own-" + name), mumps = fresh_dir("mumps-" + name);
  copy_case(src, own);
  copy_case(src, mumps);
  const auto r1 = run_with(own, "own");
  const auto r2 = run_with(mumps, "mumps");
  ASSERT_EQ(r1.status, 40) << r1.err;
  ASSERT_EQ(r2.status, 40) << r2.err;
  EXPECT_NE(r2.out.find(" solver MUMPS: factor entries="), std::string::npos);
  EXPECT_EQ(r1.err, r2.err);
  expect_same_results(own, mumps, 1e-10);
}

INSTANTIATE_TEST_SUITE_P(
    Decks, MumpsAgrees,
    ::testing::Values("examples/permafrost", "examples/shaley_sand", "examples/fractal",
                      "tests/driver/regression/layered_permafrost",
                      "tests/driver/regression/one_cell", "tests/driver/regression/three_by_seven",
                      "tests/driver/regression/two_by_two", "tests/driver/regression/fractal",
                      "tests/driver/regression/shaley_sand"),
    [](const auto& p) {
      const fs::path path(p.param);
      return path.parent_path().filename().string() + "_" + path.filename().string();
    });

// Factors on disk and METIS's order change only the rounding.
TEST(MumpsVariants, OutOfCoreFactorsAndMetisOrderAgreeWithTheOwnSolver) {
  REQUIRE_MUMPS();
  const std::string own = fresh_dir("own-variants");
  copy_case(source_path("examples/fractal"), own);
  ASSERT_EQ(run_with(own, "own").status, 40);
  const std::pair<const char*, const char*> settings[] = {{"THREEPHASE_MUMPS_OOC", "1"},
                                                          {"THREEPHASE_MUMPS_ORDER", "metis"}};
  for (const auto& [name, value] : settings) {
    if (std::string(value) == "metis" && !tp::kHaveMetis) continue;
    const std::string dir = fresh_dir(std::string("mumps-") + value);
    copy_case(source_path("examples/fractal"), dir);
    const auto r = run_with(dir, "mumps", name, value);
    ASSERT_EQ(r.status, 40) << name << ": " << r.err;
    expect_same_results(own, dir, 1e-10);
  }
}

// The largest legacy grid and grids past the legacy tables: the permafrost
// deck at nx by ny.
class MumpsLargeGrid : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(MumpsLargeGrid, AgreesWithTheOwnSolver) {
  REQUIRE_MUMPS();
  const auto [nx, ny] = GetParam();
  const std::string tag = std::to_string(nx) + "x" + std::to_string(ny);
  const std::string own = fresh_dir("own-" + tag), mumps = fresh_dir("mumps-" + tag);
  const std::string deck = join_lines(with_field(
      with_field(example_lines("permafrost"), "nx", std::to_string(nx)), "ny", std::to_string(ny)));
  for (const auto& d : {own, mumps}) {
    copy_case(source_path("examples/permafrost"), d);
    write_file(d + "/deck", deck);
  }
  const auto r1 = run_with(own, "own");
  if (r1.status == 2 && r1.err.find("60") != std::string::npos)
    GTEST_SKIP() << "this build refuses grids past 60 by 60: " << r1.err;
  ASSERT_EQ(r1.status, 40) << r1.err;
  const auto r2 = run_with(mumps, "mumps");
  ASSERT_EQ(r2.status, 40) << r2.err;
  EXPECT_EQ(r1.err, r2.err);
  expect_same_results(own, mumps, 1e-10);
}

INSTANTIATE_TEST_SUITE_P(PastTheTables, MumpsLargeGrid,
                         ::testing::Values(std::pair{60, 60}, std::pair{61, 61}, std::pair{1, 300},
                                           std::pair{250, 2}),
                         [](const auto& p) {
                           return std::to_string(p.param.first) + "x" +
                                  std::to_string(p.param.second);
                         });

// The permafrost example run in a fresh dir with one more variable set.
RunResult permafrost_with(std::string& dir, const char* solver, const char* name = nullptr,
                          const char* value = nullptr) {
  dir = fresh_dir(std::string("mumps-") + solver + (name ? name : ""));
  copy_example("permafrost", dir);
  return run_with(dir, solver, name, value);
}

TEST(MumpsRun, FailureForcedByATinyMemoryCapIsAClearSolverStop) {
  REQUIRE_MUMPS();
  std::string dir;
  const auto r = permafrost_with(dir, "mumps", "THREEPHASE_MUMPS_MEMORY_CAP", "1");
  EXPECT_EQ(r.status, 99);
  EXPECT_NE(r.err.find("threephase: MUMPS"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("memory"), std::string::npos) << r.err;
  EXPECT_EQ(split_lines(r.err).back(), "STOP 99");
  EXPECT_NE(r.out.find("MUMPS INFOG(1)= -"), std::string::npos);
}

TEST(MumpsRun, EstimateAboveTheMemoryLimitStopsBeforeFactorizing) {
  REQUIRE_MUMPS();
  std::string dir;
  const auto r = permafrost_with(dir, "mumps", "THREEPHASE_MAX_MEMORY", "1M");
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("needs about"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the limit is 1.0 MiB"), std::string::npos) << r.err;
  EXPECT_EQ(split_lines(r.err).back(), "STOP 3");
  EXPECT_EQ(read_file(dir + "/vp_eq.phiw"), "") << "no result after a refusal";
}

// A build without the solver packages refuses the choice before any
// result file is created, and says why.
TEST(MumpsRun, BuildWithoutMumpsRefusesTheChoiceAsBadInput) {
  if (tp::kHaveMumps) GTEST_SKIP() << "this build has MUMPS";
  std::string dir;
  const auto r = permafrost_with(dir, "mumps");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("this build has no MUMPS"), std::string::npos) << r.err;
  EXPECT_EQ(read_file(dir + "/vp_eq.phiw"), "") << "no result file from a refused run";
}

TEST(MumpsRun, UnknownSolverNameIsBadInput) {
  std::string dir;
  const auto r = permafrost_with(dir, "fastest");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("THREEPHASE_SOLVER"), std::string::npos) << r.err;
}

#if defined(THREEPHASE_HAVE_MPI)
// The same build under mpirun with two processes: rank 0 runs the sample,
// rank 1 takes part in the factorization; only the rounding of the
// distributed factorization may differ.
TEST(MumpsMpi, TwoProcessesAgreeWithOneTo1e12) {
  const std::string one = fresh_dir("mpi-1"), two = fresh_dir("mpi-2");
  copy_example("permafrost", one);
  copy_example("permafrost", two);
  const auto r1 = run_with(one, "mumps");
  ASSERT_EQ(r1.status, 40) << r1.err;
  setenv("THREEPHASE_SOLVER", "mumps", 1);
  const std::string cmd = "cd " + shell_quote(two) +
                          " && timeout 300 mpirun --allow-run-as-root --oversubscribe -np 2 " +
                          shell_quote(THREEPHASE_EXE) + " < deck > stdout.txt 2> stderr.txt";
  const int raw = std::system(cmd.c_str());
  unsetenv("THREEPHASE_SOLVER");
  ASSERT_TRUE(WIFEXITED(raw));
  // Under mpirun the normal end is status 0, the launcher's success (with
  // 40 it would call the job failed and hold it for its kill timeouts); the
  // stop line stays, after the deck's warnings, with nothing of mpirun's.
  EXPECT_EQ(WEXITSTATUS(raw), 0) << read_file(two + "/stderr.txt");
  EXPECT_EQ(without_warnings(read_file(two + "/stderr.txt")), "STOP 40\n");
  expect_same_results(one, two, 1e-12);
}

// Only the legacy invocation spreads a sample over MPI processes: under
// mpirun `run` is refused at once, with the command that works, instead of
// hanging; nothing is written.
TEST(MumpsMpi, RunCommandUnderMpirunIsRefusedWithTheWayThatWorks) {
  const std::string dir = fresh_dir("mpi-run");
  copy_example("permafrost", dir);
  const std::string cmd = "cd " + shell_quote(dir) +
                          " && timeout 120 mpirun --allow-run-as-root --oversubscribe -np 2 " +
                          shell_quote(THREEPHASE_EXE) +
                          " run deck -o out > stdout.txt 2> stderr.txt";
  const int raw = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 2) << read_file(dir + "/stderr.txt");
  EXPECT_NE(read_file(dir + "/stderr.txt").find("mpirun -np N threephase --solver mumps < DECK"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(dir + "/out"));
}

// mpirun -np RANKS threephase run deck ARGS in dir; the launcher's status.
int mpirun_run(const std::string& dir, int ranks, const std::string& args) {
  const std::string cmd = "cd " + shell_quote(dir) +
                          " && timeout 120 mpirun --allow-run-as-root --oversubscribe -np " +
                          std::to_string(ranks) + " " + shell_quote(THREEPHASE_EXE) +
                          " run deck -q " + args + " > stdout.txt 2> stderr.txt";
  const int raw = std::system(cmd.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// A curve spread over more ranks than it has frequencies gathers, on rank
// 0 alone, exactly the points of one process; a rank whose frequency fails
// fails the run with its message, and no rank is left waiting (the
// timeout would end it with 124).
TEST(MumpsMpiCurves, SpreadOverRanksEqualsOneProcessAndAFailingRankFailsTheRun) {
  const std::string dir = fresh_dir("mpi-curve");
  copy_example("fractal", dir);
  ASSERT_EQ(mpirun_run(dir, 3, "-o spread --stiffness full --frequencies 10,1000"), 0)
      << read_file(dir + "/stderr.txt");
  ASSERT_EQ(run_with_args(dir, "run deck -q -o one --stiffness full --frequencies 10,1000").status,
            0);
  const auto curve = [&](const std::string& out) {
    return nlohmann::json::parse(read_file(dir + "/" + out + "/results.json"))["curves"];
  };
  for (const char* m : {"c33", "c11", "c55"})
    EXPECT_EQ(curve("spread")[m]["modulus_pa"], curve("one")[m]["modulus_pa"]) << m;
  EXPECT_EQ(mpirun_run(dir, 2, "-o failed --frequencies 10,1e300"), 2);
  const std::string err = read_file(dir + "/stderr.txt");
  EXPECT_NE(err.find("the curve stopped at 1e+300 Hz"), std::string::npos) << err;
  EXPECT_NE(err.find("rank 1 of the launcher ended its part of the curve"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir + "/failed"));
}
#endif

}  // namespace
