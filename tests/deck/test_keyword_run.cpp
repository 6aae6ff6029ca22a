// Whole runs of keyword decks: a twin gives the legacy deck's files byte for
// byte; a layered plan really gives a layered sample; a clean sand, whose
// plane-form lambda1 is negative, runs to physical moduli.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "deck/convert.hpp"
#include "deck/keyword_testing.hpp"
#include "support/maps.hpp"
#include "support/report.hpp"
#include "support/run.hpp"
#include "support/testing.hpp"

using namespace tp::testing;

namespace {

struct DeckRun {
  std::string dir;
  RunResult result;
};

// Runs `deck` in a fresh folder holding the files of examples/<example>.
DeckRun run_in_example(const std::string& example, const std::string& deck,
                       const std::string& tag) {
  DeckRun r;
  r.dir = fresh_dir(tag);
  copy_example(example, r.dir);
  r.result = run_program(r.dir, deck);
  return r;
}

std::vector<MapCell> map_of(const DeckRun& r, const std::string& name) {
  return read_map(r.dir + "/" + name);
}

double reported(const DeckRun& r, const std::string& label) {
  return report_number(r.result.out, label);
}

}  // namespace

TEST(KeywordRun, TwinOfEveryExampleWritesTheLegacyFilesByteForByte) {
  for (const char* name : {"permafrost", "shaley_sand", "fractal"}) {
    const DeckRun legacy =
        run_in_example(name, read_file(source_path(std::string("examples/") + name + "/deck")),
                       std::string("legacy_") + name);
    const DeckRun keyword =
        run_in_example(name, keyword_example(name), std::string("keyword_") + name);
    ASSERT_EQ(legacy.result.status, 40) << name;
    ASSERT_EQ(keyword.result.status, 40) << name << keyword.result.err;
    // The legacy deck's warnings (values it holds but the run ignores) are
    // its own; the stop lines agree.
    EXPECT_EQ(without_warnings(keyword.result.err), without_warnings(legacy.result.err)) << name;
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(legacy.dir)) {
      const std::string file = e.path().filename();
      // The decks differ, of course; the report is compared below without its time.
      if (file == "deck" || file == "deck.toml" || file == "stdin.deck" || file == "stdout.txt" ||
          file == "stderr.txt") {
        continue;
      }
      EXPECT_EQ(read_file(keyword.dir + "/" + file), read_file(e.path())) << name << " " << file;
      ++files;
    }
    EXPECT_GT(files, 20) << name;
    // The report too, but for the processor time.
    EXPECT_EQ(without_running_time(keyword.result.out), without_running_time(legacy.result.out))
        << name;
  }
}

// Shaley sand of 16 rows, layers of 4 rows: rows 1-4 and 9-12 are layer 1.
TEST(KeywordRun, LayeredPlanGivesBothLayersInTheMapsAndTheResultFollowsLayer2) {
  std::string deck = with_value(keyword_example("shaley_sand"), "materials", "\"layered\"");
  deck = with_value(deck, "water_proportion", "[0.1, 0.2]");
  deck = with_value(deck, "porosity", "\"by_layer\"");
  const DeckRun base = run_in_example("shaley_sand", deck, "layered_base");
  ASSERT_EQ(base.result.status, 40) << base.result.err;
  const auto matnum = map_of(base, "matnum_p33_gnu");
  const auto mu1 = map_of(base, "xmu1_gnu");
  ASSERT_EQ(matnum.size(), 256u);
  for (const MapCell& c : matnum) {
    EXPECT_EQ(c.value, (c.k - 1) % 8 < 4 ? 1 : 2) << "cell " << c.j << " " << c.k;
    // Every cell of a layer has its layer's coefficients, and the layers differ.
    EXPECT_EQ(map_value(mu1, c.j, c.k), map_value(mu1, 1, c.value == 1 ? 1 : 5));
  }
  EXPECT_NE(map_value(mu1, 1, 1), map_value(mu1, 1, 5));

  // A stiffer fluid in layer 2 alone stiffens the sample.
  const DeckRun stiff =
      run_in_example("shaley_sand", with_value(deck, "akf", "4.5e9", 2), "layered_stiff_layer2");
  ASSERT_EQ(stiff.result.status, 40) << stiff.result.err;
  const char* c33 = "using averages Re(c33) FE        = ";
  EXPECT_GT(reported(stiff, c33), reported(base, c33) * 1.001);
  EXPECT_EQ(map_value(map_of(stiff, "xmu1_gnu"), 1, 1), map_value(mu1, 1, 1));  // layer 1 as was

  // The uniform plan, the legacy run's, does not see layer 2.
  const DeckRun uniform = run_in_example("shaley_sand", keyword_example("shaley_sand"), "uniform");
  uniform_value(map_of(uniform, "xmu1_gnu"));  // fails where a cell differs
}

// A clean sand (s3 = 0.004): the stiff frame has K < mu, so lambda1 = K - mu
// of the plane form is negative while the strain energy stays positive. The
// legacy run stops with 12345; the keyword run warns and must give positive
// velocities and moduli inside the sand's static limits: c33 is the frame
// stiffness E11 = lambda1 + 2 mu1 of the sealed sample, and mstar lies
// between the sliding limit (E11 E44 - E14^2) / (E44 - E14) and the locked
// limit (E11 + E44 + 2 E14) / 2 of the two loaded solids.
TEST(KeywordRun, CleanSandWarnsOfNegativeLambdaAndGivesPhysicalModuli) {
  std::string deck = with_value(keyword_example("shaley_sand"), "s3", "0.004");
  deck = with_value(deck, "nx", "4");
  deck = with_value(deck, "ny", "4");
  const DeckRun r = run_in_example("shaley_sand", deck, "clean_sand");
  ASSERT_EQ(r.result.status, 40) << r.result.err;
  EXPECT_NE(r.result.err.find("warning: cell (1, 1): lambda1 ="), std::string::npos)
      << r.result.err;
  const double lambda1 = map_value(map_of(r, "xlambda1_gnu"), 1, 1);
  ASSERT_LT(lambda1, 0.0);

  for (const char* wave : {"vp1 = ", "vp2 = ", "vp3 = ", "vs1 = ", "vs2 = "}) {
    EXPECT_GT(reported(r, wave), 0.0) << wave;
  }
  const auto at = [&](const char* map) { return uniform_value(map_of(r, map)); };
  const double e11 = lambda1 + 2 * at("xmu1_gnu");
  const double e44 = at("xlambda3_gnu") + 2 * at("xmu3_gnu");
  const double e14 = at("xmu13_gnu") + at("d3_gnu");
  ASSERT_GT(e11, 0.0);
  const double c33 = reported(r, "using averages Re(c33) FE        = ");
  EXPECT_LT(std::fabs(c33 - e11), 1e-9 * e11) << c33 << " " << e11;
  const double sliding = (e11 * e44 - e14 * e14) / (e44 - e14);
  const double locked = (e11 + e44 + 2 * e14) / 2;
  const double mstar = reported(r, "from deltavol1 Re(p33) FE mstar      = ");
  EXPECT_GT(mstar, 0.99 * std::min(sliding, locked)) << sliding << " " << locked;
  EXPECT_LT(mstar, 1.01 * std::max(sliding, locked)) << sliding << " " << locked;

  // The legacy run of the same sample stops on the first cell's lambda1.
  tp::Deck d;
  tp::RunPlan plan;
  tp::DeckError err;
  ASSERT_EQ(tp::read_keyword_deck(deck, d, plan, err), 0) << err.what;
  std::string legacy_text;
  ASSERT_EQ(tp::legacy_deck_text(d, legacy_text, err), 0) << err.what;
  const DeckRun legacy = run_in_example("shaley_sand", legacy_text, "clean_sand_legacy");
  EXPECT_EQ(legacy.result.status, 12345 & 255);
}

// The smallest shale share the reader takes must run, with every plane
// wave of positive speed, to the clean sand's moduli: those of a share a
// hundred times larger, within the sqrt(s3) the sand frame moves by.
TEST(KeywordRun, SmallestShaleShareTheReaderTakesRunsToTheCleanSandsModuli) {
  std::string deck = with_value(keyword_example("shaley_sand"), "nx", "4");
  deck = with_value(deck, "ny", "4");
  const DeckRun smallest =
      run_in_example("shaley_sand", with_value(deck, "s3", "1.0e-12"), "smallest_shale");
  const DeckRun larger =
      run_in_example("shaley_sand", with_value(deck, "s3", "1.0e-10"), "larger_shale");
  ASSERT_EQ(smallest.result.status, 40) << smallest.result.err;
  ASSERT_EQ(larger.result.status, 40) << larger.result.err;
  for (const char* wave : {"vp1 = ", "vp2 = ", "vp3 = ", "vs1 = ", "vs2 = "}) {
    EXPECT_GT(reported(smallest, wave), 0.0) << wave;
  }
  const char* c33 = "using averages Re(c33) FE        = ";
  EXPECT_NEAR(reported(smallest, c33), reported(larger, c33), 1e-5 * reported(larger, c33));
}

// The porosity file is the deck's to name: the fractal twin reading its
// field from another file gives the same results; a missing one is named.
TEST(KeywordRun, PorosityFileNamedByTheDeckIsReadOrNamedWhenMissing) {
  const std::string deck = keyword_example("fractal");
  const DeckRun same = run_in_example("fractal", deck, "fractal_named_file");
  std::filesystem::create_directory(same.dir + "/fields");
  std::filesystem::rename(same.dir + "/porosity.frac", same.dir + "/fields/phi.frac");
  const std::string named = with_value(deck, "porosity", "{ file = \"fields/phi.frac\" }");
  const RunResult moved = run_program(same.dir, named);
  ASSERT_EQ(moved.status, 40) << moved.err;
  const DeckRun original = run_in_example("fractal", deck, "fractal_original");
  EXPECT_EQ(read_file(same.dir + "/vp_eq.phiw"), read_file(original.dir + "/vp_eq.phiw"));
  EXPECT_EQ(read_file(same.dir + "/real_stress_map"), read_file(original.dir + "/real_stress_map"));

  const RunResult missing =
      run_program(same.dir, with_value(deck, "porosity", "{ file = \"fields/none.frac\" }"));
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(
      without_warnings(missing.err).rfind("threephase: fields/none.frac: cannot open the file", 0),
      0u)
      << missing.err;
}
