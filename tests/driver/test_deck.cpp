// The input deck as users write it: the echo they check their input against,
// the ice-model check, and the decks the program must refuse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/deck_edit.hpp"
#include "support/run.hpp"
#include "support/testing.hpp"

using tp::testing::fresh_dir;
using tp::testing::join_lines;
using tp::testing::run_program;
using tp::testing::split_lines;
using tp::testing::without_warnings;

namespace {

// A one-layer shaley-sand deck on a 3 by 4 grid. Line 21 (rs1) holds "25"
// without a decimal point: the fixed field reads it as 25e-10.
std::vector<std::string> small_deck() {
  return {"50.0", "5000.0",  "5",       "1.0",    "3",     "4",      "    1",  "    0",
          "1",    "2",       "2.25e9",  "1000.0", "0.001", "2650.0", "2650.0", "0.3",
          "0.1",  "1.0e-12", "1.0e-12", "0.2",    "25",    "1.0e-6", "0.5",    "0.0",
          "0.0",  "3.8e10",  "4.4e10",  "2.1e10", "7.0e9"};
}

// The deck with line `n` (1-based) replaced.
std::string with_line(int n, const std::string& text) {
  return join_lines(tp::testing::with_line(small_deck(), n, text));
}

// Runs the deck in a fresh directory holding the reference files.
tp::testing::RunResult run(const std::string& deck) {
  const std::string dir = fresh_dir("deck");
  tp::testing::copy_example("shaley_sand", dir);
  return run_program(dir, deck);
}

const char* kEcho[] = {
    " 50.000000000000000",
    " 5000.0000000000000",
    " 5",
    " 1.0000000000000000",
    " 3",
    " 4",
    " 1",
    " 0",
    " 1",
    " **********************************",
    "  layer i=   1",
    "",
    " **********************************",
    "  nl(i) = cell in layer i       =  2",
    "  akf (GPA) (fluid bulk mod.    =  2250000000.0000000",
    "  ro2 (gr/cm^3) (fluid density) =  1000.0000000000000",
    "  eta (poise) (fluid viscosity) =  1.0000000000000000E-03",
    "",
    "  ro1(kgr/m^3)                  =  2650.0000000000000",
    "  ro3(kgr/m^3)                  =  2650.0000000000000",
    "  phi_a (absolute porosity,ice) =  0.29999999999999999",
    "  phi_layer1 (water proportion) =  0.10000000000000001",
    "  capa_1_0 (cm^2) (ice)         =  9.9999999999999998E-13",
    "  capa_3_0 (cm^2) (ice)         =  9.9999999999999998E-13",
    "  s3 (shale proportion)(shales) =  0.20000000000000001",
    "  rs1 (m^2)   (shale)          =  2.5000000000000001E-09",
    "  rs3 (m^2) (shale)            =  9.9999999999999995E-07",
    "  coef_b13                      =  0.50000000000000000",
    "  ak_air(PA )                   =  0.0000000000000000",
    "  xmu_air (PA)                  =  0.0000000000000000",
    "  ak_s1  (PA)                   =  38000000000.000000",
    "  xmu_s1 (PA)                   =  44000000000.000000",
    "  ak_s3  (PA)                   =  21000000000.000000",
    "  xmu_s3 (PA)                   =  7000000000.0000000",
    "  model (=0,layered,=1,fractal  =  0",
    "",
    "  mesh size h  0.25000000000000000",
    " nl(1), nl(2)   2 0",
    "  domain size (m)  1.0000000000000000",
    " ",
    "  ny = number of subintervals in y-direction  4",
    " ",
    "  hy = subinterval size (m)  0.25000000000000000",
    " ",
    "  nper = number of periods  2",
    " ",
    "  size of layer 1 in subintervals  2",
    " ",
    "  size of layer 1 (m)  0.50000000000000000",
    " ",
    "  size of layer 2 in subintervals  0",
    " ",
    "  size of layer 2 (m)  0.0000000000000000",
    " ",
};

}  // namespace

TEST(DeckEcho, WholeEchoAndLayerGeometryLineByLine) {
  const auto r = run(join_lines(small_deck()));
  const auto lines = split_lines(r.out);
  const int n = sizeof kEcho / sizeof kEcho[0];
  ASSERT_GE(static_cast<int>(lines.size()), n) << r.out;
  for (int i = 0; i < n; ++i) EXPECT_EQ(lines[i], kEcho[i]) << "line " << i + 1;
}

TEST(DeckEcho, CommentsAfterTheValuesAndEmptyLinesBeforeFreeValuesAreIgnored) {
  auto lines = small_deck();
  lines[0] = "50.0    freq (Hz)";
  lines[4] = "\n\n3   nx";
  lines[10] = "2.25e9              akf: columns after 20 are not read 99";
  const auto r = run(join_lines(lines));
  EXPECT_NE(r.out.find(" 50.000000000000000\n"), std::string::npos);
  EXPECT_NE(r.out.find("  akf (GPA) (fluid bulk mod.    =  2250000000.0000000\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("  mesh size h  0.25000000000000000\n"), std::string::npos);
}

TEST(DeckEcho, TwoLayersEchoEachBlockInTurn) {
  auto lines = small_deck();
  lines[8] = "2";
  const std::vector<std::string> layer(lines.begin() + 9, lines.end());
  lines.insert(lines.end(), layer.begin(), layer.end());
  const auto r = run(join_lines(lines));
  EXPECT_NE(r.out.find("  layer i=   2\n"), std::string::npos);
  EXPECT_NE(r.out.find(" nl(1), nl(2)   2 2\n"), std::string::npos);
}

TEST(IceModelCheck, NoRoomForIceStopsBeforeAnyLayerIsEchoed) {
  // key_model 0 with phi_layer equal to phi_a: equality fails the check.
  auto lines = small_deck();
  lines[6] = "    0";
  lines[16] = "0.3";
  const auto r = run(join_lines(lines));
  EXPECT_EQ(r.status, 11);
  EXPECT_EQ(r.err, "STOP 11\n");
  const auto out = split_lines(r.out);
  ASSERT_EQ(out.size(), 12u) << r.out;  // 9 head lines, then the three message lines
  EXPECT_EQ(out[9], "  Ice model, phi_a_m is smaller than phi_layer_m(i) ");
  EXPECT_EQ(out[10], "  ERROR, the code stops ");
  EXPECT_EQ(out[11], "  phi_a_m(i) =  0.29999999999999999  phi_layer_m(i) =  0.29999999999999999");
}

TEST(IceModelCheck, ShaleySandModelHasNoIceAndSkipsTheCheck) {
  const auto r = run(with_line(17, "0.5"));  // phi_layer above phi_a, key_model 1
  EXPECT_EQ(r.status, 40);
  EXPECT_EQ(without_warnings(r.err), "STOP 40\n");
}

// Values the tables cannot hold are refused before any table is filled, with
// a message naming the deck line, the field and the value.
struct Rejection {
  int line;
  const char* text;
  const char* words;
};

class DeckRejection : public ::testing::TestWithParam<Rejection> {};

TEST_P(DeckRejection, NamesLineFieldAndValue) {
  const auto& c = GetParam();
  const auto r = run(with_line(c.line, c.text));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.status, 40);
  EXPECT_NE(r.err.find("standard input, line " + std::to_string(c.line)), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find(c.words), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("layer i="), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    SizesAndKeys, DeckRejection,
    ::testing::Values(
        Rejection{5, "0", "nx = 0"},
        Rejection{5, "3900001", "nx = 3900001 is outside the allowed range 1..3900000"},
        Rejection{6, "-2", "ny = -2"},
        Rejection{6, "3900001", "ny = 3900001 is outside the allowed range 1..3900000"},
        Rejection{7, "    2", "key_model = 2"}, Rejection{8, "   -1", "model = -1"},
        Rejection{9, "0", "nmat = 0"}, Rejection{9, "3", "nmat = 3"},
        Rejection{10, "-1", "nl(1) = -1"}, Rejection{5, "three", "nx"},
        Rejection{11, "2.25 GPa", "akf(1)"}, Rejection{1, "fast", "freq"}));

TEST(DeckRejection, LayersOfZeroThicknessLeaveNoPeriod) {
  const auto r = run(with_line(10, "0"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("nl(1) + nl(2) = 0"), std::string::npos) << r.err;
}

TEST(DeckRejection, DeckEndingEarlyNamesTheMissingValue) {
  auto lines = small_deck();
  lines.resize(20);
  const auto r = run(join_lines(lines));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("standard input"), std::string::npos);
  EXPECT_NE(r.err.find("after line 20"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("rs1(1)"), std::string::npos) << r.err;
}

TEST(DeckRejection, EmptyInputNamesTheFirstValue) {
  const auto r = run("");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("freq"), std::string::npos) << r.err;
}
