#pragma once
// How each value of a legacy deck was read: the record the deck reader keeps
// beside the values, so that the checks of the deck (implied decimals,
// physical ranges, values the run does not use) and `threephase check` can
// name the line and the text of every value.
#include "common/capacity.hpp"
#include "deck/fields.hpp"

namespace tp {

// 9 head values, then 20 per layer.
constexpr int kDeckHeadValues = 9;
constexpr int kDeckLayerValues = 20;
constexpr int kMaxDeckEntries = kDeckHeadValues + kDeckLayerValues * kMaxLayers;

// One value: its name ("freq", "ro1(1)"), the deck line, the text of its
// field as read (blanks removed for a fixed field), the value, and how it
// was read. `implied` is set for a fixed field whose digits, written without
// a decimal point, carried the field's implied decimals.
struct DeckEntry {
  char name[24];
  char text[48];
  int line;
  int layer;  // 0 for a head value, else 1..2
  double value;
  bool fixed;
  bool implied;
  bool used;         // the run consults it (set by mark_used_values)
  const char* unit;  // SI unit from the field table ("1" for a ratio)
};

// entries e[0..n-1] in the order of the deck.
struct DeckRecord {
  DeckEntry e[kMaxDeckEntries];
  int n = 0;
};

// Appends one entry; text is the field (fixed) or the first item (free).
void note_entry(DeckRecord& r, const char* name, int layer, int line, const char* text,
                double value, bool fixed, int implied_decimals);

// The field of the deck's table an entry name belongs to ("ro1(2)" -> the
// field "ro1"), or nullptr.
const DeckField* field_of_entry(const char* name);

// The entry named `name` ("ro1(1)"), or nullptr.
const DeckEntry* find_entry(const DeckRecord& r, const char* name);

}  // namespace tp
