#pragma once
// The fields of a deck as the keyword reader and the converters see them:
// name, unit and meaning, where the value goes in the Deck, and the range the
// legacy reader allows it (with the model or layer the range applies to).
#include <string>

#include "common/structures.hpp"

namespace tp {

// The range a value must lie in.
enum class Allowed {
  any,       // any finite value
  positive,  // above 0
  fraction,  // 0..1
  cells,     // 1..kMaxGridCells (integer)
  flag,      // 0 or 1 (integer)
  layers,    // 1..kMaxLayers (integer)
};

// When the range applies.
enum class When {
  always,
  sweep,        // n_freq != 1
  ice,          // key_model 0 (permafrost)
  sand,         // key_model 1 (shaley sand)
  sand_layer1,  // key_model 1, layer 1 (its grain sizes serve every cell)
};

// A head value: a real (real_value) or an integer (int_value), the integer
// possibly written as one of two names (choice0 for 0, choice1 for 1).
struct HeadField {
  const char* name;
  const char* meaning;  // with the unit
  double Deck::*real_value;
  int Deck::*int_value;
  const char* choice0;
  const char* choice1;
  Allowed allowed;
  When when;
  const char* why;
};

// A per-layer real value (the layer thickness nl is read on its own).
struct LayerField {
  const char* name;
  const char* meaning;  // with the unit
  RealLayers Deck::*table;
  Allowed allowed;
  When when;
  const char* why;
};

constexpr int kHeadFieldCount = 9;
constexpr int kLayerFieldCount = 19;
// In the order of the legacy deck's lines.
extern const HeadField kHeadFields[kHeadFieldCount];
extern const LayerField kLayerFields[kLayerFieldCount];

// True when the head value of f in d lies in its range; else what says why,
// naming the value ("nx = 0 is outside the allowed range 1..60").
bool head_value_allowed(const HeadField& f, const Deck& d, std::string& what);

// The same for the value of f in layer i.
bool layer_value_allowed(const LayerField& f, int i, const Deck& d, std::string& what);

// "name(i)": a per-layer value in messages.
std::string layer_key(const char* name, int i);

// The shortest decimal text that reads back to v ("2.25e9", "2650.0",
// "1.0e-12"): always with a decimal point or an exponent, so TOML reads it as
// a float.
std::string format_real(double v);

}  // namespace tp
