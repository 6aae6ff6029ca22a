#pragma once
// Reading the per-cell maps a run writes ("j k value" a line) and the list
// of every result file.
#include <string>
#include <vector>

namespace tp::testing {

struct MapCell {
  int j = 0, k = 0;  // cell along x and along y, from 1
  double value = 0.0;
};

// The cells of a map file, in file order; a line that is not "j k value"
// fails the test.
std::vector<MapCell> read_map(const std::string& path);

// The value of cell (j, k); NaN, failing the test, when the map lacks it.
double map_value(const std::vector<MapCell>& map, int j, int k);

// The value every cell holds; fails the test where a cell differs (NaN for
// an empty map).
double uniform_value(const std::vector<MapCell>& map);

// Every file a normal run writes in its working folder, by name.
const std::vector<std::string>& result_files();

}  // namespace tp::testing
