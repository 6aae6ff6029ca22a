// The numerics of a convergence study on sequences whose limit and order
// are known, so that a wrong formula cannot pass by luck.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "converge/order.hpp"

namespace {

using tp::assess;
using tp::Assessment;
using tp::Tolerance;
using tp::Verdict;

// f(h) = limit + c h^p at the given cell sizes.
void power_law(const double* h, int n, double limit, double c, double p, double* f) {
  for (int i = 0; i < n; ++i) f[i] = limit + c * std::pow(h[i], p);
}

TEST(ObservedOrder, RecoversTheExponentOfAPowerLawOnHalvedAndUnevenGrids) {
  const double halved[3] = {0.04, 0.02, 0.01};
  const double uneven[3] = {0.06, 0.025, 0.01};  // ratios 2.4 and 2.5
  for (double p : {1.0, 2.0, 0.5}) {
    double f[3];
    power_law(halved, 3, 7.0, 3.0, p, f);
    EXPECT_NEAR(tp::observed_order(f[1] - f[0], f[2] - f[1], 2.0, 2.0), p, 1e-9);
    power_law(uneven, 3, 7.0, 3.0, p, f);
    EXPECT_NEAR(tp::observed_order(f[1] - f[0], f[2] - f[1], 2.4, 2.5), p, 1e-8);
  }
}

TEST(ObservedOrder, IsUndefinedWhenDifferencesChangeSignOrGrow) {
  EXPECT_TRUE(std::isnan(tp::observed_order(1.0, -0.5, 2.0, 2.0)));  // oscillating
  EXPECT_TRUE(std::isnan(tp::observed_order(0.5, 1.0, 2.0, 2.0)));   // diverging
  EXPECT_TRUE(std::isnan(tp::observed_order(0.0, 0.0, 2.0, 2.0)));   // nothing changes
  // Shrinking by less than the finer step's ratio asks: 218 then 144 with
  // cells halved, then divided by 1.5, is a negative order.
  EXPECT_TRUE(std::isnan(tp::observed_order(218.0, 144.0, 2.0, 1.5)));
}

TEST(Richardson, ExtrapolatesAPowerLawToItsLimitAndItsErrorIsTheTrueOne) {
  const double h[4] = {0.08, 0.04, 0.02, 0.01};
  double f[4];
  power_law(h, 4, -75.0, 400.0, 1.5, f);
  const Assessment a = assess(h, f, 4, Tolerance{1e-6, 0.0});
  EXPECT_NEAR(a.order, 1.5, 1e-9);
  EXPECT_NEAR(a.extrapolated, -75.0, 1e-9);
  // The estimate of the finest value's error is its actual distance from
  // the limit.
  EXPECT_NEAR(a.error, std::fabs(f[3] + 75.0), 1e-9);
  EXPECT_EQ(a.verdict, Verdict::kConverging);  // 1 too far for a tolerance of 1e-6
  EXPECT_EQ(assess(h, f, 4, Tolerance{0.02, 0.0}).verdict, Verdict::kConverged);
}

TEST(Verdict, OscillationIsNotTheAsymptoticRange) {
  const double h[3] = {0.02, 0.01, 0.005};
  const double swings[3] = {0.0057, 0.175, 0.091};  // 1000/Q that changes its course
  const Assessment a = assess(h, swings, 3, Tolerance{0.01, 0.01});
  EXPECT_EQ(a.verdict, Verdict::kNotAsymptotic);
  EXPECT_TRUE(std::isnan(a.extrapolated));
  EXPECT_NEAR(a.error, 0.175 - 0.0057, 1e-15);  // the larger of the two changes
}

// A value within the tolerance was called converged without an observed
// order: at two levels, with changes that swing, with rounding-level
// changes. Each now says why it has no order; "converged" alone needs one.
TEST(Verdict, WithinTheToleranceWithoutAnOrderIsNotCalledConvergedAndSaysWhy) {
  const double h[3] = {0.02, 0.01, 0.005};
  const double two[2] = {100.0, 100.5};
  const double far[2] = {100.0, 110.0};
  const double swing[3] = {100.0, 100.3, 100.1};
  const double rounding[3] = {3914.0, 3914.0 + 4e-9, 3914.0 - 3e-9};
  const double same[3] = {3914.0, 3914.0, 3914.0};
  const Tolerance rel{0.01, 0.0};
  EXPECT_EQ(assess(h, two, 2, rel).verdict, Verdict::kWithinTwoLevels);
  EXPECT_EQ(assess(h, far, 2, rel).verdict, Verdict::kTooFewLevels);
  EXPECT_EQ(assess(h, two, 1, rel).verdict, Verdict::kTooFewLevels);
  EXPECT_EQ(assess(h, swing, 3, rel).verdict, Verdict::kWithinSwinging);
  for (const double* f : {rounding, same}) {
    const Assessment a = assess(h, f, 3, rel);
    EXPECT_EQ(a.verdict, Verdict::kUnchanged);
    EXPECT_TRUE(std::isnan(a.order));
    EXPECT_EQ(a.extrapolated, f[2]);
  }
  for (Verdict v : {Verdict::kUnchanged, Verdict::kWithinTwoLevels, Verdict::kWithinSwinging}) {
    const std::string name = verdict_name(v);
    EXPECT_NE(name.find("(no order: "), std::string::npos) << name;
    EXPECT_EQ(name.find(','), std::string::npos) << name << ": converge.csv is not quoted";
  }
}

TEST(Verdict, ToleranceOfAValueNearZeroIsItsFloor) {
  const double h[3] = {0.02, 0.01, 0.005};
  const double tiny[3] = {0.0012, 0.0016, 0.0018};  // 1000/Q of an almost lossless sample
  const Assessment a = assess(h, tiny, 3, Tolerance{0.01, 0.01});
  EXPECT_EQ(a.tolerance, 0.01);
  EXPECT_EQ(a.verdict, Verdict::kConverged);
}

}  // namespace
