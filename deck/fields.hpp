#pragma once
// The deck's fields, one entry per value a deck holds: its line, its form,
// its SI unit, the values the reader refuses and the typical span of the
// quantity. The entries are compiled from deck/fields.json, the one table
// that the reader, its tests and the Python tools all read.
#include <cstddef>

namespace tp {

enum class FieldScope { head, layer };
// free_real, free_int: the first item of a free-form line; i5: an integer in
// columns 1-5; f20: a real in columns 1-20 with 10 implied decimals.
enum class FieldForm { free_real, free_int, i5, f20 };
enum class CondOp { eq, ne };

// A rule applies when `field` (a head integer, or "layer" for the layer
// index) compares to `value` by `op`.
struct FieldCondition {
  const char* field;
  CondOp op;
  int value;
};

// The allowed range of a value: min..max, either end open or absent.
struct FieldRule {
  bool has_min;
  double min;
  bool min_exclusive;
  bool has_max;
  double max;
  bool max_exclusive;
  FieldCondition when[2];  // when[0..n_when-1], all must hold
  int n_when;
  const char* why;  // the reason a refusal gives
};

struct DeckField {
  const char* name;
  FieldScope scope;
  int line;  // head line 1..9, or line 1..20 within the layer block
  FieldForm form;
  const char* unit;
  FieldRule rules[2];  // rules[0..n_rules-1]
  int n_rules;
  bool has_physical;  // typical span of the quantity, for warnings
  double physical_min, physical_max;
};

// What a rule's conditions may look at: the head integers read so far and
// the layer being read (0 for a head value).
struct FieldContext {
  int n_freq = 1;
  int key_model = 0;
  int layer = 0;
};

constexpr int kHeadLines = 9;    // lines of the head
constexpr int kLayerLines = 20;  // lines of each layer block

// Every field, head first in line order, then one layer block in line order.
const DeckField* deck_fields(std::size_t& count);

// The field of that name ("akf", not "akf(1)"); nullptr when none.
const DeckField* deck_field(const char* name);

// The field on deck line n (1-based) and its layer (0 for the head);
// nullptr past the last layer of a deck of `nmat` layers.
const DeckField* deck_field_of_line(int n, int nmat, int& layer);

// True when every condition of `rule` holds in `ctx`.
bool rule_applies(const FieldRule& rule, const FieldContext& ctx);

// True when `v` lies in the rule's range.
bool rule_admits(const FieldRule& rule, double v);

// The first rule of `f` that applies in `ctx` and refuses `v`; nullptr when
// the value is allowed.
const FieldRule* refusing_rule(const DeckField& f, double v, const FieldContext& ctx);

}  // namespace tp
