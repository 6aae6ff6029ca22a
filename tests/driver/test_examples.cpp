// Every bundled example runs to its normal end.
#include <gtest/gtest.h>

#include "support/run.hpp"
#include "support/testing.hpp"

using namespace tp::testing;

class Example : public ::testing::TestWithParam<const char*> {};

TEST_P(Example, RunsToStop40) {
  const std::string dir = fresh_dir(GetParam());
  copy_example(GetParam(), dir);
  const auto r = run_program(dir, read_file(dir + "/deck"));
  EXPECT_EQ(r.status, 40) << r.out.substr(r.out.size() > 2000 ? r.out.size() - 2000 : 0);
  EXPECT_EQ(without_warnings(r.err), "STOP 40\n");
  EXPECT_NE(r.out.find(" running time="), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Bundled, Example,
                         ::testing::Values("permafrost", "shaley_sand", "fractal"));
