// The command line: usage and statuses, the legacy run's mends, and `run`
// with its staging folder, results.json and maps.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/stop.hpp"
#include "support/run.hpp"
#include "support/testing.hpp"

namespace tp {
namespace {

namespace fs = std::filesystem;
using namespace tp::testing;
using Json = nlohmann::json;

// A fresh folder with examples/<name>, the deck's lines edited by `edit`.
std::string case_dir(const std::string& name, const std::map<int, std::string>& edit = {}) {
  const std::string dir = fresh_dir("cli_" + name);
  copy_example(name, dir);
  if (!edit.empty()) {
    std::vector<std::string> lines = split_lines(read_file(dir + "/deck"));
    for (const auto& [n, text] : edit) lines[static_cast<std::size_t>(n - 1)] = text;
    std::string deck;
    for (const auto& l : lines) deck += l + "\n";
    write_file(dir + "/deck", deck);
  }
  return dir;
}

// The names and contents of every file under dir.
std::map<std::string, std::string> snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.is_regular_file()) files[fs::relative(e.path(), dir).string()] = read_file(e.path());
  }
  return files;
}

// The number after "label" on the report line that starts with it.
double report_value(const std::string& report, const std::string& label) {
  const std::size_t at = report.find(label);
  if (at == std::string::npos) return NAN;
  return std::strtod(report.c_str() + at + label.size(), nullptr);
}

// The values of a float64 (rows, cols) .npy file, checking its header.
std::vector<double> load_npy(const std::string& path, int rows, int cols) {
  const std::string bytes = read_file(path);
  EXPECT_EQ(bytes.compare(0, 6, "\x93NUMPY"), 0);
  const std::size_t hlen = static_cast<unsigned char>(bytes[8]) |
                           static_cast<std::size_t>(static_cast<unsigned char>(bytes[9])) << 8;
  EXPECT_EQ((10 + hlen) % 64, 0u) << "data aligned for NumPy";
  const std::string header = bytes.substr(10, hlen);
  EXPECT_NE(header.find("'descr': '<f8'"), std::string::npos) << header;
  const std::string shape = "(" + std::to_string(rows) + ", " + std::to_string(cols) + ")";
  EXPECT_NE(header.find(shape), std::string::npos) << header;
  std::vector<double> v(static_cast<std::size_t>(rows * cols));
  EXPECT_EQ(bytes.size(), 10 + hlen + v.size() * 8);
  std::memcpy(v.data(), bytes.data() + 10 + hlen, std::min(v.size() * 8, bytes.size() - 10 - hlen));
  return v;
}

// ---- usage and statuses ----

TEST(CommandLine, HelpAndVersionSucceedOnStandardOutput) {
  const std::string dir = fresh_dir("cli_help");
  RunResult r = run_with_args(dir, "--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("threephase run DECK"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("4 the computation stopped with a stop code"), std::string::npos);
  r = run_with_args(dir, "--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("compiler:"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("-ffp-contract=off"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("MPI:"), std::string::npos) << r.out;
}

TEST(CommandLine, UnknownArgumentsOrAForgottenRedirectionGiveUsageAndStatus2) {
  // `threephase deck`, the `<` forgotten, must not wait silently for a deck.
  const std::string dir = case_dir("permafrost");
  for (const char* args : {"deck", "--frobnicate", "run", "run missing_deck", "--solver fast"}) {
    const RunResult r = run_with_args(dir, args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find("usage: threephase"), std::string::npos) << args << ": " << r.err;
    EXPECT_EQ(r.out, "") << args;
  }
}

TEST(CommandLine, TerminalOnStandardInputGivesUsageNotASilentWait) {
  if (std::system("command -v script > /dev/null") != 0) GTEST_SKIP() << "no script(1)";
  const std::string dir = fresh_dir("cli_tty");
  const std::string cmd = "cd '" + dir + "' && script -qec '" + THREEPHASE_EXE +
                          "' /dev/null < /dev/null > out.txt 2>&1";
  const int raw = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 2);
  EXPECT_NE(read_file(dir + "/out.txt").find("no deck on standard input"), std::string::npos);
}

// ---- the legacy run's mends ----

TEST(LegacyRun, DeckRefusedForItsInputLeavesEarlierResultsUntouched) {
  const std::string dir = case_dir("permafrost");
  ASSERT_EQ(run_program(dir, read_file(dir + "/deck")).status, 40);
  const auto before = snapshot(dir);
  std::vector<std::string> lines = split_lines(read_file(dir + "/deck"));
  lines[0] = "0.0";  // freq = 0 is refused as the deck is read
  std::string bad;
  for (const auto& l : lines) bad += l + "\n";
  const RunResult r = run_program(dir, bad);
  EXPECT_EQ(r.status, 2);
  auto after = snapshot(dir);
  for (const char* own : {"stdin.deck", "stdout.txt", "stderr.txt"}) {
    after.erase(own);
  }
  auto expected = before;
  for (const char* own : {"stdin.deck", "stdout.txt", "stderr.txt"}) expected.erase(own);
  EXPECT_EQ(after, expected) << "no result file emptied, none created";
}

TEST(LegacyRun, MissingPorosityFileIsFoundBeforeAnyResultFileExists) {
  const std::string dir = case_dir("fractal");
  fs::remove(dir + "/porosity.frac");
  const RunResult r = run_program(dir, read_file(dir + "/deck"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("porosity.frac"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir + "/vp_eq.phiw"));
  EXPECT_FALSE(fs::exists(dir + "/matnum_p33"));
}

TEST(LegacyRun, WarningsGoToStandardErrorBeforeTheStopLineNeverIntoTheReport) {
  // ro1 written without its decimal point: read as 2.65e-7 kg/m3.
  const std::string dir = case_dir("permafrost", {{14, "2650                ro1(1)"}});
  const RunResult r = run_program(dir, read_file(dir + "/deck"));
  EXPECT_EQ(r.status, 40);
  EXPECT_NE(r.err.find("threephase: warning: line 14: ro1(1) = 2650 has no decimal point and "
                       "is read as 2.65E-07 (10 implied decimals); write 2650.0 to mean 2650"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(split_lines(r.err).back(), "STOP 40");
  EXPECT_EQ(r.out.find("warning"), std::string::npos);
}

TEST(LegacyRun, WarnsWhenTheWaveLabelledP3IsFasterThanP1) {
  // A tiny ice fraction (phi_a - 0.1 = 3e-5) at 1 kHz: the third root of the
  // cubic is the fast wave, and vp_anal.phiw records a slow one as vp1.
  const std::string dir =
      case_dir("permafrost", {{1, "1000.0"}, {16, "0.10003             phi_a(1)"}});
  const RunResult r = run_program(dir, read_file(dir + "/deck"));
  EXPECT_EQ(r.status, 40);
  EXPECT_NE(r.err.find("labelled P3 is faster than P2 (400 faster than P1)"), std::string::npos)
      << r.err;
  const std::string plain = case_dir("permafrost");
  const RunResult clean = run_program(plain, read_file(plain + "/deck"));
  EXPECT_EQ(clean.err.find("labelled P3"), std::string::npos) << clean.err;
}

// ---- run ----

TEST(Run, ResultsJsonCarriesTheReportsNumbersAndTheLegacyFilesUnchanged) {
  const std::string dir = case_dir("shaley_sand");
  const RunResult r = run_with_args(dir, "run deck -o out --quiet");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string report = read_file(dir + "/out/report.txt");
  const Json j = Json::parse(read_file(dir + "/out/results.json"));
  const Json& fe = j["finite_element"];
  EXPECT_EQ(fe["mstar"]["velocity_m_per_s"].get<double>(),
            report_value(report, "from deltavol1 Velocity(m/s) FE = "));
  EXPECT_EQ(fe["mstar"]["q_inverse_times_1000"].get<double>(),
            report_value(report, "from deltavol1 1000/Q FE        = "));
  EXPECT_EQ(fe["c33"]["velocity_m_per_s"].get<double>(),
            report_value(report, "using averages  Velocity(m/s) FE = "));
  EXPECT_EQ(fe["c33"]["modulus_pa"][0].get<double>(),
            report_value(report, "using averages Re(c33) FE        = "));
  EXPECT_EQ(j["system"]["unknowns"].get<int>(),
            static_cast<int>(report_value(report, "number of unknowns nodos = ")));
  EXPECT_EQ(j["deck"]["values"]["ro1(1)"]["unit"], "kg/m3");
  EXPECT_EQ(j["deck"]["sha256"].get<std::string>().size(), 64u);

  // The legacy files of the run are those of the legacy invocation.
  const std::string legacy = case_dir("shaley_sand");
  ASSERT_EQ(run_program(legacy, read_file(legacy + "/deck")).status, 40);
  for (const char* f : {"vp_anal.phiw", "1000_over_q_eq.phiw", "real_stress_map", "xmu1_gnu",
                        "mstar3_solid3", "mod_grad_pressure_p33_ice"}) {
    EXPECT_EQ(read_file(dir + "/out/" + f), read_file(legacy + "/" + f)) << f;
  }
}

TEST(Run, DeckNameReplacesTheRecordedPathOfACopyButNotItsHash) {
  // A copy run in place of the user's deck records the user's name; the
  // hash stays that of the deck that ran.
  const std::string dir = case_dir("permafrost", {{5, "4"}, {6, "4"}});
  ASSERT_EQ(run_with_args(dir, "run deck -o plain --quiet").status, 0);
  const RunResult r = run_with_args(dir, "run deck -o named --quiet --deck-name /home/user/deck");
  ASSERT_EQ(r.status, 0) << r.err;
  const Json plain = Json::parse(read_file(dir + "/plain/results.json"))["deck"];
  const Json named = Json::parse(read_file(dir + "/named/results.json"))["deck"];
  EXPECT_EQ(named["path"], "/home/user/deck");
  EXPECT_EQ(plain["path"], (fs::path(dir) / "deck").lexically_normal().string());
  EXPECT_EQ(named["sha256"], plain["sha256"]);
}

TEST(Run, PlaneWavesOrderedBySpeedWithStandardAndLegacyQ) {
  const std::string dir =
      case_dir("permafrost", {{1, "1000.0"}, {16, "0.10003             phi_a(1)"}});
  ASSERT_EQ(run_with_args(dir, "run deck -o out -q").status, 0);
  const std::string report = read_file(dir + "/out/report.txt");
  const Json waves = Json::parse(read_file(dir + "/out/results.json"))["plane_waves"];
  std::set<std::string> labels;
  for (const char* kind : {"compressional", "shear"}) {
    double previous = INFINITY;
    for (const Json& w : waves[kind]) {
      const double v = w["velocity_m_per_s"], q = w["q"],
                   ql = w["legacy_q_abs_re_over_im_slowness"];
      EXPECT_LE(v, previous) << kind << " fastest first";
      previous = v;
      // M ~ 1/z^2, z = a + ib: Q = (a^2 - b^2) / (-2ab), legacy |a/b| = QL, so
      // Q = (QL^2 - 1) / (2 QL): half the legacy value at low loss.
      EXPECT_NEAR(q, (ql * ql - 1.0) / (2.0 * ql), 1e-9 * std::fabs(q) + 1e-12);
      const std::string label = w["legacy_label"];
      labels.insert(label);
      const std::string qlabel =
          label[1] == 'p' ? " Q" + label.substr(2) + " = " : " Qs" + label.substr(2) + " = ";
      EXPECT_EQ(ql, report_value(report, qlabel)) << label;
      EXPECT_EQ(v, report_value(report, label + " = ")) << label;
    }
  }
  EXPECT_EQ(labels.size(), 5u);
  EXPECT_EQ(waves["compressional"][0]["legacy_label"], "vp3") << "P3 is the fast wave here";
}

TEST(Run, MapsAreArraysWithRowYFromTheBottomAndColumnX) {
  // An asymmetric 3 by 2 fractal sample: every cell has its own porosity.
  const std::string dir = case_dir("fractal", {{5, "3"}, {6, "2"}});
  const double phi[2][3] = {{0.11, 0.12, 0.13}, {0.21, 0.22, 0.23}};  // [k-1][j-1]
  std::string frac;
  for (int k = 0; k < 2; ++k)
    for (int j = 0; j < 3; ++j) frac += std::to_string(phi[k][j]).substr(0, 6) + "\n";
  write_file(dir + "/porosity.frac", frac);
  const RunResult r = run_with_args(dir, "run deck -o out -q");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<double> p = load_npy(dir + "/out/maps/porosity.npy", 2, 3);
  for (int k = 0; k < 2; ++k)
    for (int j = 0; j < 3; ++j) EXPECT_DOUBLE_EQ(p[static_cast<std::size_t>(k * 3 + j)], phi[k][j]);
  // The stress array holds the legacy map's "j k value" lines at [k-1, j-1].
  const std::vector<double> s = load_npy(dir + "/out/maps/real_stress_map.npy", 2, 3);
  for (const std::string& line : split_lines(read_file(dir + "/out/real_stress_map"))) {
    int j = 0, k = 0;
    double v = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%d %d %lf", &j, &k, &v), 3);
    EXPECT_EQ(s[static_cast<std::size_t>((k - 1) * 3 + (j - 1))], v) << line;
  }
}

TEST(Run, FailedRunLeavesThePreviousResultsAndNoStagingFolder) {
  const std::string dir = case_dir("permafrost");
  ASSERT_EQ(run_with_args(dir, "run deck -o out -q").status, 0);
  const auto before = snapshot(dir + "/out");
  // Bad input (status 2), then a stop of the computation (status 4: the ice
  // model with no room for ice, code 11).
  write_file(dir + "/bad_input", "0.0\n" + read_file(dir + "/deck").substr(6));
  std::vector<std::string> lines = split_lines(read_file(dir + "/deck"));
  lines[15] = "0.05";
  std::string stops;
  for (const auto& l : lines) stops += l + "\n";
  write_file(dir + "/stops", stops);
  RunResult r = run_with_args(dir, "run bad_input -o out");
  EXPECT_EQ(r.status, 2) << r.err;
  r = run_with_args(dir, "run stops -o out");
  EXPECT_EQ(r.status, 4) << r.err;
  EXPECT_NE(r.err.find("stopped with code 11"), std::string::npos) << r.err;
  EXPECT_EQ(snapshot(dir + "/out"), before);
  for (const auto& e : fs::directory_iterator(dir)) {
    EXPECT_EQ(e.path().filename().string().find(".out.staging"), std::string::npos);
  }
}

TEST(Run, InterruptedRunLeavesThePreviousResultsIntact) {
  // 60 by 60 cells: the run is still computing when it is interrupted.
  const std::string dir = case_dir("permafrost", {{5, "60"}, {6, "60"}});
  fs::create_directory(dir + "/out");
  write_file(dir + "/out/results.json", "{\"earlier\": true}\n");
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0 || std::freopen("stderr.txt", "w", stderr) == nullptr) {
      std::_Exit(99);
    }
    ::execl(THREEPHASE_EXE, "threephase", "run", "deck", "-o", "out", "-q", (char*)nullptr);
    std::_Exit(98);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  ::kill(pid, SIGTERM);
  int ws = 0;
  ::waitpid(pid, &ws, 0);
  ASSERT_TRUE(WIFEXITED(ws));
  EXPECT_EQ(WEXITSTATUS(ws), 1);
  EXPECT_EQ(read_file(dir + "/out/results.json"), "{\"earlier\": true}\n");
  for (const auto& e : fs::directory_iterator(dir)) {
    EXPECT_EQ(e.path().filename().string().find(".out.staging"), std::string::npos);
  }
}

TEST(Run, BeyondTheMemoryLimitEndsWithStatus3) {
  const std::string dir = case_dir("permafrost", {{5, "61"}, {6, "61"}});
  ::setenv("THREEPHASE_MAX_MEMORY", "1M", 1);
  // The own solver's check, before its ordering (MUMPS has its own, after
  // its analysis).
  const RunResult r = run_with_args(dir, "run --solver own deck -o out");
  ::unsetenv("THREEPHASE_MAX_MEMORY");
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_NE(r.err.find("more memory than the limit"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir + "/out"));
}

TEST(Run, RefusesToReplaceAFolderThatHoldsNoEarlierResults) {
  const std::string dir = case_dir("permafrost");
  fs::create_directory(dir + "/notes");
  write_file(dir + "/notes/thesis.tex", "precious");
  const RunResult r = run_with_args(dir, "run deck -o notes");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(read_file(dir + "/notes/thesis.tex"), "precious");
  EXPECT_FALSE(fs::exists(dir + "/notes/results.json"));
}

// The staging folders beside dir/out (none may outlive a run).
int staging_folders(const std::string& dir) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().find(".staging") != std::string::npos) ++n;
  return n;
}

// The homogeneous permafrost example has no relative flow, hence no loss:
// the vertical plate test must give the closed-form fast P wave (all phases
// moving together), the full set the same horizontally, and C55 the shear
// modulus of the locked phases; the legacy test's moduli stay, labelled.
TEST(Run, SampleStiffnessOfAHomogeneousSampleIsTheLockedPhasesModulus) {
  const std::string dir = case_dir("permafrost");
  ASSERT_EQ(run_with_args(dir, "run deck -o out -q --stiffness full").status, 0);
  const Json j = Json::parse(read_file(dir + "/out/results.json"));
  const Json& e = j["effective"];
  EXPECT_EQ(e["time_convention"], "exp(+i omega t)");
  const double fast_p = j["plane_waves"]["compressional"][0]["velocity_m_per_s"];
  for (const char* m : {"c33", "c11"}) {
    const double v = e["stiffness"][m]["velocity_m_per_s"];
    EXPECT_NEAR(v / fast_p, 1.0, 1e-6) << m;  // the waves' own loss moves vp1 by ~1e-8
    EXPECT_LT(std::fabs(e["stiffness"][m]["q_inverse_times_1000"].get<double>()), 1e-9) << m;
  }
  const double c55 = e["stiffness"]["c55"]["modulus_pa"][0];
  const Json& first = j["first_cell_coefficients"];
  const double mu = first["mu1"]["value"].get<double>() + first["mu3"]["value"].get<double>() +
                    first["mu13"]["value"].get<double>();
  EXPECT_NEAR(c55 / mu, 1.0, 1e-10);
  EXPECT_EQ(e["angles"].size(), 19u);
  EXPECT_NE(j["finite_element"]["test"].get<std::string>().find("legacy"), std::string::npos);
  ASSERT_EQ(run_with_args(dir, "run deck -o vertical -q").status, 0);
  const Json v = Json::parse(read_file(dir + "/vertical/results.json"))["effective"];
  EXPECT_EQ(v["stiffness"]["c33"], e["stiffness"]["c33"]) << "the same arithmetic";
  EXPECT_FALSE(v["stiffness"].contains("c55"));
  EXPECT_FALSE(v.contains("angles"));
}

// A re-run replaces the results and takes the old ones away with its
// staging folder; "out/" is the folder out, not a place inside it; a run
// that fails removes the folders it made to hold its results.
TEST(Run, RerunsAndFolderSpellingsLeaveNoStagingBehind) {
  const std::string dir = case_dir("permafrost");
  ASSERT_EQ(run_with_args(dir, "run deck -o out/ -q").status, 0);
  ASSERT_EQ(run_with_args(dir, "run deck -o out -q").status, 0);
  EXPECT_TRUE(fs::exists(dir + "/out/results.json"));
  EXPECT_EQ(staging_folders(dir), 0);
  EXPECT_EQ(staging_folders(dir + "/out"), 0);
  write_file(dir + "/bad", "0.0\n" + read_file(dir + "/deck").substr(6));
  EXPECT_EQ(run_with_args(dir, "run bad -o new/a/b/out").status, 2);
  EXPECT_FALSE(fs::exists(dir + "/new"));
}

// A results folder that is the working directory, or holds the deck and its
// side files, is refused before anything is written: replacing it would
// delete the input.
TEST(Run, RefusesAResultsFolderHoldingTheDeckOrTheWorkingDirectory) {
  const std::string dir = case_dir("permafrost");
  ASSERT_EQ(run_with_args(dir, "run deck -o out -q").status, 0);
  fs::copy(dir + "/out/results.json", dir + "/results.json");
  auto before = snapshot(dir);
  for (const char* harness : {"stdout.txt", "stderr.txt"}) before[harness] = "";
  for (const char* out : {".", "../", "./"}) {
    const RunResult r = run_with_args(dir, std::string("run deck -q -o ") + out);
    EXPECT_EQ(r.status, 2) << out << ": " << r.err;
  }
  auto after = snapshot(dir);
  for (const char* harness : {"stdout.txt", "stderr.txt"}) after[harness] = before.at(harness);
  EXPECT_EQ(after, before);
  EXPECT_EQ(run_with_args(dir + "/out", "run ../deck -q -o ..").status, 2);
  EXPECT_EQ(read_file(dir + "/deck"), before.at("deck"));
}

// ---- check ----

TEST(Check, ListsEveryValueWithUnitAndHowItWasReadAndTheStatusOfTheDeck) {
  const std::string dir = case_dir("permafrost", {{14, "2650                ro1(1)"}});
  RunResult r = run_with_args(dir, "check deck");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("ro1(1)       = 2.65E-07"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("fixed field \"2650\", 10 implied decimals"), std::string::npos);
  EXPECT_NE(r.out.find("warning: line 14: ro1(1)"), std::string::npos);
  EXPECT_NE(r.out.find("the water proportion 0.1 in every cell"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir + "/vp_eq.phiw")) << "check writes no result file";
  fs::remove(dir + "/b11_b22_b12_sand");
  r = run_with_args(dir, "check deck");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("b11_b22_b12_sand"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace tp

namespace tp {
namespace {

TEST(StopMeanings, TheRunsMessagesSayWhatTheStopCodeListSays) {
  // `run` names a stop by its meaning; the list in deck/stop_codes.json is
  // what the tools and the guide show for the same code.
  const Json list = Json::parse(testing::read_file(testing::source_path("deck/stop_codes.json")));
  int compared = 0;
  for (const Json& c : list["codes"]) {
    const int code = c["code"];
    if (code == 2 || code == 40) continue;  // not stops of the computation
    EXPECT_EQ(std::string(stop_meaning(code)), c["meaning"].get<std::string>()) << code;
    ++compared;
  }
  EXPECT_GE(compared, 17);
}

}  // namespace
}  // namespace tp
