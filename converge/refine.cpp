#include "converge/refine.hpp"

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace tp {

namespace {

constexpr int kNxLine = 5, kNyLine = 6, kNmatLine = 9;
constexpr int kHeadLines = 9, kLayerLines = 20;  // nl is the first line of a block

// The text's lines, each with its line end, so that joining them gives the
// text back.
std::vector<std::string_view> lines_of(const std::string& text) {
  std::vector<std::string_view> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    const std::size_t next = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(std::string_view(text).substr(at, next - at));
    at = next;
  }
  return lines;
}

// The leading integer of a line (after blanks): its value and where its
// digits end. False when the line does not start with one.
bool leading_int(std::string_view line, long long& value, std::size_t& end) {
  const std::string s(line);
  const char* p = s.c_str();
  char* stop = nullptr;
  errno = 0;
  value = std::strtoll(p, &stop, 10);
  if (stop == p || errno != 0) return false;
  if (*stop != '\0' && *stop != ' ' && *stop != '\t' && *stop != '\n' && *stop != '\r')
    return false;
  end = static_cast<std::size_t>(stop - p);
  return true;
}

bool count_on_line(const std::vector<std::string_view>& lines, int line, const char* name,
                   int& value, std::string& why) {
  long long v = 0;
  std::size_t end = 0;
  if (line > static_cast<int>(lines.size()) || !leading_int(lines[line - 1], v, end)) {
    why = "line " + std::to_string(line) + " of the deck does not start with " + name +
          ", an integer";
    return false;
  }
  value = static_cast<int>(v);
  return true;
}

// The line with its leading integer multiplied by r, the rest kept.
bool scaled_line(std::string_view line, int r, std::string& out) {
  long long v = 0;
  std::size_t end = 0;
  if (!leading_int(line, v, end)) return false;
  const long long scaled = v * r;
  if (scaled > 2147483647LL) return false;
  const std::size_t start = line.find_first_not_of(" \t");
  out.append(line.substr(0, start));
  out += std::to_string(scaled);
  out.append(line.substr(end));
  return true;
}

}  // namespace

bool deck_grid(const std::string& deck, DeckGrid& g, std::string& why) {
  const std::vector<std::string_view> lines = lines_of(deck);
  return count_on_line(lines, kNxLine, "nx", g.nx, why) &&
         count_on_line(lines, kNyLine, "ny", g.ny, why) &&
         count_on_line(lines, kNmatLine, "nmat", g.nmat, why);
}

bool refine_deck_text(const std::string& deck, int r, std::string& refined, std::string& why) {
  DeckGrid g;
  if (!deck_grid(deck, g, why)) return false;
  const std::vector<std::string_view> lines = lines_of(deck);
  refined.clear();
  for (int n = 1; n <= static_cast<int>(lines.size()); ++n) {
    const bool layer_nl = n > kHeadLines && (n - kHeadLines - 1) % kLayerLines == 0 &&
                          (n - kHeadLines - 1) / kLayerLines < g.nmat;
    if (n != kNxLine && n != kNyLine && !layer_nl) {
      refined.append(lines[n - 1]);
      continue;
    }
    if (!scaled_line(lines[n - 1], r, refined)) {
      why = "line " + std::to_string(n) + " of the deck: its cell count times " +
            std::to_string(r) + " is not an integer count of cells";
      return false;
    }
  }
  return true;
}

namespace {

// The table a keyword deck's line opens ("" for none), or the line's key
// before its "=" (blanks trimmed); both empty for a blank or comment line.
struct KeywordLine {
  bool header = false;
  std::string table, key;
  std::size_t value_at = 0;  // where the value starts, after "=" and blanks
};

KeywordLine keyword_line(std::string_view line) {
  KeywordLine k;
  const std::size_t at = line.find_first_not_of(" \t");
  if (at == std::string::npos || line[at] == '#' || line[at] == '\r' || line[at] == '\n') return k;
  if (line[at] == '[') {
    k.header = true;
    const std::size_t open = line.find_first_not_of("[ \t", at);
    const std::size_t close = line.find(']', at);
    if (open != std::string::npos && close != std::string::npos && open < close) {
      const std::size_t end = line.find_last_not_of(" \t", close - 1);
      k.table = std::string(line.substr(open, end + 1 - open));
    }
    return k;
  }
  const std::size_t eq = line.find('=', at);
  if (eq == std::string::npos) return k;
  const std::size_t end = line.find_last_not_of(" \t", eq - 1);
  k.key = std::string(line.substr(at, end + 1 - at));
  k.value_at = line.find_first_not_of(" \t", eq + 1);
  return k;
}

}  // namespace

bool refine_keyword_text(const std::string& deck, int r, const std::string& porosity_file,
                         std::string& refined, std::string& why) {
  refined.clear();
  std::string table;
  for (std::string_view line : lines_of(deck)) {
    const KeywordLine k = keyword_line(line);
    if (k.header) table = k.table;
    const bool count =
        (table.empty() && (k.key == "nx" || k.key == "ny")) || (table == "layer" && k.key == "nl");
    if (table == "run" && k.key == "porosity" && !porosity_file.empty()) {
      refined += "porosity = { file = \"" + porosity_file + "\" }\n";
      continue;
    }
    if (!count) {
      refined.append(line);
      continue;
    }
    std::string scaled(line.substr(0, k.value_at));
    if (k.value_at == std::string::npos || !scaled_line(line.substr(k.value_at), r, scaled)) {
      why = k.key + " = ...: its cell count times " + std::to_string(r) +
            " cannot be written (give it as a plain integer)";
      return false;
    }
    refined += scaled;
  }
  return true;
}

bool refine_porosity_text(const std::string& frac, int nx, int ny, int r, std::string& refined,
                          std::string& why) {
  const std::vector<std::string_view> lines = lines_of(frac);
  const long long cells = static_cast<long long>(nx) * ny;
  if (static_cast<long long>(lines.size()) < cells) {
    why = "porosity.frac holds " + std::to_string(lines.size()) + " lines for " +
          std::to_string(cells) + " cells";
    return false;
  }
  refined.clear();
  for (long long kk = 1; kk <= static_cast<long long>(ny) * r; ++kk) {
    const long long k = (kk - 1) / r + 1;
    for (long long jj = 1; jj <= static_cast<long long>(nx) * r; ++jj) {
      const long long j = (jj - 1) / r + 1;
      const std::string_view line = lines[(k - 1) * nx + (j - 1)];
      refined.append(line);
      if (line.empty() || line.back() != '\n') refined += '\n';
    }
  }
  return true;
}

}  // namespace tp
