// Warnings about deck values that read as numbers but are probably not what
// the user meant, or that the run ignores.
#include <gtest/gtest.h>

#include <string>

#include "deck/deck_checks.hpp"

namespace tp {
namespace {

// A record of the head values of a permafrost (key 0) or shaley-sand deck.
DeckRecord head(int key_model) {
  DeckRecord r;
  note_entry(r, "freq", 0, 1, "100.0", 100.0, false, 0);
  note_entry(r, "key_model", 0, 7, "0", key_model, true, 0);
  return r;
}

std::string all(const Warnings& w) {
  std::string s;
  for (int i = 0; i < w.n; ++i) s += std::string(w.w[i]) + "\n";
  return s;
}

Warnings checked(DeckRecord& r) {
  mark_used_values(r);
  Warnings w;
  deck_warnings(r, w);
  return w;
}

TEST(DeckWarnings, DigitsWithoutPointNameTheLineTheValueReadAndTheFix) {
  DeckRecord r = head(0);
  note_entry(r, "ro1(1)", 1, 14, "2650", 2.65e-7, true, 10);
  const Warnings w = checked(r);
  ASSERT_EQ(w.n, 1) << all(w);  // no range warning on top of the implied decimals
  EXPECT_STREQ(w.w[0],
               "line 14: ro1(1) = 2650 has no decimal point and is read as 2.65E-07 (10 implied "
               "decimals); write 2650.0 to mean 2650");
}

TEST(DeckWarnings, ZeroOrPointedFieldsAreReadAsWrittenAndStaySilent) {
  DeckRecord r = head(0);
  note_entry(r, "coef_b13(1)", 1, 23, "0", 0.0, true, 10);
  note_entry(r, "ro1(1)", 1, 14, "2650.", 2650.0, true, 10);
  note_entry(r, "akf(1)", 1, 11, "2.25e9", 2.25e9, true, 10);
  EXPECT_EQ(checked(r).n, 0) << all(checked(r));
}

TEST(DeckWarnings, ModuliInGigapascalsAndDensitiesInGramsPerCubicCentimetreAreFarOutOfRange) {
  DeckRecord r = head(0);
  note_entry(r, "ak_s1(1)", 1, 26, "37.0", 37.0, true, 10);
  note_entry(r, "ro1(1)", 1, 14, "2.65", 2.65, true, 10);
  const std::string text = all(checked(r));
  EXPECT_NE(text.find("line 26: ak_s1(1) = 37 Pa is far outside the usual span"), std::string::npos)
      << text;
  EXPECT_NE(text.find("not GPa"), std::string::npos) << text;
  EXPECT_NE(text.find("line 14: ro1(1) = 2.65 kg/m3"), std::string::npos) << text;
  EXPECT_NE(text.find("not g/cm3"), std::string::npos) << text;
}

TEST(DeckWarnings, EmptyPoresAndFieldsTheModelIgnoresRaiseNoRangeWarning) {
  // Zero inclusion moduli mean empty pores; the permafrost model never reads
  // the grain sizes, so a placeholder there is no mistake.
  DeckRecord r = head(0);
  note_entry(r, "ak_air(1)", 1, 24, "0.0", 0.0, true, 10);
  note_entry(r, "rs1(1)", 1, 21, "5.0", 5.0, true, 10);
  EXPECT_EQ(checked(r).n, 0) << all(checked(r));
  DeckRecord sand = head(1);
  note_entry(sand, "capa_1_0(1)", 1, 18, "1.0", 1.0, true, 10);
  EXPECT_EQ(checked(sand).n, 0) << all(checked(sand));
}

TEST(DeckWarnings, WaterProportionAndSecondLayerTheRunIgnoresAreNamed) {
  DeckRecord r = head(0);
  note_entry(r, "phi_layer(1)", 1, 17, "0.2", 0.2, true, 10);
  note_entry(r, "nl(2)", 2, 30, "5", 5, false, 0);
  note_entry(r, "xmu_s3(2)", 2, 49, "3.32e9", 3.32e9, true, 10);
  const std::string text = all(checked(r));
  EXPECT_NE(text.find("line 17: phi_layer(1) = 0.2 is not used"), std::string::npos) << text;
  EXPECT_NE(text.find("lines 30-49: the values of layer 2 are not used"), std::string::npos)
      << text;
  EXPECT_FALSE(r.e[2].used);
  EXPECT_FALSE(r.e[4].used);
}

}  // namespace
}  // namespace tp
