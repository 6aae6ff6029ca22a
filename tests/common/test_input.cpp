// Reading the deck's line forms and the porosity file's fixed field.
#include <gtest/gtest.h>

#include "common/complex.hpp"
#include "common/input.hpp"

using tp::parse_fixed_int;
using tp::parse_fixed_real;
using tp::parse_free_int;
using tp::parse_free_real;

namespace {
double fixed(const char* line, int w, int d) {
  double v = -1.0;
  EXPECT_TRUE(parse_fixed_real(line, w, d, v)) << line;
  return v;
}
}  // namespace

TEST(FixedRealField, DigitsWithoutAPointCarryImpliedDecimals) {
  EXPECT_DOUBLE_EQ(fixed("25", 20, 10), 25e-10);
  EXPECT_DOUBLE_EQ(fixed("5", 20, 10), 5e-10);
  EXPECT_DOUBLE_EQ(fixed("2500", 12, 4), 0.25);
  EXPECT_DOUBLE_EQ(fixed("3", 12, 4), 0.0003);
  EXPECT_DOUBLE_EQ(fixed("2500E1", 12, 4), 2.5);  // the exponent applies on top
}

TEST(FixedRealField, APointOrExponentIsTakenAsWritten) {
  EXPECT_EQ(fixed("2.25e9", 20, 10), 2.25e9);
  EXPECT_EQ(fixed("1.4e10", 20, 10), 1.4e10);
  EXPECT_EQ(fixed(" 0.30E+00", 12, 4), 0.3);
  EXPECT_EQ(fixed("  1.6056E-01", 12, 4), 0.16056);
  EXPECT_EQ(fixed("1.5D3", 20, 10), 1500.0);
  EXPECT_EQ(fixed("1.5+3", 20, 10), 1500.0);  // exponent without its letter
}

TEST(FixedRealField, BlanksAreIgnoredAndColumnsBeyondTheFieldToo) {
  EXPECT_EQ(fixed("1 000.0", 20, 10), 1000.0);
  EXPECT_EQ(fixed("   0.25   ", 12, 4), 0.25);
  EXPECT_EQ(fixed("0.25        then a comment 99", 12, 4), 0.25);
  EXPECT_EQ(fixed("2.25e9              akf(1), fluid bulk modulus", 20, 10), 2.25e9);
  EXPECT_EQ(fixed("", 20, 10), 0.0);
  EXPECT_EQ(fixed("          ", 20, 10), 0.0);
}

TEST(FixedRealField, TextIsNotANumber) {
  double v = 0;
  EXPECT_FALSE(parse_fixed_real("abc", 20, 10, v));
  EXPECT_FALSE(parse_fixed_real("1.2.3", 20, 10, v));
  EXPECT_FALSE(parse_fixed_real("1.0e", 20, 10, v));
  EXPECT_FALSE(parse_fixed_real("-", 20, 10, v));
  EXPECT_FALSE(parse_fixed_real("1e999999", 20, 10, v));  // beyond the doubles
}

TEST(FixedIntField, FiveColumnsBlanksIgnored) {
  int v = -1;
  EXPECT_TRUE(parse_fixed_int("    1", 5, v));
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(parse_fixed_int("", 5, v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(parse_fixed_int("   12xyz", 5, v));  // column 6 on is not read
  EXPECT_EQ(v, 12);
  EXPECT_TRUE(parse_fixed_int("1 2", 5, v));
  EXPECT_EQ(v, 12);
  EXPECT_FALSE(parse_fixed_int("  1.0", 5, v));
  EXPECT_FALSE(parse_fixed_int("one", 5, v));
}

TEST(FreeForm, FirstItemOfTheLineIsTaken) {
  double x = 0;
  int n = 0;
  EXPECT_TRUE(parse_free_real("  100.0   freq (Hz)", x));
  EXPECT_EQ(x, 100.0);
  EXPECT_TRUE(parse_free_real("25", x));  // no implied decimals in the free form
  EXPECT_EQ(x, 25.0);
  EXPECT_TRUE(parse_free_real("1d3,7", x));
  EXPECT_EQ(x, 1000.0);
  EXPECT_TRUE(parse_free_int("20 nx", n));
  EXPECT_EQ(n, 20);
  EXPECT_TRUE(parse_free_int("-3", n));
  EXPECT_EQ(n, -3);
}

TEST(FreeForm, WrongKindOfNumberIsRejected) {
  double x = 0;
  int n = 0;
  EXPECT_FALSE(parse_free_int("5.0", n));
  EXPECT_FALSE(parse_free_int("1e3", n));
  EXPECT_FALSE(parse_free_int("99999999999", n));  // beyond 32 bits
  EXPECT_FALSE(parse_free_real("", x));
  EXPECT_FALSE(parse_free_real("freq", x));
}

TEST(ComplexDivision, ScaledMethodAvoidsOverflowOfTheDivisorSquare) {
  const tp::cplx big(1e300, 1e300);
  const tp::cplx q = tp::cdiv(big, big);
  EXPECT_DOUBLE_EQ(q.real(), 1.0);
  EXPECT_DOUBLE_EQ(q.imag(), 0.0);
  const tp::cplx r = tp::cdiv(tp::cplx(1.0, 2.0), tp::cplx(3.0, -4.0));
  EXPECT_NEAR(r.real(), -0.2, 1e-16);
  EXPECT_NEAR(r.imag(), 0.4, 1e-16);
}

TEST(ComplexSquareRoot, PrincipalBranch) {
  const tp::cplx s = tp::csqrt(tp::cplx(-4.0, -0.0));
  EXPECT_EQ(s.real(), 0.0);
  EXPECT_EQ(s.imag(), -2.0);
  EXPECT_GE(tp::csqrt(tp::cplx(-1.0, 1e-20)).real(), 0.0);
}
