#include <gtest/gtest.h>
#include "common/output.hpp"
TEST(Smoke, Builds) { EXPECT_EQ(std::string(tp::g_edit(12.345678, 15, 5).s), "       12.346    "); }
