#include "deck/keyword_testing.hpp"

#include <gtest/gtest.h>

#include "support/testing.hpp"

namespace tp::testing {

std::string keyword_example(const std::string& name) {
  return read_file(source_path("examples/" + name + "/deck.toml"));
}

namespace {

// Start of the line holding the nth assignment of key, or npos.
std::size_t find_assignment(const std::string& text, const std::string& key, int nth) {
  std::size_t at = 0;
  for (int seen = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end == std::string::npos ? end : end - at);
    if (line.rfind(key + " =", 0) == 0 && ++seen == nth) return at;
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return std::string::npos;
}

}  // namespace

std::string with_value(const std::string& text, const std::string& key, const std::string& value,
                       int nth) {
  const std::size_t at = find_assignment(text, key, nth);
  if (at == std::string::npos) {
    ADD_FAILURE() << "no assignment " << nth << " of " << key;
    return text;
  }
  const std::size_t end = text.find('\n', at);
  const std::string line = value.empty() ? "" : key + " = " + value + "\n";
  return text.substr(0, at) + line + text.substr(end + 1);
}

int line_of_key(const std::string& text, const std::string& key, int nth) {
  const std::size_t at = find_assignment(text, key, nth);
  if (at == std::string::npos) return -1;
  int line = 1;
  for (std::size_t i = 0; i < at; ++i) line += text[i] == '\n';
  return line;
}

}  // namespace tp::testing
