#pragma once
// Support for the tests of the user tools (tools/sweep, tools/plot): a small
// case to sweep, running the sweep, reading its CSV and PNG output. The
// program and tool runner, deck editor and report reader are in tests/support.
#include <string>
#include <vector>

#include "support/run.hpp"

namespace tp::testing {

// The permafrost example on a 4 by 4 grid with a 3-point sweep
// (100, 1000, 10000 Hz), in a fresh directory; returns the directory.
std::string small_case(const std::string& tag);

// The deck of `dir` with field `name` set to `text`, as deck text.
std::string case_deck_with(const std::string& dir, const std::string& name,
                           const std::string& text);

// tools/sweep CASE_DIR OUT_DIR followed by `extra` arguments.
RunResult run_sweep(const std::string& case_dir, const std::string& out_dir,
                    const std::string& extra);

// Rows of a CSV file, the header first; quoted fields may hold commas.
std::vector<std::vector<std::string>> read_csv(const std::string& path);

// Column `name` of a row, given the header.
std::string column(const std::vector<std::string>& header, const std::vector<std::string>& row,
                   const std::string& name);

struct PngSize {
  bool valid = false;
  int width = 0;
  int height = 0;
  long bytes = 0;
};
PngSize png_size(const std::string& path);

}  // namespace tp::testing
