// Kuster-Toksoz moduli: the limits any effective-medium formula must honour.
#include <gtest/gtest.h>

#include "rockphysics/kt.hpp"

namespace {

constexpr double kQuartzK = 3.7e10;
constexpr double kQuartzMu = 4.4e10;

TEST(KusterToksoz, NoInclusionsLeaveTheHostUnchanged) {
  double k = 0.0;
  double mu = 0.0;
  tp::kt(kQuartzK, kQuartzMu, 2.25e9, 0.0, 0.0, k, mu);
  EXPECT_EQ(k, kQuartzK);
  EXPECT_DOUBLE_EQ(mu, kQuartzMu);
}

TEST(KusterToksoz, InclusionsOfHostMaterialChangeNothingAtAnyConcentration) {
  for (const double c : {0.1, 0.5, 0.9, 1.0}) {
    double k = 0.0;
    double mu = 0.0;
    tp::kt(kQuartzK, kQuartzMu, kQuartzK, kQuartzMu, c, k, mu);
    EXPECT_EQ(k, kQuartzK) << "c = " << c;
    EXPECT_DOUBLE_EQ(mu, kQuartzMu) << "c = " << c;
  }
}

TEST(KusterToksoz, EmptyInclusionsFillingTheVolumeLeaveNoBulkStiffness) {
  double k = 1.0;
  double mu = 1.0;
  tp::kt(kQuartzK, kQuartzMu, 0.0, 0.0, 1.0, k, mu);
  EXPECT_EQ(k, 0.0);
}

TEST(KusterToksoz, SofterInclusionsSoftenTheFrameMonotonically) {
  // Ice grains with air pores: both moduli fall as the pores grow.
  double k_prev = 8.6e9;
  double mu_prev = 3.9e9;
  for (const double c : {0.1, 0.2, 0.3, 0.4}) {
    double k = 0.0;
    double mu = 0.0;
    tp::kt(8.6e9, 3.9e9, 1.0e5, 0.0, c, k, mu);
    EXPECT_LT(k, k_prev) << "c = " << c;
    EXPECT_LT(mu, mu_prev) << "c = " << c;
    EXPECT_GT(mu, 0.0) << "c = " << c;
    k_prev = k;
    mu_prev = mu;
  }
}

}  // namespace
