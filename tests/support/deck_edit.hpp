#pragma once
// The one deck editor of the tests: a deck as its lines, a line or a field
// (by the name the field table gives it) replaced, joined back into text.
#include <string>
#include <vector>

namespace tp::testing {

// The lines of a deck file, without their ends of line.
std::vector<std::string> deck_lines(const std::string& path);

// The lines of examples/<name>/deck.
std::vector<std::string> example_lines(const std::string& name);

// Lines joined back into a deck, each ended by a newline.
std::string join_lines(const std::vector<std::string>& lines);

// The deck line (1-based) of a field: "nx", or a layer field with its layer,
// "akf(2)". Fails the test and returns 0 on a name the deck does not have.
int line_of_field(const std::string& name);

// The name of the value on deck line n (1-based) of a two-layer deck, as
// the reader's messages call it: "freq", "akf(2)".
std::string field_of_line(int n);

// `lines` with line n (1-based), or the line of field `name`, replaced.
std::vector<std::string> with_line(std::vector<std::string> lines, int n, const std::string& text);
std::vector<std::string> with_field(std::vector<std::string> lines, const std::string& name,
                                    const std::string& text);

// `lines` with the grid set to nx by ny cells, the notes after the values kept.
std::vector<std::string> with_grid(std::vector<std::string> lines, int nx, int ny);

// The text of a fixed 20-column real that always holds a decimal point.
std::string fixed_real(double v);

}  // namespace tp::testing
