// Edited numbers as the result tables, reports and maps show them. The
// result tables are read by users' plotting scripts column by column, so
// every blank and digit counts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "common/output.hpp"
#include "support/testing.hpp"

using tp::e_edit;
using tp::f_edit;
using tp::g_edit;

namespace {
std::string G(double v, int w, int d) { return g_edit(v, w, d).s; }
std::string E(double v, int w, int d) { return e_edit(v, w, d).s; }
std::string F(double v, int w, int d) { return f_edit(v, w, d).s; }
std::string Free(double v) { return tp::free_real(v).s; }
}  // namespace

TEST(TableForm, ModerateValuesAreFixedWithFourTrailingBlanks) {
  EXPECT_EQ(G(12.345678, 15, 5), "     12.346    ");
  EXPECT_EQ(G(-12.345678, 15, 5), "    -12.346    ");
  EXPECT_EQ(G(0.1, 15, 5), "    0.10000    ");
  EXPECT_EQ(G(1.0, 15, 5), "     1.0000    ");
  EXPECT_EQ(G(99999.4, 15, 5), "     99999.    ");
}

TEST(TableForm, LargeAndTinyValuesTakeTheExponentForm) {
  EXPECT_EQ(G(2.5e6, 15, 5), "    0.25000E+07");
  EXPECT_EQ(G(0.000012345, 15, 5), "    0.12345E-04");
  EXPECT_EQ(G(-0.000012345, 15, 5), "   -0.12345E-04");
  EXPECT_EQ(G(1e100, 15, 5), "    0.10000+101");  // three-digit exponents drop the E
}

TEST(TableForm, ZeroIsFixedWithFourDecimals) { EXPECT_EQ(G(0.0, 15, 5), "     0.0000    "); }

TEST(TableForm, RoundingDecidesTheFormAtBothEdges) {
  // 99999.5 rounds to 100000 at five digits: too wide for the fixed form.
  EXPECT_EQ(G(99999.5, 15, 5), "    0.10000E+06");
  // 0.099999 stays below 0.1 at five digits: exponent form.
  EXPECT_EQ(G(0.099999, 15, 5), "    0.99999E-01");
  // 9.999996 rounds up into the next decade and loses a decimal.
  EXPECT_EQ(G(9.999996, 15, 5), "     10.000    ");
}

TEST(TableForm, TwoFieldsAreSeparatedByTwoBlanks) {
  tp::testing::CapturedOutput cap;
  tp::table_line(tp::std_out(), 0.1, 2.5e6);
  EXPECT_EQ(cap.text(),
            "    0.10000    "
            "  "
            "    0.25000E+07\n");
}

TEST(NarrowGeneralForm, LeadingZeroGivesWayBeforeAsterisks) {
  // g10.5 leaves 6 columns to the fixed form: 0.12345 loses its leading zero.
  EXPECT_EQ(G(0.12345, 10, 5), ".12345    ");
  EXPECT_EQ(G(12.345678, 10, 5), "12.346    ");
  EXPECT_EQ(G(2.5e6, 10, 5), ".25000E+07");
  EXPECT_EQ(G(-2.5e6, 10, 5), "**********");
}

TEST(ExponentForm, TenDecimalsInTwentyColumns) {
  EXPECT_EQ(E(2650.0, 20, 10), "    0.2650000000E+04");
  EXPECT_EQ(E(-1.0e-3, 20, 10), "   -0.1000000000E-02");
  EXPECT_EQ(E(0.0, 20, 10), "    0.0000000000E+00");
}

TEST(FixedForm, RunningTimeField) {
  EXPECT_EQ(F(0.0, 15, 6), "       0.000000");
  EXPECT_EQ(F(1.5, 15, 6), "       1.500000");
  EXPECT_EQ(F(1234567.1234567, 15, 6), " 1234567.123457");
  EXPECT_EQ(F(1.0e12, 15, 6), "***************");
}

TEST(FixedForm, ExactTiesRoundAwayFromZero) {
  EXPECT_EQ(F(0.125, 5, 2), " 0.13");
  EXPECT_EQ(F(-0.125, 5, 2), "-0.13");
  EXPECT_EQ(F(0.004, 5, 2), " 0.00");
  EXPECT_EQ(F(0.006, 5, 2), " 0.01");
}

TEST(FreeForm, DoublesCarrySeventeenSignificantDigits) {
  EXPECT_EQ(Free(1.0), "1.0000000000000000");
  EXPECT_EQ(Free(0.1), "0.10000000000000001");
  EXPECT_EQ(Free(2.25e9), "2250000000.0000000");
  EXPECT_EQ(Free(-2.5), "-2.5000000000000000");
  EXPECT_EQ(Free(1.0e-3), "1.0000000000000000E-03");
  EXPECT_EQ(Free(1.0e16), "1.0000000000000000E+16");
  EXPECT_EQ(Free(0.0), "0.0000000000000000");
  EXPECT_EQ(Free(std::nan("")), "NaN");
}

TEST(FreeForm, PrintedDoublesReadBackExactly) {
  for (double v : {0.1, 1.0 / 3.0, 2.0 / 3.0 * 1e-7, 6.283185307179586, 1.7976931348623157e308,
                   4.9e-324, -123456.789e10}) {
    EXPECT_EQ(std::strtod(tp::free_real(v).s, nullptr), v) << Free(v);
  }
}

TEST(FreeForm, LineStartsWithABlankAndSeparatesItems) {
  tp::testing::CapturedOutput cap;
  tp::FreeLine(tp::std_out()) << " layer i=  " << 2;
  tp::FreeLine(tp::std_out()) << "deltavol1=" << tp::cplx(1.5, -0.25);
  tp::empty_line(tp::std_out());
  tp::blank_line(tp::std_out());
  EXPECT_EQ(cap.text(),
            "  layer i=   2\n"
            " deltavol1= 1.5000000000000000 -0.25000000000000000\n"
            "\n"
            " \n");
}
