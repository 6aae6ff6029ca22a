#include "tools/tools_testing.hpp"

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

#include "support/testing.hpp"

namespace tp::testing {

std::string deck_with_line(const std::string& dir, int n, const std::string& text) {
  auto lines = split_lines(read_file(dir + "/deck"));
  lines.at(static_cast<std::size_t>(n - 1)) = text;
  std::string deck;
  for (const auto& l : lines) deck += l + "\n";
  return deck;
}

std::string small_case(const std::string& tag) {
  const std::string dir = fresh_dir(tag);
  copy_example("permafrost", dir);
  write_file(dir + "/deck", deck_with_line(dir, 3, "3                   n_freq"));
  write_file(dir + "/deck", deck_with_line(dir, 5, "4                   nx"));
  write_file(dir + "/deck", deck_with_line(dir, 6, "4                   ny"));
  return dir;
}

std::string shell_quote(const std::string& s) {
  std::string q = "'";
  q.append(s);
  q.append("'");
  return q;
}

ToolResult run_tool(const std::string& tool, const std::string& args) {
  const std::string base = fresh_dir("tool_io");
  const std::string cmd = "THREEPHASE=" + shell_quote(THREEPHASE_EXE) + " " +
                          shell_quote(source_path("tools/" + tool)) + " " + args + " > " +
                          shell_quote(base + "/out") + " 2> " + shell_quote(base + "/err");
  const int raw = std::system(cmd.c_str());
  ToolResult r;
  if (WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
  r.out = read_file(base + "/out");
  r.err = read_file(base + "/err");
  return r;
}

ToolResult run_sweep(const std::string& case_dir, const std::string& out_dir,
                     const std::string& extra) {
  return run_tool("sweep", shell_quote(case_dir) + " " + shell_quote(out_dir) + " " + extra);
}

std::vector<std::vector<std::string>> read_csv(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  for (const auto& line : split_lines(read_file(path))) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = !quoted;
      } else if (c == ',' && !quoted) {
        fields.emplace_back();
      } else {
        fields.back() += c;
      }
    }
    rows.push_back(fields);
  }
  return rows;
}

std::string column(const std::vector<std::string>& header, const std::vector<std::string>& row,
                   const std::string& name) {
  for (std::size_t i = 0; i < header.size() && i < row.size(); ++i) {
    if (header[i] == name) return row[i];
  }
  return "<no column " + name + ">";
}

std::string report_value(const std::string& report, const std::string& label) {
  for (const auto& line : split_lines(report)) {
    const auto at = line.find(label);
    if (at == std::string::npos || line.find_first_not_of(' ') != at) continue;
    std::istringstream rest(line.substr(line.find('=', at) + 1));
    std::string value;
    rest >> value;
    return value;
  }
  return "<no line " + label + ">";
}

PngSize png_size(const std::string& path) {
  const std::string data = read_file(path);
  PngSize s;
  s.bytes = static_cast<long>(data.size());
  if (data.size() < 24 || data.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
      data.compare(12, 4, "IHDR") != 0) {
    return s;
  }
  auto be32 = [&](std::size_t at) {
    int v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = v * 256 + static_cast<unsigned char>(data[at + i]);
    return v;
  };
  s.valid = true;
  s.width = be32(16);
  s.height = be32(20);
  return s;
}

}  // namespace tp::testing
