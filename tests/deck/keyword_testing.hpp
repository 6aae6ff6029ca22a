#pragma once
// Keyword decks for tests: the bundled twins with single values changed.
#include <string>

namespace tp::testing {

// examples/<name>/deck.toml.
std::string keyword_example(const std::string& name);

// `text` with the line of the nth (1-based) `key = ...` assignment replaced by
// `key = value` (value "" removes the line). Fails the test when no such line.
std::string with_value(const std::string& text, const std::string& key, const std::string& value,
                       int nth = 1);

// The line number (1-based) of that assignment.
int line_of_key(const std::string& text, const std::string& key, int nth = 1);

}  // namespace tp::testing
