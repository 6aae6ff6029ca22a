#include "deck/deck_record.hpp"

#include <cstdio>
#include <cstring>

namespace tp {

// A fixed field's digits carry implied decimals only when the field holds
// no decimal point; a zero (or empty field) reads the same either way.
void note_entry(DeckRecord& r, const char* name, int layer, int line, const char* text,
                double value, bool fixed, int implied_decimals) {
  if (r.n == kMaxDeckEntries) return;
  DeckEntry& e = r.e[r.n++];
  std::snprintf(e.name, sizeof e.name, "%s", name);
  std::snprintf(e.text, sizeof e.text, "%s", text);
  e.line = line;
  e.layer = layer;
  e.value = value;
  e.fixed = fixed;
  e.used = true;
  const DeckField* f = field_of_entry(name);
  e.unit = f != nullptr ? f->unit : "";
  const bool has_digit = std::strpbrk(text, "123456789") != nullptr;
  const bool numeric = std::strpbrk(text, "nNiI") == nullptr;  // not NaN or an infinity
  e.implied =
      fixed && implied_decimals > 0 && numeric && has_digit && std::strchr(text, '.') == nullptr;
}

const DeckField* field_of_entry(const char* name) {
  char base[24];
  std::snprintf(base, sizeof base, "%s", name);
  if (char* paren = std::strchr(base, '(')) *paren = '\0';
  return deck_field(base);
}

const DeckEntry* find_entry(const DeckRecord& r, const char* name) {
  for (int i = 0; i < r.n; ++i) {
    if (std::strcmp(r.e[i].name, name) == 0) return &r.e[i];
  }
  return nullptr;
}

}  // namespace tp
