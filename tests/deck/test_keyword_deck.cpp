// The keyword reader and the converters, in process: each refusal names its
// line and key; a keyword twin reads to the legacy deck's values bit for bit;
// conversion both ways loses nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "common/input.hpp"
#include "common/stop.hpp"
#include "deck/convert.hpp"
#include "deck/deck_file.hpp"
#include "deck/keyword_testing.hpp"
#include "support/testing.hpp"

using namespace tp;
using namespace tp::testing;

namespace {

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every value of two decks, compared bit for bit.
void expect_same_deck(const Deck& a, const Deck& b, const std::string& tag) {
  EXPECT_TRUE(same_bits(a.freq, b.freq) && same_bits(a.freq_max, b.freq_max) &&
              same_bits(a.domain_size, b.domain_size) && same_bits(a.h, b.h))
      << tag;
  EXPECT_TRUE(a.n_freq == b.n_freq && a.nx == b.nx && a.ny == b.ny && a.key_model == b.key_model &&
              a.model == b.model && a.nmat == b.nmat)
      << tag;
  const RealLayers Deck::*tables[] = {
      &Deck::akf,   &Deck::ro2,       &Deck::eta,      &Deck::ro1,      &Deck::ro3,
      &Deck::phi_a, &Deck::phi_layer, &Deck::capa_1_0, &Deck::capa_3_0, &Deck::s3,
      &Deck::rs1,   &Deck::rs3,       &Deck::coef_b13, &Deck::ak_s1,    &Deck::xmu_s1,
      &Deck::ak_s3, &Deck::xmu_s3,    &Deck::ak_air,   &Deck::xmu_air};
  for (int i = 1; i <= a.nmat; ++i) {
    EXPECT_EQ(a.nl(i), b.nl(i)) << tag << " nl(" << i << ")";
    for (auto t : tables) EXPECT_TRUE(same_bits((a.*t)(i), (b.*t)(i))) << tag << " layer " << i;
  }
}

struct Read {
  int status = 0;
  Deck deck;
  RunPlan plan;
  DeckError err;
};

Read read_keyword(const std::string& text) {
  Read r;
  r.status = read_keyword_deck(text, r.deck, r.plan, r.err);
  return r;
}

Read read_either(const std::string& text) {
  Read r;
  r.status = read_deck_text(text, r.deck, r.plan, r.err);
  return r;
}

}  // namespace

TEST(DeckForm, ToldApartByContentNotByName) {
  EXPECT_EQ(deck_form(read_file(source_path("examples/fractal/deck"))), DeckForm::legacy);
  EXPECT_EQ(deck_form(keyword_example("fractal")), DeckForm::keyword);
  EXPECT_EQ(deck_form("\n  \n100.0   freq = the frequency\n"), DeckForm::legacy);
  EXPECT_EQ(deck_form("\n\nfreq=100.0\n"), DeckForm::keyword);
  EXPECT_EQ(deck_form("[run]\n"), DeckForm::keyword);
  // Text that is neither goes to the legacy reader, whose message says what
  // the first line should hold.
  EXPECT_EQ(deck_form("hello world\n"), DeckForm::legacy);
  EXPECT_EQ(deck_form(""), DeckForm::legacy);
}

TEST(KeywordDeck, TwinOfEveryExampleReadsToTheLegacyValuesAndPlan) {
  for (const char* name : {"permafrost", "shaley_sand", "fractal"}) {
    const Read legacy =
        read_either(read_file(source_path(std::string("examples/") + name + "/deck")));
    const Read keyword = read_keyword(keyword_example(name));
    ASSERT_EQ(keyword.status, 0) << name << ": " << keyword.err.what;
    expect_same_deck(legacy.deck, keyword.deck, name);
    EXPECT_EQ(keyword.plan.materials, legacy.plan.materials) << name;
    EXPECT_EQ(keyword.plan.porosity, legacy.plan.porosity) << name;
    EXPECT_EQ(keyword.plan.porosity_value, legacy.plan.porosity_value) << name;
    EXPECT_EQ(keyword.plan.porosity_file, legacy.plan.porosity_file) << name;
    EXPECT_EQ(keyword.plan.water(1), 0.1) << name;
    // Only the keyword run lets a negative first-cell lambda through.
    EXPECT_TRUE(keyword.plan.lambda_warning_only && !legacy.plan.lambda_warning_only) << name;
  }
}

// Each fault of a keyword deck: the line and key the message must name, and
// words it must hold.
TEST(KeywordDeck, EachFaultIsRefusedNamingItsLineAndKey) {
  const std::string base = keyword_example("permafrost");
  const int layer2 = line_of_key(base, "akf", 2);
  const struct {
    const char* tag;
    std::string text;
    int line;
    const char* key;
    const char* words;
  } cases[] = {
      {"unknown head key", with_value(base, "nx", "20\nnz = 3"), line_of_key(base, "nx") + 1, "nz",
       "unknown key 'nz'"},
      {"unknown layer key", with_value(base, "ro1", "2650.0\nrho1 = 2650.0", 2),
       line_of_key(base, "ro1", 2) + 1, "rho1", "[[layer]] 2"},
      {"unknown run key", with_value(base, "solver", "\"own\"\nsolvr = 1"),
       line_of_key(base, "solver") + 1, "solvr", "in [run]"},
      {"missing head key", with_value(base, "domain_size", ""), line_of_key(base, "[run]") - 1,
       "domain_size", "has no 'domain_size'"},
      {"missing layer key", with_value(base, "akf", "", 2), line_of_key(base, "nl", 2) - 1, "akf",
       "[[layer]] 2 has no 'akf'"},
      {"missing run key", with_value(base, "porosity", ""), 0, "porosity", "has no 'porosity'"},
      {"key twice", with_value(base, "ny", "20\nny = 30"), line_of_key(base, "ny") + 1, "", "ny"},
      {"float for an integer", with_value(base, "nx", "20.0"), line_of_key(base, "nx"), "nx",
       "must be an integer, found a float"},
      {"string for a number", with_value(base, "ro1", "\"2650\"", 2), line_of_key(base, "ro1", 2),
       "ro1(2)", "must be a number, found a string"},
      {"not finite", with_value(base, "eta", "nan"), line_of_key(base, "eta"), "eta(1)",
       "not a finite number"},
      {"out of range in layer 2", with_value(base, "akf", "-1.0", 2), layer2, "akf(2)",
       "must be above 0 (the bulk modulus of the pore fluid)"},
      {"empty grid", with_value(base, "nx", "0"), line_of_key(base, "nx"), "nx",
       "nx = 0 is outside the allowed range 1.."},
      {"no room for ice", with_value(base, "phi_layer", "0.3"), line_of_key(base, "phi_layer"),
       "phi_layer(1)", "is not below phi_a(1)"},
      {"fewer layers than nmat", with_value(base, "nmat", "3"), line_of_key(base, "nmat"), "nmat",
       "outside the allowed range 1..2"},
      {"layer count", with_value(base, "nmat", "1"), line_of_key(base, "nmat"), "nmat",
       "nmat = 1 but the deck has 2 [[layer]] entries"},
      {"water per layer count", with_value(base, "water_proportion", "[0.1]"),
       line_of_key(base, "water_proportion"), "water_proportion", "1 values for nmat = 2"},
      {"file porosity in the layered model", with_value(base, "porosity", "{ file = \"p\" }"),
       line_of_key(base, "porosity"), "porosity", "needs model = \"fractal\""},
      {"unknown solver", with_value(base, "solver", "\"fast\""), line_of_key(base, "solver"),
       "solver", "\"own\", \"mumps\""},
      {"not TOML", with_value(base, "freq", "100.0 Hz"), line_of_key(base, "freq"), "", ""},
  };
  for (const auto& c : cases) {
    const Read r = read_keyword(c.text);
    EXPECT_EQ(r.status, kInputErrorStatus) << c.tag;
    if (c.line > 0) {
      EXPECT_EQ(r.err.line, c.line) << c.tag << ": " << r.err.what;
    }
    EXPECT_EQ(r.err.key, c.key) << c.tag << ": " << r.err.what;
    EXPECT_NE(r.err.what.find(c.words), std::string::npos) << c.tag << ": " << r.err.what;
  }
}

TEST(KeywordDeck, ModelsAndRunTableAcceptTheirNamesNumbersAndForms) {
  std::string text = with_value(keyword_example("shaley_sand"), "key_model", "1");
  text = with_value(text, "materials", "\"layered\"");
  text = with_value(text, "water_proportion", "[0.1, 0.25]");
  text = with_value(text, "porosity", "\"by_layer\"");
  text = with_value(text, "ro1", "2650", 2);  // an integer for a real: SI, no implied decimals
  const Read r = read_keyword(text);
  ASSERT_EQ(r.status, 0) << r.err.what;
  EXPECT_EQ(r.deck.key_model, 1);
  EXPECT_EQ(r.deck.ro1(2), 2650.0);
  EXPECT_EQ(r.plan.materials, Materials::layered);
  EXPECT_EQ(r.plan.porosity, PorositySource::by_layer);
  EXPECT_EQ(r.plan.water(2), 0.25);
}

// A clean sand (s3 = 0) read, then stopped the run on a zero solid-3
// fraction: the reader refuses it, and a pure shale, naming the share that
// runs; that share itself reads, and the permafrost model keeps its unused
// s3 = 0.
TEST(KeywordDeck, ShaleShareThatLeavesASolidWithoutVolumeIsRefusedNamingTheOneThatRuns) {
  const std::string sand = keyword_example("shaley_sand");
  const int line2 = line_of_key(sand, "s3", 2);
  for (const auto& [value, words] : {std::pair{"0.0", "(a clean sand) leaves solid 3 without"},
                                     std::pair{"1.0", "(a pure shale) leaves solid 1 without"}}) {
    const Read r = read_keyword(with_value(sand, "s3", value, 2));
    EXPECT_EQ(r.status, kInputErrorStatus) << value;
    EXPECT_EQ(r.err.line, line2) << r.err.what;
    EXPECT_EQ(r.err.key, "s3(2)") << r.err.what;
    EXPECT_NE(r.err.what.find(words), std::string::npos) << r.err.what;
  }
  EXPECT_NE(read_keyword(with_value(sand, "s3", "0.0", 2)).err.what.find("give s3(2) = 1.0e-12"),
            std::string::npos);
  EXPECT_EQ(read_keyword(with_value(sand, "s3", "1.0e-12", 2)).status, 0);
  EXPECT_EQ(read_keyword(with_value(keyword_example("permafrost"), "s3", "0.0")).status, 0);
}

// Values whose shortest digits fill the 20 columns, or need the exponent
// without its "e", still read back to the same double.
TEST(Convert, LegacyFieldsReadBackEveryDoubleBitForBit) {
  const double values[] = {0.1 + 0.2, 1.0 / 3.0, -2.0 / 3.0e-7, 2.25e9,           1.0e-300,
                           4.9e-324,  -0.0,      6.02214076e23, 123456789012345.6};
  for (double v : values) {
    const std::string text = fixed_field_text(v);
    ASSERT_FALSE(text.empty()) << v;
    ASSERT_LE(text.size(), 20u) << text;
    EXPECT_NE(text.find('.'), std::string::npos) << text;  // no implied decimals
    double back = 0.0;
    ASSERT_TRUE(parse_fixed_real(text.c_str(), 20, 10, back)) << text;
    EXPECT_TRUE(same_bits(back, v)) << text;
  }
  // 17 digits and a three-digit exponent need 23 columns: refused, not rounded.
  EXPECT_EQ(fixed_field_text(-1.2345678901234567e-300), "");
}

TEST(Convert, BothWaysGiveDecksThatReadToTheSameValues) {
  for (const char* name : {"permafrost", "shaley_sand", "fractal"}) {
    const Read legacy =
        read_either(read_file(source_path(std::string("examples/") + name + "/deck")));
    const Read keyword = read_keyword(keyword_deck_text(legacy.deck, legacy.plan));
    ASSERT_EQ(keyword.status, 0) << name << ": " << keyword.err.what;
    expect_same_deck(legacy.deck, keyword.deck, name);
    std::string back;
    DeckError err;
    ASSERT_EQ(legacy_deck_text(keyword.deck, back, err), 0) << err.what;
    expect_same_deck(legacy.deck, read_either(back).deck, name);
  }
  // Awkward values survive the legacy form too.
  std::string text = with_value(keyword_example("permafrost"), "akf", "2.2500000000000004e9");
  text = with_value(text, "eta", "-3.3333333333333335e-4", 2);
  const Read awkward = read_keyword(text);
  ASSERT_EQ(awkward.status, 0) << awkward.err.what;
  std::string back;
  DeckError err;
  ASSERT_EQ(legacy_deck_text(awkward.deck, back, err), 0) << err.what;
  expect_same_deck(awkward.deck, read_either(back).deck, "awkward");
}

TEST(Convert, ToLegacyNamesWhatTheLegacyRunWouldIgnore) {
  const Read plain = read_keyword(keyword_example("permafrost"));
  EXPECT_TRUE(plan_differences(plain.deck, plain.plan).empty());
  std::string text = with_value(keyword_example("permafrost"), "materials", "\"layered\"");
  text = with_value(text, "water_proportion", "[0.1, 0.2]");
  text = with_value(text, "porosity", "\"by_layer\"");
  text.insert(text.find("[run]\n") + 6, "elastic_form = \"plane_strain\"\n");
  const Read layered = read_keyword(text);
  ASSERT_EQ(layered.status, 0) << layered.err.what;
  const auto diff = plan_differences(layered.deck, layered.plan);
  ASSERT_EQ(diff.size(), 4u);
  EXPECT_NE(diff[0].find("material 1"), std::string::npos) << diff[0];
  EXPECT_NE(diff[1].find("water_proportion(2) = 0.2"), std::string::npos) << diff[1];
  EXPECT_NE(diff[3].find("two-dimensional form"), std::string::npos) << diff[3];
}

TEST(Convert, CommandWritesTheFileAndRefusesWhatItCannotWrite) {
  const std::string dir = fresh_dir("convert_command");
  const std::string toml = dir + "/twin.toml", legacy = dir + "/back";
  ASSERT_EQ(convert_command(source_path("examples/shaley_sand/deck"), false, toml), 0);
  // The bundled twin is the converted deck but for its first comment.
  const auto body = [](const std::string& s) { return s.substr(s.find('\n')); };
  EXPECT_EQ(body(read_file(toml)), body(read_file(source_path("examples/shaley_sand/deck.toml"))));
  ASSERT_EQ(convert_command(toml, true, legacy), 0);
  expect_same_deck(read_either(read_file(legacy)).deck,
                   read_either(read_file(source_path("examples/shaley_sand/deck"))).deck,
                   "shaley_sand back");
  EXPECT_EQ(convert_command(toml, true, dir + "/no/such/folder/deck"), kInputErrorStatus);
  write_file(dir + "/bad.toml", "freq = 1\nfreq = 2\n");
  EXPECT_EQ(convert_command(dir + "/bad.toml", true, ""), kInputErrorStatus);
  EXPECT_EQ(convert_command(dir + "/missing.toml", true, ""), kInputErrorStatus);
}
