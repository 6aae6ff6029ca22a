// tools/plot: PNG pictures of a run's maps and of a sweep's curves.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/report.hpp"
#include "support/testing.hpp"
#include "tools/tools_testing.hpp"

using namespace tp::testing;
namespace fs = std::filesystem;

namespace {

std::string swept(const std::string& tag, const std::string& extra) {
  const std::string cs = small_case(tag + "_case");
  const std::string out = fresh_dir(tag + "_out") + "/out";
  run_sweep(cs, out, extra);
  return out;
}

void expect_png(const std::string& path, int width, int height) {
  const PngSize s = png_size(path);
  EXPECT_TRUE(s.valid) << path;
  EXPECT_EQ(s.width, width) << path;
  EXPECT_EQ(s.height, height) << path;
  EXPECT_GT(s.bytes, 2000) << path;  // more than an empty frame
}

}  // namespace

TEST(Plot, EveryMapOfARunBecomesAPictureOfTheMapSize) {
  const std::string run = swept("plot_maps", "--separate-runs") + "/run_001";
  const auto r = run_tool("plot", shell_quote(run));
  ASSERT_EQ(r.status, 0) << r.err;
  int maps = 0;
  for (const auto& e : fs::directory_iterator(run + "/maps")) {
    const std::string name = e.path().stem().string();
    ++maps;
    expect_png(run + "/plots/" + name + ".png", 690, 610);  // a square sample
  }
  // Strain, stress, pressure, gradient, material, porosity, 12 coefficients
  // and the plate test's total stress.
  EXPECT_EQ(maps, 24);
  // The tool lists what it drew: those maps, each as PNG and PDF.
  EXPECT_EQ(split_lines(r.out).size(), 48u);

  // Axes in metres give the same pictures, from the cell side of the deck.
  EXPECT_EQ(run_tool("plot", shell_quote(run) + " --metres").status, 0);
  expect_png(run + "/plots/real_stress_map.png", 690, 610);
}

TEST(Plot, SweepCurvesSkipFailedRuns) {
  const std::string out = swept("plot_curves", "--field 'phi_layer(1)' --values 0.1,0.35,0.2");
  const auto r = run_tool("plot", shell_quote(out));
  ASSERT_EQ(r.status, 0) << r.err;
  expect_png(out + "/plots/dispersion.png", 1100, 420);
}

TEST(Plot, FolderWithNothingToDrawIsAnError) {
  const auto r = run_tool("plot", shell_quote(fresh_dir("plot_empty")));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("holds no sweep.csv"), std::string::npos) << r.err;
}
