#include "tools/tools_testing.hpp"

#include "support/deck_edit.hpp"
#include "support/testing.hpp"

namespace tp::testing {

std::string case_deck_with(const std::string& dir, const std::string& name,
                           const std::string& text) {
  return join_lines(with_field(deck_lines(dir + "/deck"), name, text));
}

std::string small_case(const std::string& tag) {
  const std::string dir = fresh_dir(tag);
  copy_example("permafrost", dir);
  auto lines = with_field(deck_lines(dir + "/deck"), "n_freq", "3                   n_freq");
  lines = with_field(lines, "nx", "4                   nx");
  lines = with_field(lines, "ny", "4                   ny");
  write_file(dir + "/deck", join_lines(lines));
  return dir;
}

RunResult run_sweep(const std::string& case_dir, const std::string& out_dir,
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
