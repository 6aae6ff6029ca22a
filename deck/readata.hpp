#pragma once
// The input deck: 9 head lines, then 20 lines for each layer, read from a
// line source, echoed on standard output.
#include "common/input.hpp"
#include "common/structures.hpp"
#include "deck/deck_record.hpp"

namespace tp {

// Reads the deck from the source `deck` (its name places every message)
// into d (head values and per-layer
// tables), echoes it, and computes the cell side h = domain_size / ny.
// Stops with code 11 when a layer of the ice model holds no room for ice
// (phi_layer >= phi_a). Rejects, naming the deck line and value, a grid
// outside 1..kMaxGridCells cells a side, a layer count outside 1..2, a model key other
// than 0 or 1, a negative layer thickness or a period of zero cells, and,
// before anything is computed, values that cannot give a run: a real that is
// not finite, freq, domain_size, a fluid or grain modulus or a density not
// above 0, freq_max not above 0 when the sweep has more than one point, a
// porosity or shale proportion outside 0..1, and a permeability or grain
// size not above 0 in the model that uses it. With a record, notes how
// every value was read (line, text, implied decimals) in it.
void readata(LineSource& deck, Deck& d, DeckRecord* record = nullptr);

// Echoes the deck d on standard output as readata echoes the deck it reads:
// the head values, each layer, the porosity model and the cell side h.
void echo_deck(const Deck& d);

}  // namespace tp
