#pragma once
// Support for the tests of the user tools (tools/sweep, tools/plot): a small
// case to sweep, running a tool, reading its CSV and PNG output.
#include <string>
#include <vector>

namespace tp::testing {

// The permafrost example on a 4 by 4 grid with a 3-point sweep
// (100, 1000, 10000 Hz), in a fresh directory; returns the directory.
std::string small_case(const std::string& tag);

// The deck text of `dir` with line `n` (1-based) replaced by `text`.
std::string deck_with_line(const std::string& dir, int n, const std::string& text);

struct ToolResult {
  int status = -1;
  std::string out;
  std::string err;
};

// `s` in single quotes for the shell.
std::string shell_quote(const std::string& s);

// Run tools/<tool> with `args` (already quoted for the shell), with the built
// program in THREEPHASE.
ToolResult run_tool(const std::string& tool, const std::string& args);

// tools/sweep CASE_DIR OUT_DIR followed by `extra` arguments.
ToolResult run_sweep(const std::string& case_dir, const std::string& out_dir,
                     const std::string& extra);

// Rows of a CSV file, the header first; quoted fields may hold commas.
std::vector<std::vector<std::string>> read_csv(const std::string& path);

// Column `name` of a row, given the header.
std::string column(const std::vector<std::string>& header, const std::vector<std::string>& row,
                   const std::string& name);

// The text after "=" on the first report line starting with `label`.
std::string report_value(const std::string& report, const std::string& label);

struct PngSize {
  bool valid = false;
  int width = 0;
  int height = 0;
  long bytes = 0;
};
PngSize png_size(const std::string& path);

}  // namespace tp::testing
