#include "deck/fields.hpp"

#include <cstring>

namespace tp {

namespace {

const DeckField kFields[] = {
#include "deck/fields_table.inc"
};

constexpr std::size_t kFieldCount = sizeof kFields / sizeof kFields[0];

int context_value(const FieldContext& ctx, const char* name) {
  if (std::strcmp(name, "layer") == 0) return ctx.layer;
  if (std::strcmp(name, "key_model") == 0) return ctx.key_model;
  return ctx.n_freq;  // the only other field a condition names
}

}  // namespace

// The compiled table, in the JSON's order.
const DeckField* deck_fields(std::size_t& count) {
  count = kFieldCount;
  return kFields;
}

// Linear search: 29 names.
const DeckField* deck_field(const char* name) {
  for (const DeckField& f : kFields) {
    if (std::strcmp(f.name, name) == 0) return &f;
  }
  return nullptr;
}

// Head lines map one to one; the layer blocks follow each other.
const DeckField* deck_field_of_line(int n, int nmat, int& layer) {
  const bool head = n <= kHeadLines;
  layer = head ? 0 : (n - kHeadLines - 1) / kLayerLines + 1;
  if (n < 1 || layer > nmat) return nullptr;
  const int line = head ? n : (n - kHeadLines - 1) % kLayerLines + 1;
  const FieldScope scope = head ? FieldScope::head : FieldScope::layer;
  for (const DeckField& f : kFields) {
    if (f.scope == scope && f.line == line) return &f;
  }
  return nullptr;
}

// All conditions of the rule, joined by "and".
bool rule_applies(const FieldRule& rule, const FieldContext& ctx) {
  for (int c = 0; c < rule.n_when; ++c) {
    const FieldCondition& w = rule.when[c];
    const bool equal = context_value(ctx, w.field) == w.value;
    if (equal != (w.op == CondOp::eq)) return false;
  }
  return true;
}

// NaN fails every comparison and so lies in no bounded range.
bool rule_admits(const FieldRule& rule, double v) {
  if (rule.has_min && !(rule.min_exclusive ? v > rule.min : v >= rule.min)) return false;
  if (rule.has_max && !(rule.max_exclusive ? v < rule.max : v <= rule.max)) return false;
  return true;
}

const FieldRule* refusing_rule(const DeckField& f, double v, const FieldContext& ctx) {
  for (int r = 0; r < f.n_rules; ++r) {
    if (rule_applies(f.rules[r], ctx) && !rule_admits(f.rules[r], v)) return &f.rules[r];
  }
  return nullptr;
}

}  // namespace tp
