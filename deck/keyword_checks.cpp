#include "deck/keyword_checks.hpp"

#include <cstdio>
#include <cstring>
#include <string>

#include "deck/deck_checks.hpp"
#include "deck/deck_fields.hpp"

namespace tp {

namespace {

// Why a value given in a keyword deck shapes nothing.
enum class Unused { no, sweep, other_layer, thickness, model, grain_size, water, constant };

bool named(const DeckEntry& e, const char* base) {
  const std::size_t n = std::strlen(base);
  return std::strncmp(e.name, base, n) == 0 && (e.name[n] == '(' || e.name[n] == '\0');
}

Unused why_unused(const Deck& d, const RunPlan& plan, const DeckEntry& e) {
  if (e.layer == 0) return named(e, "freq_max") || named(e, "n_freq") ? Unused::sweep : Unused::no;
  const bool layered = plan.materials == Materials::layered;
  const bool by_layer = plan.porosity == PorositySource::by_layer;
  const bool thickness = named(e, "nl");
  // A porosity by layer takes the layers' thicknesses, and their phi_layer
  // when [run] gives no water proportion, whatever the materials.
  const bool water = named(e, "phi_layer") && plan.water_line == 0;
  if (!layered && e.layer > 1 && !(by_layer && (thickness || water))) return Unused::other_layer;
  if (thickness) return layered || by_layer ? Unused::no : Unused::thickness;
  if (named(e, "phi_layer")) {
    if (plan.porosity == PorositySource::constant) return Unused::constant;
    return plan.water_line != 0 ? Unused::water : Unused::no;
  }
  if (model_consults(e.name, d.key_model, e.layer)) return Unused::no;
  const bool sand_grains = d.key_model == 1 && e.layer > 1 && (named(e, "rs1") || named(e, "rs3"));
  return sand_grains ? Unused::grain_size : Unused::model;
}

// The water proportion the run gives layer i, against which its phi_layer
// is compared.
double given_water(const RunPlan& plan, int i) {
  return plan.porosity == PorositySource::constant ? plan.porosity_value : plan.water(i);
}

// Values that are not used but say nothing wrong draw no warning: what the
// model never consults and a thickness nothing follows (the converters
// write them, so that a keyword deck converts to the legacy form and back
// without loss), a phi_layer equal to the water proportion the run gives or
// beside a porosity file (where both only label the .phiw tables), and a
// layer's grain sizes equal to layer 1's, which serve every cell.
bool silent(const Deck& d, const RunPlan& plan, const DeckEntry& e, Unused why) {
  switch (why) {
    case Unused::model:
    case Unused::thickness:
      return true;
    case Unused::water:
      return plan.porosity == PorositySource::file || e.value == given_water(plan, e.layer);
    case Unused::constant:
      return e.value == given_water(plan, e.layer);
    case Unused::grain_size:
      return e.value == (named(e, "rs1") ? d.rs1(1) : d.rs3(1));
    default:
      return false;
  }
}

// Why the values of `why` shape nothing, as the end of a warning.
std::string reason(const Deck& d, const RunPlan& plan, Unused why, int layer) {
  switch (why) {
    case Unused::other_layer:
      return "materials = \"uniform\" gives every cell layer 1's values";
    case Unused::thickness:
      return "with materials = \"uniform\" and a porosity not \"by_layer\" the layer "
             "thicknesses shape nothing";
    case Unused::model:
      return std::string("the ") + (d.key_model == 0 ? "permafrost" : "shaley-sand") +
             " model does not consult them";
    case Unused::grain_size:
      return "the shaley-sand model takes the grain sizes rs1, rs3 of layer 1 for every cell";
    case Unused::water:
      return "[run] water_proportion gives layer " + std::to_string(layer) +
             " the water proportion " + format_real(plan.water(layer));
    case Unused::constant:
      return "porosity = " + format_real(plan.porosity_value) +
             " gives every cell its water fraction";
    default:
      return "";
  }
}

// "29-31, 40": the lines of the entries of `group`, runs of consecutive
// lines joined.
std::string line_list(const DeckRecord& group) {
  std::string lines;
  for (int i = 0; i < group.n; ++i) {
    const int first = group.e[i].line;
    while (i + 1 < group.n && group.e[i + 1].line == group.e[i].line + 1) ++i;
    if (!lines.empty()) lines += ", ";
    lines += std::to_string(first);
    if (group.e[i].line != first) lines.append("-").append(std::to_string(group.e[i].line));
  }
  return lines;
}

// One warning for the entries of `group`, all unused for one reason:
// "lines 29-31: s3(1), rs1(1), rs3(1) are not used: ...; leave them out"
// (with their values when `values`; a whole layer as "the values of
// [[layer]] 2"). Values that are needed to say something else are not
// said to be left out.
void warn_group(const DeckRecord& group, Unused why, const std::string& reason, Warnings& out) {
  const bool values = why == Unused::water || why == Unused::constant;
  std::string names;
  for (int i = 0; i < group.n; ++i) {
    if (i > 0) names += ", ";
    names += group.e[i].name;
    if (values) names.append(" = ").append(group.e[i].text);
  }
  if (why == Unused::other_layer)
    names = "the values of [[layer]] " + std::to_string(group.e[0].layer);
  const bool one = group.n == 1;
  const bool optional = why != Unused::other_layer && why != Unused::grain_size;
  add_warning(out, "line%s %s: %s %s not used: %s%s", one ? "" : "s", line_list(group).c_str(),
              names.c_str(), one ? "is" : "are", reason.c_str(),
              !optional ? ""
              : one     ? "; leave it out"
                        : "; leave them out");
}

}  // namespace

void mark_keyword_use(const Deck& d, const RunPlan& plan, DeckRecord& r) {
  for (int i = 0; i < r.n; ++i) r.e[i].used = why_unused(d, plan, r.e[i]) == Unused::no;
}

void keyword_warnings(const Deck& d, const RunPlan& plan, const DeckRecord& r, Warnings& out) {
  range_warnings(r, out);
  // The record holds a layer's values in the order of the deck: the values
  // of one reason in one layer are gathered into one warning.
  for (int layer = 0; layer <= d.nmat; ++layer) {
    // The sweep's end and points are the deck's own frequency sweep
    // (threephase.sweep, tools/sweep): unused by the run, but no mistake.
    for (Unused why : {Unused::other_layer, Unused::thickness, Unused::model, Unused::grain_size,
                       Unused::water, Unused::constant}) {
      DeckRecord group;
      for (int i = 0; i < r.n; ++i) {
        const DeckEntry& e = r.e[i];
        if (e.layer == layer && why_unused(d, plan, e) == why && !silent(d, plan, e, why))
          group.e[group.n++] = e;
      }
      if (group.n == 0) continue;
      warn_group(group, why, reason(d, plan, why, layer), out);
    }
  }
  if (plan.water_line != 0 && plan.porosity == PorositySource::constant) {
    bool differs = false;
    for (int i = 1; i <= d.nmat; ++i) differs = differs || plan.water(i) != plan.porosity_value;
    if (differs) {
      add_warning(out,
                  "line %d: water_proportion is not used for the cells: porosity = %s gives every "
                  "cell its water fraction (the water proportion only labels the .phiw "
                  "tables); leave it out",
                  plan.water_line, format_real(plan.porosity_value).c_str());
    }
  }
}

}  // namespace tp
