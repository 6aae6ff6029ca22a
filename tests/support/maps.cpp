#include "support/maps.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "support/testing.hpp"

namespace tp::testing {

std::vector<MapCell> read_map(const std::string& path) {
  std::vector<MapCell> cells;
  for (const auto& line : split_lines(read_file(path))) {
    MapCell c;
    if (std::sscanf(line.c_str(), "%d %d %lf", &c.j, &c.k, &c.value) != 3) {
      ADD_FAILURE() << path << ": not a map line: " << line;
      continue;
    }
    cells.push_back(c);
  }
  return cells;
}

double map_value(const std::vector<MapCell>& map, int j, int k) {
  for (const MapCell& c : map) {
    if (c.j == j && c.k == k) return c.value;
  }
  ADD_FAILURE() << "no cell " << j << " " << k << " in the map";
  return std::nan("");
}

double uniform_value(const std::vector<MapCell>& map) {
  if (map.empty()) return std::nan("");
  for (const MapCell& c : map) {
    EXPECT_EQ(c.value, map[0].value) << "the map differs at cell " << c.j << " " << c.k;
  }
  return map[0].value;
}

const std::vector<std::string>& result_files() {
  static const std::vector<std::string> files = {
      // result tables
      "vp_anal.phiw", "vp_eq.phiw", "1000_over_q_eq.phiw", "1000_over_q_anal.phiw", "mstar3_solid3",
      // strain, stress and fluid-pressure maps
      "real_strain1_map", "imag_strain1_map", "real_strain3_map", "imag_strain3_map",
      "real_stress_map", "imag_stress_map", "mod_pressure_p33_ice", "mod_grad_pressure_p33_ice",
      // material and coefficient maps
      "matnum_p33", "matnum_p33_gnu", "xlambda1_gnu", "xlambda3_gnu", "xmu1_gnu", "xmu3_gnu",
      "xmu13_gnu", "b1_gnu", "b2_gnu", "xm_gnu", "d3_gnu", "b11_gnu", "b22_gnu", "b12_gnu"};
  return files;
}

}  // namespace tp::testing
