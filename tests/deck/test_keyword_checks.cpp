// What a keyword deck's run uses of its values: values far outside their
// physical range are warned of with their line and key, values the run
// ignores are marked so and warned of, values it need not have may be left
// out, and a misspelt key is answered with the closest known one.
#include <gtest/gtest.h>

#include <string>

#include "deck/keyword_checks.hpp"
#include "deck/keyword_testing.hpp"

using namespace tp;
using namespace tp::testing;

namespace {

struct Checked {
  int status = 0;
  Deck deck;
  RunPlan plan;
  DeckError err;
  DeckRecord record;
  std::string warnings;  // one per line
};

Checked check(const std::string& text) {
  Checked c;
  c.status = read_keyword_deck(text, c.deck, c.plan, c.err, &c.record);
  if (c.status != 0) return c;
  mark_keyword_use(c.deck, c.plan, c.record);
  Warnings w;
  keyword_warnings(c.deck, c.plan, c.record, w);
  for (int i = 0; i < w.n; ++i) c.warnings += std::string(w.w[i]) + "\n";
  return c;
}

const DeckEntry* entry(const Checked& c, const char* name) {
  const DeckEntry* e = find_entry(c.record, name);
  if (e == nullptr) ADD_FAILURE() << "no entry " << name;
  return e;
}

bool used(const Checked& c, const char* name) {
  const DeckEntry* e = entry(c, name);
  return e != nullptr && e->used;
}

// The shaley-sand twin with layered materials and a porosity by layer: a
// plan that uses both layers.
std::string layered_sand() {
  std::string deck = with_value(keyword_example("shaley_sand"), "materials", "\"layered\"");
  deck = with_value(deck, "porosity", "\"by_layer\"");
  return with_value(deck, "water_proportion", "[0.1, 0.25]");
}

}  // namespace

TEST(KeywordWarnings, GigapascalsGramsPerCubicCentimetreAndDarcyNameTheLineAndKey) {
  std::string deck = with_value(keyword_example("permafrost"), "ak_s1", "37.0");
  deck = with_value(deck, "ro1", "2.65");
  deck = with_value(deck, "capa_1_0", "1.0");  // one darcy written as 1
  const Checked c = check(deck);
  ASSERT_EQ(c.status, 0) << c.err.what;
  for (const char* key : {"ak_s1", "ro1", "capa_1_0"}) {
    const std::string at = "line " + std::to_string(line_of_key(deck, key)) + ": " + key + "(1) = ";
    EXPECT_NE(c.warnings.find(at), std::string::npos) << key << "\n" << c.warnings;
  }
  EXPECT_NE(c.warnings.find("not GPa"), std::string::npos) << c.warnings;
  EXPECT_NE(c.warnings.find("not g/cm3"), std::string::npos) << c.warnings;
  EXPECT_NE(c.warnings.find("not darcy"), std::string::npos) << c.warnings;
  // The twin as it stands is in SI units: no range warning.
  EXPECT_EQ(check(keyword_example("permafrost")).warnings.find("far outside"), std::string::npos);
}

TEST(KeywordWarnings, ValuesTheRunIgnoresAreMarkedUnusedAndWarnedWithTheirLines) {
  // A phi_layer beside [run] water_proportion; a grain size of layer 2 in
  // the shaley-sand model (the model takes layer 1's for every cell); the
  // model's unused values; the legacy sweep.
  std::string deck = with_value(layered_sand(), "phi_layer", "0.3", 2);
  deck = with_value(deck, "rs1", "2.0e-5", 2);
  const Checked c = check(deck);
  ASSERT_EQ(c.status, 0) << c.err.what;
  EXPECT_TRUE(used(c, "rs1(1)") && used(c, "s3(2)") && used(c, "nl(2)") && used(c, "ak_s3(2)"));
  for (const char* name : {"phi_layer(1)", "phi_layer(2)", "rs1(2)", "rs3(2)", "phi_a(1)",
                           "capa_3_0(2)", "freq_max", "n_freq"}) {
    EXPECT_FALSE(used(c, name)) << name;
  }
  const auto has = [&](const std::string& s) { return c.warnings.find(s) != std::string::npos; };
  const int phi2 = line_of_key(deck, "phi_layer", 2), rs1 = line_of_key(deck, "rs1", 2);
  EXPECT_TRUE(has("line " + std::to_string(phi2) +
                  ": phi_layer(2) = 0.3 is not used: [run] water_proportion gives layer 2 the "
                  "water proportion 0.25"))
      << c.warnings;
  EXPECT_TRUE(has("line " + std::to_string(rs1) +
                  ": rs1(2) is not used: the shaley-sand model takes the grain sizes"))
      << c.warnings;
  // What the model never consults, as the converters write it, and a grain
  // size equal to layer 1's: unused, but nothing misleading.
  EXPECT_FALSE(has("phi_a(1)") || has("rs3(2)")) << c.warnings;
  // The deck's own sweep is the sweep tools': unused by the run, no mistake.
  EXPECT_FALSE(has("freq_max")) << c.warnings;
  // Layer 1's phi_layer equals its water proportion: unused, but nothing to say.
  EXPECT_FALSE(has("phi_layer(1)")) << c.warnings;

  // With uniform materials layer 2 is unused as a whole.
  const Checked uniform = check(keyword_example("permafrost"));
  EXPECT_FALSE(used(uniform, "ak_s1(2)"));
  EXPECT_TRUE(used(uniform, "ak_s1(1)") && used(uniform, "phi_a(1)"));
  EXPECT_NE(uniform.warnings.find(": the values of [[layer]] 2 are not used"), std::string::npos)
      << uniform.warnings;
}

TEST(KeywordDeck, ValuesTheRunDoesNotUseMayBeLeftOutAndReadTheSame) {
  const std::string full = keyword_example("permafrost");
  std::string lean = full;
  for (const char* key : {"freq_max", "n_freq", "nmat", "water_proportion"}) {
    lean = with_value(lean, key, "");
  }
  for (int layer = 1; layer <= 2; ++layer) {
    for (const char* key : {"s3", "rs1", "rs3", "nl", "phi_layer"})
      lean = with_value(lean, key, "");
  }
  const Checked a = check(full), b = check(lean);
  ASSERT_EQ(b.status, 0) << b.err.what;
  EXPECT_EQ(b.deck.nmat, 2);
  EXPECT_EQ(b.deck.n_freq, 1);
  EXPECT_EQ(b.deck.phi_layer(1), 0.1) << "the water the constant porosity gives the layer";
  EXPECT_EQ(b.plan.water(1), a.plan.water(1));
  EXPECT_EQ(b.deck.ak_s1(1), a.deck.ak_s1(1));
  EXPECT_EQ(find_entry(b.record, "s3(1)"), nullptr) << "a value left out is not recorded";
  EXPECT_EQ(b.warnings.find("(1)"), std::string::npos) << "layer 1 is all used\n" << b.warnings;

  // A value the plan does use stays required: a porosity by layer needs the
  // thicknesses, and phi_layer gives the water when [run] water_proportion
  // is not given.
  std::string by_layer = with_value(lean, "porosity", "\"by_layer\"");
  EXPECT_EQ(check(by_layer).err.key, "nl");
  by_layer = with_value(by_layer, "ak_s3", "8.58e9\nnl = 5", 1);
  by_layer = with_value(by_layer, "ak_s3", "8.58e9\nnl = 5", 2);
  const Checked refused = check(by_layer);
  EXPECT_EQ(refused.err.key, "phi_layer");
  EXPECT_NE(refused.err.what.find("or give [run] water_proportion"), std::string::npos);
  by_layer = with_value(by_layer, "ak_s3", "8.58e9\nphi_layer = 0.2", 1);
  by_layer = with_value(by_layer, "ak_s3", "8.58e9\nphi_layer = 0.15", 2);
  const Checked layered = check(by_layer);
  ASSERT_EQ(layered.status, 0) << layered.err.what;
  EXPECT_EQ(layered.plan.water(2), 0.15);
  EXPECT_TRUE(used(layered, "phi_layer(2)") && used(layered, "nl(1)"));
}

TEST(KeywordDeck, MisspeltKeyIsAnsweredWithTheClosestKnownKey) {
  const std::string deck = keyword_example("permafrost");
  const Checked layer_key = check(with_value(deck, "ro2", "1000.0\nro_2 = 1000.0"));
  EXPECT_NE(layer_key.err.what.find("unknown key 'ro_2' in [[layer]] 1; did you mean 'ro2'?"),
            std::string::npos)
      << layer_key.err.what;
  const Checked run_key = check(with_value(deck, "materials", "\"uniform\"\nmaterial = 1"));
  EXPECT_NE(run_key.err.what.find("did you mean 'materials'?"), std::string::npos)
      << run_key.err.what;
  const Checked head_key = check("frq = 100.0\n" + deck);
  EXPECT_NE(head_key.err.what.find("did you mean 'freq'?"), std::string::npos) << head_key.err.what;
  // Nothing close: no guess.
  const Checked far = check(with_value(deck, "ro2", "1000.0\nporosity_of_grains = 0.1"));
  EXPECT_EQ(far.err.what.find("did you mean"), std::string::npos) << far.err.what;
}
