#pragma once
// The fields of a deck as the keyword reader and the converters see them:
// name, meaning with its unit, and where the value goes in the Deck. Their
// allowed ranges are those of the one field table (deck/fields.json), which
// the legacy reader checks too.
#include <string>

#include "common/structures.hpp"
#include "deck/deck_record.hpp"

namespace tp {

// A head value: a real (real_value) or an integer (int_value), the integer
// possibly written as one of two names (choice0 for 0, choice1 for 1);
// capacity bounds an integer beyond the table's range (the grid the
// program's tables hold).
struct HeadField {
  const char* name;
  const char* meaning;  // with the unit
  double Deck::*real_value;
  int Deck::*int_value;
  const char* choice0;
  const char* choice1;
  int capacity;
};

// A per-layer real value (the layer thickness nl is read on its own).
struct LayerField {
  const char* name;
  const char* meaning;  // with the unit
  RealLayers Deck::*table;
};

constexpr int kHeadFieldCount = 9;
constexpr int kLayerFieldCount = 19;
// In the order of the legacy deck's lines.
extern const HeadField kHeadFields[kHeadFieldCount];
extern const LayerField kLayerFields[kLayerFieldCount];

// True when the head value of f in d passes the field table's rules; else
// what says why, naming the value ("nx = 0 is outside the allowed range
// 1..3900000", "freq = 0.0 must be above 0 (...)").
bool head_value_allowed(const HeadField& f, const Deck& d, std::string& what);

// The same for the value of f in layer i; also for the thickness nl.
bool layer_value_allowed(const char* name, double v, int i, const Deck& d, std::string& what);

// The values of d as a keyword deck gives them, into r (emptied first): the
// head values, then nl and the other per-layer values of each layer, each
// with its SI unit and its shortest text, line 0 (a keyword deck's values
// are not tied to fixed lines) and used by the run.
void record_deck_values(const Deck& d, DeckRecord& r);

// "name(i)": a per-layer value in messages.
std::string layer_key(const char* name, int i);

// The shortest decimal text that reads back to v ("2.25e9", "2650.0",
// "1.0e-12"): always with a decimal point or an exponent, so TOML reads it as
// a float.
std::string format_real(double v);

}  // namespace tp
