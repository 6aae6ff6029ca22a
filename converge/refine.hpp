#pragma once
// The same sample on a finer grid: every cell split into r by r cells, the
// medium carried over exactly. The deck keeps its sample size, so the cell
// side becomes h / r; the counts of cells scale by r (nx, ny and each
// layer's thickness nl), and a porosity field gives each child the very
// text of its parent's line, so the value read back is the same double.
#include <string>

namespace tp {

// The grid counts of a legacy deck: nx (line 5), ny (line 6) and nmat
// (line 9, the number of 20-line layer blocks that follow).
struct DeckGrid {
  int nx = 0, ny = 0, nmat = 0;
};

// Reads the grid counts of the deck text; false with `why` when a line is
// missing or does not start with an integer.
bool deck_grid(const std::string& deck, DeckGrid& g, std::string& why);

// The deck text refined by r: the leading integer of nx, ny and every
// layer's nl multiplied by r, the rest of each line (its note) and every
// other line kept byte for byte. False with `why` on a deck deck_grid
// refuses or a count that would pass 32 bits.
bool refine_deck_text(const std::string& deck, int r, std::string& refined, std::string& why);

// The keyword deck text refined by r: the integer value of nx and ny (top
// level) and of nl in every [[layer]] table multiplied by r, and, when
// `porosity_file` is not empty, the [run] table's porosity line made
// `porosity = { file = "<porosity_file>" }`; every other line kept byte for
// byte, comments included. False with `why` when a count is not written as
// a plain integer on its own line (the caller reads the result back to
// make sure every count was found).
bool refine_keyword_text(const std::string& deck, int r, const std::string& porosity_file,
                         std::string& refined, std::string& why);

// The porosity file of an nx by ny field (one line per cell, x index
// fastest) refined by r: the line of coarse cell (j, k) copied to each of
// its r*r children (r(j-1)+1..rj, r(k-1)+1..rk). Lines after the first
// nx*ny are dropped. False with `why` when the file holds fewer lines.
bool refine_porosity_text(const std::string& frac, int nx, int ny, int r, std::string& refined,
                          std::string& why);

}  // namespace tp
