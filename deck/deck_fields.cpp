#include "deck/deck_fields.hpp"

#include <charconv>
#include <cstdio>

namespace tp {

const HeadField kHeadFields[kHeadFieldCount] = {
    {"freq", "frequency of the run, Hz", &Deck::freq, nullptr, nullptr, nullptr,
     Allowed::positive, When::always, "the plane waves divide by omega = 2 pi freq"},
    {"freq_max", "end of the frequency sweep, Hz", &Deck::freq_max, nullptr, nullptr, nullptr,
     Allowed::positive, When::sweep,
     "the end of a logarithmic sweep; only n_freq = 1 leaves it unused"},
    {"n_freq", "points of the sweep", nullptr, &Deck::n_freq, nullptr, nullptr, Allowed::any,
     When::always, ""},
    {"domain_size", "extent of the sample along y, m", &Deck::domain_size, nullptr, nullptr,
     nullptr, Allowed::positive, When::always, "the extent of the sample along y"},
    {"nx", "cells along x", nullptr, &Deck::nx, nullptr, nullptr, Allowed::cells, When::always,
     ""},
    {"ny", "cells along y", nullptr, &Deck::ny, nullptr, nullptr, Allowed::cells, When::always,
     ""},
    {"key_model", "rock-physics model: \"permafrost\" or \"shaley_sand\"", nullptr,
     &Deck::key_model, "permafrost", "shaley_sand", Allowed::flag, When::always, ""},
    {"model", "porosity model: \"layered\" or \"fractal\"", nullptr, &Deck::model, "layered",
     "fractal", Allowed::flag, When::always, ""},
    {"nmat", "number of layers", nullptr, &Deck::nmat, nullptr, nullptr, Allowed::layers,
     When::always, ""},
};

const LayerField kLayerFields[kLayerFieldCount] = {
    {"akf", "fluid bulk modulus, Pa", &Deck::akf, Allowed::positive, When::always,
     "the bulk modulus of the pore fluid"},
    {"ro2", "fluid density, kg/m3", &Deck::ro2, Allowed::positive, When::always,
     "the density of the pore fluid"},
    {"eta", "fluid viscosity, Pa s", &Deck::eta, Allowed::any, When::always, ""},
    {"ro1", "density of solid 1, kg/m3", &Deck::ro1, Allowed::positive, When::always,
     "the density of solid 1"},
    {"ro3", "density of solid 3, kg/m3", &Deck::ro3, Allowed::positive, When::always,
     "the density of solid 3"},
    {"phi_a", "absolute porosity, water plus ice (permafrost model)", &Deck::phi_a,
     Allowed::fraction, When::ice, "the absolute porosity of the ice model"},
    {"phi_layer", "water proportion of the layer", &Deck::phi_layer, Allowed::fraction,
     When::always, "the water proportion of the layer"},
    {"capa_1_0", "reference permeability of solid 1, m2 (permafrost model)", &Deck::capa_1_0,
     Allowed::positive, When::ice, "the reference permeability of solid 1 in the ice model"},
    {"capa_3_0", "reference permeability of solid 3, m2 (permafrost model)", &Deck::capa_3_0,
     Allowed::positive, When::ice, "the reference permeability of solid 3 in the ice model"},
    {"s3", "shale proportion of the solid (shaley-sand model)", &Deck::s3, Allowed::fraction,
     When::sand, "the shale proportion of the solid"},
    {"rs1", "grain-size parameter of solid 1 (shaley-sand model)", &Deck::rs1,
     Allowed::positive, When::sand_layer1, "the grain size of solid 1 in the shaley-sand model"},
    {"rs3", "grain-size parameter of solid 3 (shaley-sand model)", &Deck::rs3,
     Allowed::positive, When::sand_layer1, "the grain size of solid 3 in the shaley-sand model"},
    {"coef_b13", "friction coefficient between solids 1 and 3, kg/(m3 s)", &Deck::coef_b13,
     Allowed::any, When::always, ""},
    {"ak_air", "bulk modulus of the pore inclusions, Pa", &Deck::ak_air, Allowed::any,
     When::always, ""},
    {"xmu_air", "shear modulus of the pore inclusions, Pa", &Deck::xmu_air, Allowed::any,
     When::always, ""},
    {"ak_s1", "grain bulk modulus of solid 1, Pa", &Deck::ak_s1, Allowed::positive,
     When::always, "the grain bulk modulus of solid 1"},
    {"xmu_s1", "grain shear modulus of solid 1, Pa", &Deck::xmu_s1, Allowed::positive,
     When::always, "the grain shear modulus of solid 1"},
    {"ak_s3", "grain bulk modulus of solid 3, Pa", &Deck::ak_s3, Allowed::positive,
     When::always, "the grain bulk modulus of solid 3"},
    {"xmu_s3", "grain shear modulus of solid 3, Pa", &Deck::xmu_s3, Allowed::positive,
     When::always, "the grain shear modulus of solid 3"},
};

namespace {

bool applies(When when, int layer, const Deck& d) {
  switch (when) {
    case When::always: return true;
    case When::sweep: return d.n_freq != 1;
    case When::ice: return d.key_model == 0;
    case When::sand: return d.key_model == 1;
    case When::sand_layer1: return d.key_model == 1 && layer == 1;
  }
  return true;
}

// The range check of one value, with the legacy reader's sentences.
bool value_allowed(const std::string& key, double v, Allowed allowed, const char* why,
                   std::string& what) {
  const std::string because = why[0] ? std::string(" (") + why + ")" : "";
  int lo = 0, hi = 0;
  switch (allowed) {
    case Allowed::any: return true;
    case Allowed::positive:
      if (v > 0.0) return true;
      what = key + " = " + format_real(v) + " must be above 0" + because;
      return false;
    case Allowed::fraction:
      if (v >= 0.0 && v <= 1.0) return true;
      what = key + " = " + format_real(v) + " is outside 0..1" + because;
      return false;
    case Allowed::cells: lo = 1, hi = kMaxGridCells; break;
    case Allowed::flag: lo = 0, hi = 1; break;
    case Allowed::layers: lo = 1, hi = kMaxLayers; break;
  }
  if (v >= lo && v <= hi) return true;
  what = key + " = " + std::to_string(static_cast<long long>(v)) +
         " is outside the allowed range " + std::to_string(lo) + ".." + std::to_string(hi);
  return false;
}

}  // namespace

bool head_value_allowed(const HeadField& f, const Deck& d, std::string& what) {
  if (!applies(f.when, 0, d)) return true;
  const double v = f.real_value != nullptr ? d.*f.real_value : d.*f.int_value;
  return value_allowed(f.name, v, f.allowed, f.why, what);
}

bool layer_value_allowed(const LayerField& f, int i, const Deck& d, std::string& what) {
  if (!applies(f.when, i, d)) return true;
  return value_allowed(layer_key(f.name, i), (d.*f.table)(i), f.allowed, f.why, what);
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
  if (mantissa.find('.') == std::string::npos && mantissa.find_first_of("in") == std::string::npos) {
    mantissa += ".0";
  }
  return mantissa + exponent;
}

}  // namespace tp
