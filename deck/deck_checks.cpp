#include "deck/deck_checks.hpp"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "common/input.hpp"

namespace tp {

namespace {

bool named(const DeckEntry& e, const char* base) {
  const std::size_t n = std::strlen(base);
  return std::strncmp(e.name, base, n) == 0 && (e.name[n] == '(' || e.name[n] == '\0');
}

int key_model_of(const DeckRecord& r) {
  const DeckEntry* k = find_entry(r, "key_model");
  return k ? static_cast<int>(k->value) : 0;
}

// "2650" read with 10 implied decimals: what the digits mean as written.
void warn_implied(const DeckEntry& e, Warnings& out) {
  double meant = 0.0;
  if (!parse_fixed_real(e.text, static_cast<int>(std::strlen(e.text)), 0, meant)) return;
  char fix[64];
  std::snprintf(fix, sizeof fix, "%.15G", meant);
  if (std::strpbrk(fix, ".E") == nullptr)
    std::strncat(fix, ".0", sizeof fix - std::strlen(fix) - 1);
  add_warning(out,
              "line %d: %s = %s has no decimal point and is read as %.15G (10 implied "
              "decimals); write %s to mean %.15G",
              e.line, e.name, e.text, e.value, fix, meant);
}

// What a value far below or above its range usually is.
const char* unit_hint(const char* unit) {
  if (std::strcmp(unit, "Pa") == 0) return "moduli are read in Pa, not GPa";
  if (std::strcmp(unit, "kg/m3") == 0) return "densities are read in kg/m3, not g/cm3";
  if (std::strcmp(unit, "Pa s") == 0) return "viscosity is read in Pa s, not poise";
  if (std::strcmp(unit, "m2") == 0) return "permeabilities are read in m2, not darcy or cm2";
  return "lengths are read in m";
}

// "Far outside": beyond a factor kFarOutside from the typical span of the
// quantity in the field table, where a value is almost surely in other
// units. Values not above 0 that the reader admitted are meaningful (no
// viscous coupling, empty pores) and are not compared.
constexpr double kFarOutside = 10.0;

void warn_range(const DeckEntry& e, Warnings& out) {
  const DeckField* f = field_of_entry(e.name);
  if (f == nullptr || !f->has_physical || !std::isfinite(e.value) || e.value <= 0.0) return;
  const double lo = f->physical_min / kFarOutside, hi = f->physical_max * kFarOutside;
  if (e.value >= lo && e.value <= hi) return;
  add_warning(out,
              "line %d: %s = %.15G %s is far outside the usual span of the quantity (%.3G to "
              "%.3G %s); %s",
              e.line, e.name, e.value, f->unit, f->physical_min, f->physical_max, f->unit,
              unit_hint(f->unit));
}

}  // namespace

namespace {

bool run_uses(const DeckRecord& r, const DeckEntry& e) {
  if (e.layer == 0) return true;
  if (e.layer != 1 || named(e, "nl") || named(e, "phi_layer")) return false;
  return model_consults(e.name, key_model_of(r), e.layer);
}

}  // namespace

bool model_consults(const char* name, int key_model, int layer) {
  char base[24];
  std::snprintf(base, sizeof base, "%s", name);
  if (char* paren = std::strchr(base, '(')) *paren = '\0';
  const bool ice = key_model == 0;
  // The permafrost model fills the pores beyond the water with ice up to
  // phi_a and scales the reference permeabilities; the shaley-sand model
  // takes a share s3 of the solid as shale and the Kozeny permeabilities of
  // grains rs1, rs3 (those of layer 1 for every cell).
  for (const char* ice_only : {"phi_a", "capa_1_0", "capa_3_0"}) {
    if (std::strcmp(base, ice_only) == 0) return ice;
  }
  if (std::strcmp(base, "s3") == 0) return !ice;
  if (std::strcmp(base, "rs1") == 0 || std::strcmp(base, "rs3") == 0) return !ice && layer == 1;
  return true;
}

void range_warnings(const DeckRecord& r, Warnings& out) {
  for (int i = 0; i < r.n; ++i) {
    const DeckEntry& e = r.e[i];
    if (!e.implied && e.used) warn_range(e, out);
  }
}

void mark_used_values(DeckRecord& r) {
  for (int i = 0; i < r.n; ++i) r.e[i].used = run_uses(r, r.e[i]);
}

void deck_warnings(const DeckRecord& r, Warnings& out) {
  for (int i = 0; i < r.n; ++i) {
    const DeckEntry& e = r.e[i];
    if (e.implied) warn_implied(e, out);
  }
  range_warnings(r, out);
  for (int i = 0; i < r.n; ++i) {
    const DeckEntry& e = r.e[i];
    if (named(e, "phi_layer") && e.layer == 1 && e.value != kRunWaterProportion) {
      add_warning(out,
                  "line %d: %s = %.15G is not used: the run gives every cell the water "
                  "proportion %g (the value is only checked against phi_a in the ice model)",
                  e.line, e.name, e.value, kRunWaterProportion);
    }
  }
  int first = 0, last = 0;
  for (int i = 0; i < r.n; ++i) {
    if (r.e[i].layer == 2) {
      if (first == 0) first = r.e[i].line;
      last = r.e[i].line;
    }
  }
  if (first != 0) {
    add_warning(out,
                "lines %d-%d: the values of layer 2 are not used: the run gives every cell "
                "material 1, so only layer 1's values enter the computation",
                first, last);
  }
}

}  // namespace tp
