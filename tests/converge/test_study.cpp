// Refinement of a sample and the study's command: the refined sample is the
// same medium, a uniform one has nothing to resolve, and a level that does
// not fit the memory is left out while the study goes on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "common/input.hpp"
#include "converge/refine.hpp"
#include "converge/study.hpp"
#include "deck/keyword_deck.hpp"
#include "model/porosity.hpp"
#include "support/deck_edit.hpp"
#include "support/run.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp::testing;

// Reads a porosity file of nx by ny cells with the program's own reader.
tp::RealField read_field(const std::string& path, int nx, int ny) {
  tp::RealField phi;
  phi.resize(nx, ny);
  tp::LineSource src;
  tp::open_file_source(src, path.c_str());
  tp::read_porosity_field(src, nx, ny, phi);
  std::fclose(src.f);
  return phi;
}

TEST(Refine, PorosityFieldOfTheChildrenIsTheirParentsBitForBit) {
  const std::string dir = fresh_dir("refine_phi");
  const std::string coarse = read_file(source_path("examples/fractal/porosity.frac"));
  const int nx = 16, ny = 16, r = 3;
  std::string fine, why;
  ASSERT_TRUE(tp::refine_porosity_text(coarse, nx, ny, r, fine, why)) << why;
  write_file(dir + "/coarse", coarse);
  write_file(dir + "/fine", fine);
  const tp::RealField c = read_field(dir + "/coarse", nx, ny);
  const tp::RealField f = read_field(dir + "/fine", nx * r, ny * r);
  EXPECT_EQ(split_lines(fine).size(), static_cast<std::size_t>(nx * ny * r * r));
  for (int k = 1; k <= ny * r; ++k)
    for (int j = 1; j <= nx * r; ++j)
      ASSERT_EQ(f(j, k), c((j - 1) / r + 1, (k - 1) / r + 1)) << "cell " << j << ", " << k;
}

TEST(Refine, DeckScalesTheCellCountsAndLayersAndKeepsEveryOtherByte) {
  const std::string deck = read_file(source_path("examples/shaley_sand/deck"));
  std::string fine, why;
  ASSERT_TRUE(tp::refine_deck_text(deck, 4, fine, why)) << why;
  const std::vector<std::string> a = split_lines(deck), b = split_lines(fine);
  ASSERT_EQ(a.size(), b.size());
  const int nx = line_of_field("nx"), ny = line_of_field("ny");
  const int nl1 = line_of_field("nl(1)"), nl2 = line_of_field("nl(2)");
  for (int n = 1; n <= static_cast<int>(a.size()); ++n) {
    if (n == nx || n == ny || n == nl1 || n == nl2) {
      EXPECT_EQ(std::stol(b[n - 1]), 4 * std::stol(a[n - 1])) << "line " << n;
      EXPECT_EQ(b[n - 1].substr(b[n - 1].find(' ')), a[n - 1].substr(a[n - 1].find(' ')));
    } else {
      EXPECT_EQ(b[n - 1], a[n - 1]) << "line " << n;
    }
  }
}

TEST(Refine, RefusesAShortPorosityFileAndADeckWithoutItsGrid) {
  std::string out, why;
  EXPECT_FALSE(tp::refine_porosity_text("  2.0000E-01\n", 2, 2, 2, out, why));
  EXPECT_NE(why.find("1 lines for 4 cells"), std::string::npos) << why;
  EXPECT_FALSE(tp::refine_deck_text("100.0\n1.0\n1\n0.3\nnx\n", 2, out, why));
  EXPECT_NE(why.find("line 5"), std::string::npos) << why;
}

TEST(Study, ReadsTheReportsNumbersWhateverTheirSpacing) {
  const std::string report =
      " from deltavol1 1000/Q FE        =  -253.04411899929659\n"
      " vp1 =  3982.0540027820061 m/s  atp1 =  1.07E-03 1000/qp1  1.9689106036241789E-02\n";
  EXPECT_EQ(tp::report_value(report, "from deltavol1 1000/Q FE ="), -253.04411899929659);
  EXPECT_EQ(tp::report_value(report, "1000/qp1"), 1.9689106036241789E-02);
  EXPECT_EQ(tp::report_value(report, "vp1 ="), 3982.0540027820061);
  EXPECT_TRUE(std::isnan(tp::report_value(report, "using averages 1000/Q FE =")));
}

// The example deck on an n by n grid in `dir`, with its side files.
std::string small_case(const std::string& example, const std::string& dir, int n) {
  copy_example(example, dir);
  std::vector<std::string> lines = example_lines(example);
  lines = with_field(lines, "nx", std::to_string(n));
  lines = with_field(lines, "ny", std::to_string(n));
  write_file(dir + "/deck", join_lines(lines));
  return dir + "/deck";
}

// A uniform sample (every cell material 1 with one water proportion) has no
// inner length scale: the averaged modulus c33 and the closed-form waves
// are the same at each level up to rounding. mstar, read from the top
// displacement of solid 1, is not: it sees the layer under the loaded side
// where the phases slip past each other, thinner than these cells.
TEST(Study, UniformSampleGivesTheSameAveragedModulusAtEveryLevel) {
  const std::string dir = fresh_dir("converge_uniform");
  const std::string deck = small_case("permafrost", dir, 4);
  const RunResult r = run_with_args(dir, "converge " + deck + " --refine 1,2,4 -o " + dir + "/s");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> rows = split_lines(read_file(dir + "/s/converge.csv"));
  ASSERT_EQ(rows.size(), 1u + tp::kStudyQuantities);
  int checked = 0;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    if (rows[i].rfind("mstar", 0) == 0) continue;
    double v[3];
    const std::size_t at = rows[i].find(',', rows[i].find(',') + 1);
    ASSERT_EQ(std::sscanf(rows[i].c_str() + at, ",%lf,%lf,%lf", &v[0], &v[1], &v[2]), 3) << rows[i];
    // Velocities to 1e-9; 1000/Q (about 1e-7 for c33, an elastic response)
    // to 1e-6, a Q of a billion.
    const double tol = rows[i].find("1000_over_q") != std::string::npos ? 1e-6 : 1e-9 * v[0];
    for (double x : {v[1], v[2]}) EXPECT_NEAR(x, v[0], tol) << rows[i];
    EXPECT_NE(rows[i].find(",converged"), std::string::npos) << rows[i];
    ++checked;
  }
  EXPECT_EQ(checked, 4);
}

// Beyond 60 by 60 cells the solver sizes its storage and checks it against
// the limit: with 1 MiB allowed, the 64 by 64 level stops with status 3 and
// the study reports the two that ran.
TEST(Study, LevelBeyondTheMemoryLimitIsLeftOutAndTheStudyGoesOn) {
  const std::string dir = fresh_dir("converge_memory");
  copy_example("fractal", dir);
  setenv("THREEPHASE_MAX_MEMORY", "1M", 1);
  const RunResult r =
      run_with_args(dir, "converge " + dir + "/deck --refine 1,2,4 -j 2 -o " + dir + "/s");
  unsetenv("THREEPHASE_MAX_MEMORY");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("level 4 (64 by 64 cells) left out"), std::string::npos) << r.err;
  const std::string json = read_file(dir + "/s/converge.json");
  EXPECT_NE(json.find("\"refinements_run\": [1, 2]"), std::string::npos) << json;
  EXPECT_NE(read_file(dir + "/s/converge.csv").find("r2 (32x32),order"), std::string::npos);
}

// The keyword twin with `line` (the whole line of a key, as the twin
// writes it) replaced.
std::string edited(std::string text, const std::string& line, const std::string& by) {
  const std::size_t at = text.find(line);
  EXPECT_NE(at, std::string::npos) << line;
  return at == std::string::npos ? text : text.replace(at, line.size(), by);
}

// A truly layered keyword deck: rows of layer 2 take its values and its
// water proportion, on an 8 by 8 grid with layers 2 cells thick.
std::string layered_keyword_deck() {
  std::string deck = read_file(source_path("examples/shaley_sand/deck.toml"));
  deck = edited(deck, "nx = 16 ", "nx = 8 ");
  deck = edited(deck, "ny = 16 ", "ny = 8 ");
  deck = edited(deck, "materials = \"uniform\"", "materials = \"layered\"");
  deck = edited(deck, "water_proportion = 0.1 ", "water_proportion = [0.1, 0.25] ");
  deck = edited(deck, "porosity = 0.1 ", "porosity = \"by_layer\" ");
  deck = edited(deck, "nl = 4 ", "nl = 2 ");
  return edited(deck, "nl = 4 ", "nl = 2 ");
}

TEST(Refine, KeywordDeckScalesItsCountsKeepsItsPlanAndTakesTheLevelsPorosityFile) {
  const std::string deck = layered_keyword_deck();
  std::string fine, why;
  ASSERT_TRUE(tp::refine_keyword_text(deck, 3, "", fine, why)) << why;
  const std::vector<std::string> a = split_lines(deck), b = split_lines(fine);
  ASSERT_EQ(a.size(), b.size());
  int changed = 0;
  for (std::size_t n = 0; n < a.size(); ++n) changed += a[n] != b[n];
  EXPECT_EQ(changed, 4) << "nx, ny and two nl; comments and the plan kept";
  static tp::Deck d;
  tp::RunPlan plan;
  tp::DeckError err;
  ASSERT_EQ(tp::read_keyword_deck(fine, d, plan, err), 0) << err.what;
  EXPECT_EQ(d.nx, 24);
  EXPECT_EQ(d.ny, 24);
  EXPECT_EQ(d.nl(1), 6);
  EXPECT_EQ(d.nl(2), 6);
  EXPECT_EQ(plan.materials, tp::Materials::layered);
  EXPECT_EQ(plan.porosity, tp::PorositySource::by_layer);
  EXPECT_EQ(plan.water(2), 0.25);

  const std::string fractal = edited(read_file(source_path("examples/fractal/deck.toml")),
                                     "{ file = \"porosity.frac\" }", "{ file = \"../f.txt\" }");
  ASSERT_TRUE(tp::refine_keyword_text(fractal, 2, "porosity.frac", fine, why)) << why;
  ASSERT_EQ(tp::read_keyword_deck(fine, d, plan, err), 0) << err.what;
  EXPECT_EQ(plan.porosity_file, "porosity.frac");
  EXPECT_EQ(d.nl(1), 32);
}

// converge refused keyword decks (a legacy conversion drops the [run]
// plan, so the study was of another sample): each level now runs the
// deck's own plan, so level 1 is the sample the deck describes, and its
// fractal twin reads the porosity file the deck names.
TEST(Study, KeywordDeckIsStudiedWithItsOwnPlanAndPorosityFile) {
  const std::string dir = fresh_dir("converge_keyword");
  copy_example("shaley_sand", dir);
  const std::string deck = layered_keyword_deck();
  write_file(dir + "/deck.toml", deck);
  const RunResult direct = run_program(dir, deck);
  ASSERT_EQ(direct.status, 40) << direct.err;
  const RunResult r =
      run_with_args(dir, "converge " + dir + "/deck.toml --refine 1,2 -o " + dir + "/s");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string level1 = read_file(dir + "/s/level_1/stdout.txt");
  for (const tp::StudyQuantity& q : tp::kQuantities)
    EXPECT_EQ(tp::report_value(level1, q.label), tp::report_value(direct.out, q.label)) << q.name;
  EXPECT_NE(read_file(dir + "/s/converge.csv").find("r2 (16x16)"), std::string::npos);

  const std::string away = fresh_dir("converge_keyword_file");
  std::filesystem::create_directories(away + "/case");
  copy_example("fractal", away + "/case");
  std::rename((away + "/case/porosity.frac").c_str(), (away + "/field.txt").c_str());
  write_file(away + "/case/deck.toml",
             edited(read_file(away + "/case/deck.toml"), "{ file = \"porosity.frac\" }",
                    "{ file = \"../field.txt\" }"));
  const RunResult f = run_with_args(away, "converge case/deck.toml --refine 1,2 -o s");
  ASSERT_EQ(f.status, 0) << f.err;
  EXPECT_EQ(split_lines(read_file(away + "/s/level_2/porosity.frac")).size(), 32u * 32u);
}

TEST(Study, RefusesRefinementsThatAreNotIncreasingFactors) {
  const std::string dir = fresh_dir("converge_args");
  copy_example("fractal", dir);
  for (const char* bad : {"2,1", "0,1", "1,,2", "x"}) {
    const RunResult r = run_with_args(dir, "converge " + dir + "/deck --refine " + bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("increasing factors"), std::string::npos) << r.err;
  }
}

}  // namespace
