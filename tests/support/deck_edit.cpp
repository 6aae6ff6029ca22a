#include "support/deck_edit.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <utility>

#include "common/capacity.hpp"
#include "deck/fields.hpp"
#include "support/testing.hpp"

namespace tp::testing {

std::vector<std::string> deck_lines(const std::string& path) {
  return split_lines(read_file(path));
}

std::vector<std::string> example_lines(const std::string& name) {
  return deck_lines(source_path("examples/" + name + "/deck"));
}

std::string join_lines(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

// Head lines come first; layer i's block starts after the head and i - 1 blocks.
int line_of_field(const std::string& name) {
  const auto open = name.find('(');
  const std::string base = name.substr(0, open);
  const int layer = open == std::string::npos ? 0 : std::stoi(name.substr(open + 1));
  const DeckField* f = deck_field(base.c_str());
  if (f == nullptr || (f->scope == FieldScope::layer) != (layer > 0)) {
    ADD_FAILURE() << "no deck field " << name;
    return 0;
  }
  return layer == 0 ? f->line : kHeadLines + kLayerLines * (layer - 1) + f->line;
}

std::string field_of_line(int n) {
  int layer = 0;
  const DeckField* f = deck_field_of_line(n, kMaxLayers, layer);
  if (f == nullptr) return "<no field on line " + std::to_string(n) + ">";
  if (layer == 0) return f->name;
  return std::string(f->name) + "(" + std::to_string(layer) + ")";
}

std::vector<std::string> with_line(std::vector<std::string> lines, int n, const std::string& text) {
  lines.at(static_cast<std::size_t>(n - 1)) = text;
  return lines;
}

std::vector<std::string> with_field(std::vector<std::string> lines, const std::string& name,
                                    const std::string& text) {
  return with_line(std::move(lines), line_of_field(name), text);
}

std::vector<std::string> with_grid(std::vector<std::string> lines, int nx, int ny) {
  for (auto [field, n] : {std::pair{"nx", nx}, std::pair{"ny", ny}}) {
    const std::string& line = lines[line_of_field(field) - 1];
    const std::size_t note = line.find(' ');
    const std::string rest = note == std::string::npos ? "" : line.substr(note);
    lines = with_field(lines, field, std::to_string(n) + rest);
  }
  return lines;
}

std::string fixed_real(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%-20.10e", v);
  return buf;
}

}  // namespace tp::testing
