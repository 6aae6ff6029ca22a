#include "deck/deck_fields.hpp"

#include <charconv>
#include <climits>
#include <cstdio>

#include "deck/fields.hpp"

namespace tp {

const HeadField kHeadFields[kHeadFieldCount] = {
    {"freq", "frequency of the run, Hz", &Deck::freq, nullptr, nullptr, nullptr, 0},
    {"freq_max", "end of the frequency sweep, Hz", &Deck::freq_max, nullptr, nullptr, nullptr, 0},
    {"n_freq", "points of the sweep", nullptr, &Deck::n_freq, nullptr, nullptr, INT_MAX},
    {"domain_size", "extent of the sample along y, m", &Deck::domain_size, nullptr, nullptr,
     nullptr, 0},
    {"nx", "cells along x", nullptr, &Deck::nx, nullptr, nullptr, kMaxGridCells},
    {"ny", "cells along y", nullptr, &Deck::ny, nullptr, nullptr, kMaxGridCells},
    {"key_model", "rock-physics model: \"permafrost\" or \"shaley_sand\"", nullptr,
     &Deck::key_model, "permafrost", "shaley_sand", 1},
    {"model", "porosity model: \"layered\" or \"fractal\"", nullptr, &Deck::model, "layered",
     "fractal", 1},
    {"nmat", "number of layers", nullptr, &Deck::nmat, nullptr, nullptr, kMaxLayers},
};

const LayerField kLayerFields[kLayerFieldCount] = {
    {"akf", "fluid bulk modulus, Pa", &Deck::akf},
    {"ro2", "fluid density, kg/m3", &Deck::ro2},
    {"eta", "fluid viscosity, Pa s", &Deck::eta},
    {"ro1", "density of solid 1, kg/m3", &Deck::ro1},
    {"ro3", "density of solid 3, kg/m3", &Deck::ro3},
    {"phi_a", "absolute porosity, water plus ice (permafrost model)", &Deck::phi_a},
    {"phi_layer", "water proportion of the layer", &Deck::phi_layer},
    {"capa_1_0", "reference permeability of solid 1, m2 (permafrost model)", &Deck::capa_1_0},
    {"capa_3_0", "reference permeability of solid 3, m2 (permafrost model)", &Deck::capa_3_0},
    {"s3", "shale proportion of the solid (shaley-sand model)", &Deck::s3},
    {"rs1", "grain-size parameter of solid 1 (shaley-sand model)", &Deck::rs1},
    {"rs3", "grain-size parameter of solid 3 (shaley-sand model)", &Deck::rs3},
    {"coef_b13", "friction coefficient between solids 1 and 3, kg/(m3 s)", &Deck::coef_b13},
    {"ak_air", "bulk modulus of the pore inclusions, Pa", &Deck::ak_air},
    {"xmu_air", "shear modulus of the pore inclusions, Pa", &Deck::xmu_air},
    {"ak_s1", "grain bulk modulus of solid 1, Pa", &Deck::ak_s1},
    {"xmu_s1", "grain shear modulus of solid 1, Pa", &Deck::xmu_s1},
    {"ak_s3", "grain bulk modulus of solid 3, Pa", &Deck::ak_s3},
    {"xmu_s3", "grain shear modulus of solid 3, Pa", &Deck::xmu_s3},
};

namespace {

// A bound of a rule as the legacy reader prints it ("0", "1", "1e+05").
std::string bound(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// The refusal of v by the table's rules of field `name` in ctx, in the
// legacy reader's sentences; integers also above `capacity`.
bool allowed(const char* name, const std::string& shown, double v, bool integer, int capacity,
             const FieldContext& ctx, std::string& what) {
  const DeckField& f = *deck_field(name);
  const FieldRule* r = refusing_rule(f, v, ctx);
  if (r == nullptr && (!integer || v <= capacity)) return true;
  if (integer) {
    if (r == nullptr) r = &f.rules[0];
    if (r->has_max) {
      const double hi = r->has_max && r->max < capacity ? r->max : capacity;
      what = shown + " = " + std::to_string(static_cast<long long>(v)) +
             " is outside the allowed range " + std::to_string(static_cast<long long>(r->min)) +
             ".." + std::to_string(static_cast<long long>(hi));
    } else {
      what = shown + " = " + std::to_string(static_cast<long long>(v)) + ": " + r->why;
    }
    return false;
  }
  const std::string because = std::string(" (") + r->why + ")";
  if (r->has_min && r->has_max) {
    what = shown + " = " + format_real(v) + " is outside " + bound(r->min) + ".." + bound(r->max) +
           because;
  } else if (r->has_min) {
    what = shown + " = " + format_real(v) + " must be " +
           (r->min_exclusive ? "above " : "at least ") + bound(r->min) + because;
  } else {
    what = shown + " = " + format_real(v) + " must be " +
           (r->max_exclusive ? "below " : "at most ") + bound(r->max) + because;
  }
  return false;
}

FieldContext context(const Deck& d, int layer) {
  FieldContext ctx;
  ctx.n_freq = d.n_freq;
  ctx.key_model = d.key_model;
  ctx.layer = layer;
  return ctx;
}

}  // namespace

bool head_value_allowed(const HeadField& f, const Deck& d, std::string& what) {
  const bool integer = f.int_value != nullptr;
  const double v = integer ? d.*f.int_value : d.*f.real_value;
  return allowed(f.name, f.name, v, integer, f.capacity, context(d, 0), what);
}

bool layer_value_allowed(const char* name, double v, int i, const Deck& d, std::string& what) {
  const bool integer = std::string(name) == "nl";
  return allowed(name, layer_key(name, i), v, integer, INT_MAX, context(d, i), what);
}

void record_deck_values(const Deck& d, DeckRecord& r) {
  r.n = 0;
  for (const HeadField& f : kHeadFields) {
    const double v = f.real_value != nullptr ? d.*f.real_value : d.*f.int_value;
    const std::string text =
        f.real_value != nullptr ? format_real(v) : std::to_string(d.*f.int_value);
    note_entry(r, f.name, 0, 0, text.c_str(), v, false, 0);
  }
  for (int i = 1; i <= d.nmat; ++i) {
    note_entry(r, layer_key("nl", i).c_str(), i, 0, std::to_string(d.nl(i)).c_str(), d.nl(i), false,
               0);
    for (const LayerField& f : kLayerFields) {
      const double v = (d.*f.table)(i);
      note_entry(r, layer_key(f.name, i).c_str(), i, 0, format_real(v).c_str(), v, false, 0);
    }
  }
}

std::string layer_key(const char* name, int i) {
  return std::string(name) + "(" + std::to_string(i) + ")";
}

std::string format_real(double v) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  std::string s(buf, res.ptr);
  const auto e = s.find('e');
  std::string mantissa = s.substr(0, e);
  std::string exponent;
  if (e != std::string::npos) {
    // "e+09" -> "e9", "e-05" -> "e-5"
    std::string x = s.substr(e + 1);
    const bool neg = x[0] == '-';
    if (x[0] == '+' || x[0] == '-') x.erase(0, 1);
    while (x.size() > 1 && x[0] == '0') x.erase(0, 1);
    exponent = std::string("e") + (neg ? "-" : "") + x;
  }
  if (mantissa.find('.') == std::string::npos &&
      mantissa.find_first_of("in") == std::string::npos) {
    mantissa += ".0";
  }
  return mantissa + exponent;
}

}  // namespace tp
