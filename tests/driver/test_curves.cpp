// Dispersion and attenuation curves in one run: every point is the
// single-frequency run's number, one analysis serves the curve, the memory
// limit lowers the parallelism instead of failing the run, a frequency that
// fails the run is named and leaves nothing behind, and the bounds bracket
// the curve.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/run.hpp"
#include "support/testing.hpp"

namespace {

namespace fs = std::filesystem;
using namespace tp::testing;
using Json = nlohmann::json;

// The fractal example with its first line (the frequency) replaced.
std::string fractal_case(const std::string& tag, const std::string& freq = "") {
  const std::string dir = fresh_dir(tag);
  copy_example("fractal", dir);
  if (!freq.empty()) {
    const std::string deck = read_file(dir + "/deck");
    write_file(dir + "/deck", freq + deck.substr(deck.find(' ')));
  }
  return dir;
}

std::vector<std::string> split(const std::string& line, char sep) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string f; std::getline(in, f, sep);) fields.push_back(f);
  return fields;
}

Json results(const std::string& dir) { return Json::parse(read_file(dir + "/results.json")); }

double relative(const Json& a, const Json& b) {
  const double ar = a[0], ai = a[1], br = b[0], bi = b[1];
  return std::hypot(ar - br, ai - bi) / std::hypot(br, bi);
}

// Every point, computed on threads with the one analysis, equals a run at
// that frequency alone; a curve of one point equals the run without one.
TEST(Curves, EachPointIsTheSingleFrequencyRunWithOneAnalysis) {
  const std::string dir = fractal_case("curve_points");
  ASSERT_EQ(run_with_args(dir,
                          "run deck -o curve -q --stiffness full -j 2 "
                          "--frequencies 1,300,20000,7e4")
                .status,
            0);
  const Json c = results(dir + "/curve")["curves"];
  EXPECT_EQ(c["analyses"], 1);
  EXPECT_EQ(c["frequency_hz"].size(), 4u);
  for (const char* f : {"300", "7e4"}) {
    const std::string one = fractal_case(std::string("curve_single_") + f, f);
    ASSERT_EQ(run_with_args(one, "run deck -o single -q --stiffness full").status, 0);
    const Json s = results(one + "/single")["effective"]["stiffness"];
    const int i = std::string(f) == "300" ? 1 : 3;
    for (const char* m : {"c33", "c11", "c55"}) {
      EXPECT_LT(relative(c[m]["modulus_pa"][i], s[m]["modulus_pa"]), 1e-12) << m << " at " << f;
    }
  }
  ASSERT_EQ(run_with_args(dir, "run deck -o one -q --frequencies 100").status, 0);
  ASSERT_EQ(run_with_args(dir, "run deck -o plain -q").status, 0);
  EXPECT_EQ(results(dir + "/one")["curves"]["c33"]["modulus_pa"][0],
            results(dir + "/plain")["effective"]["stiffness"]["c33"]["modulus_pa"]);
  const std::vector<std::string> rows = split_lines(read_file(dir + "/curve/curves.csv"));
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_NE(rows[0].find("c33_1000_over_q(=1000*Im/Re)"), std::string::npos) << rows[0];
  // Every row holds results.json's numbers of its frequency, column by
  // column as the header names them (17 digits: the same doubles).
  const std::vector<std::string> head = split(rows[0], ',');
  for (std::size_t i = 0; i < 4; ++i) {
    const std::vector<std::string> row = split(rows[i + 1], ',');
    ASSERT_EQ(row.size(), head.size()) << rows[i + 1];
    EXPECT_EQ(std::stod(row[0]), c["frequency_hz"][i].get<double>());
    for (std::size_t col = 1; col + 2 < head.size(); ++col) {
      const std::string name = head[col], m = name.substr(0, 3), what = name.substr(4);
      const Json& want = what == "real_pa"            ? c[m]["modulus_pa"][i][0]
                         : what == "imag_pa"          ? c[m]["modulus_pa"][i][1]
                         : what == "velocity_m_per_s" ? c[m]["velocity_m_per_s"][i]
                                                      : c[m]["q_inverse_times_1000"][i];
      EXPECT_EQ(std::stod(row[col]), want.get<double>()) << name << " row " << i;
    }
    EXPECT_EQ(std::stod(row[head.size() - 2]), c["cells_across_diffusion_length"][i].get<double>());
    EXPECT_EQ(row.back() == "true", c["resolved"][i].get<bool>());
  }
}

// Under a memory limit that leaves no room for a second factorization the
// curve runs on one thread, says so, and succeeds.
TEST(Curves, MemoryLimitLowersTheParallelismInsteadOfFailing) {
  const std::string dir = fractal_case("curve_memory");
  ::setenv("THREEPHASE_MAX_MEMORY", "1M", 1);
  const RunResult r = run_with_args(dir, "run deck -o out -q -j 4 --frequencies 10,100,1000,5000");
  ::unsetenv("THREEPHASE_MAX_MEMORY");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("1 factorizations at once of the 4 threads asked"), std::string::npos)
      << r.err;
  EXPECT_EQ(results(dir + "/out")["curves"]["threads"], 1);
}

// A frequency whose numbers overflow fails the whole run, named, and no
// results folder or staging folder is left.
TEST(Curves, AFailingFrequencyFailsTheRunNamedAndLeavesNothing) {
  const std::string dir = fractal_case("curve_fails");
  const RunResult r = run_with_args(dir, "run deck -o out -q -j 2 --frequencies 10,1e300,100");
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("the curve stopped at 1e+300 Hz"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir + "/out"));
  for (const auto& e : fs::directory_iterator(dir))
    EXPECT_EQ(e.path().filename().string().find("staging"), std::string::npos);
  EXPECT_EQ(run_with_args(dir, "run deck -o out --frequencies 10,,100").status, 2);
  EXPECT_EQ(run_with_args(dir, "run deck -o out --frequencies 100:10:4").status, 2);
}

// The relaxed and unrelaxed limits bracket the real part of the curve, on
// the heterogeneous fractal sample and on the layered keyword sample, whose
// curve the deck asks for in its [run] table.
TEST(Curves, BoundsBracketTheCurve) {
  const std::string dir = fractal_case("curve_bounds");
  std::string toml = read_file(source_path("examples/permafrost/deck.toml"));
  toml.replace(toml.find("materials = \"uniform\""), 21, "materials = \"layered\"");
  const std::size_t w = toml.find("water_proportion = 0.1");
  toml.replace(w, 22, "water_proportion = [0.05, 0.2]");
  const std::size_t p = toml.find("porosity = 0.1");
  toml.replace(p, 14,
               "porosity = \"by_layer\"\nstiffness = \"full\"\n"
               "frequencies = { from = 1.0, to = 1.0e5, points = 6 }");
  write_file(dir + "/layered.toml", toml);
  ASSERT_EQ(run_with_args(dir,
                          "run deck -o fractal -q --stiffness full "
                          "--frequencies 1:1e5:6")
                .status,
            0);
  const RunResult layered = run_with_args(dir, "run layered.toml -o layered -q");
  ASSERT_EQ(layered.status, 0) << layered.err;
  // A legacy deck's first cell may not have lambda1 <= 0, but the
  // unrelaxed limit of the model may: the limit is not a run's cell.
  const std::string legacy = fresh_dir("curve_bounds_legacy");
  copy_example("permafrost", legacy);
  const RunResult l = run_with_args(legacy,
                                    "run deck -o out -q --stiffness full "
                                    "--frequencies 1:1e5:6");
  ASSERT_EQ(l.status, 0) << l.err;
  fs::rename(legacy + "/out", dir + "/legacy");
  for (const char* out : {"fractal", "layered", "legacy"}) {
    const Json j = results(dir + "/" + out);
    ASSERT_EQ(j["curves"]["frequency_hz"].size(), 6u) << out;
    for (const char* m : {"c33", "c11", "c55"}) {
      const double lo = j["bounds"][m]["relaxed_pa"], hi = j["bounds"][m]["unrelaxed_pa"];
      EXPECT_LT(lo, hi) << out << " " << m;
      for (const Json& c : j["curves"][m]["modulus_pa"]) {
        EXPECT_GE(c[0].get<double>(), lo * (1 - 1e-9)) << out << " " << m;
        EXPECT_LE(c[0].get<double>(), hi * (1 + 1e-9)) << out << " " << m;
        // A passive sample, to the rounding of the homogeneous one (no loss).
        EXPECT_GE(c[1].get<double>(), -1e-12 * c[0].get<double>()) << out << " " << m;
      }
    }
  }
}

}  // namespace
