#include "deck/convert.hpp"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "common/input.hpp"
#include "common/stop.hpp"
#include "deck/deck_fields.hpp"

namespace tp {

namespace {

// "name = value" padded so the comments line up.
void keyword_line(std::string& out, const std::string& assignment, const char* comment) {
  out += assignment;
  if (comment != nullptr && comment[0] != '\0') {
    out += std::string(assignment.size() < 26 ? 26 - assignment.size() : 1, ' ');
    out += "# ";
    out += comment;
  }
  out += '\n';
}

std::string head_value_text(const HeadField& f, const Deck& d) {
  if (f.real_value != nullptr) return format_real(d.*f.real_value);
  const int v = d.*f.int_value;
  if (f.choice0 != nullptr) return std::string("\"") + (v == 0 ? f.choice0 : f.choice1) + "\"";
  return std::to_string(v);
}

// A TOML basic string holding s: quotes, backslashes and control characters
// escaped.
std::string toml_string(const std::string& s) {
  std::string q = "\"";
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      q += '\\';
      q += c;
    } else if (u < 0x20 || u == 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", u);
      q += buf;
    } else {
      q += c;
    }
  }
  return q + "\"";
}

// The [run] table of plan.
void run_table(std::string& out, const Deck& d, const RunPlan& plan) {
  out += "\n[run]\n";
  keyword_line(out,
               std::string("materials = ") +
                   (plan.materials == Materials::uniform ? "\"uniform\"" : "\"layered\""),
               plan.materials == Materials::uniform ? "every cell is material 1 (layer 1's values)"
                                                    : "each row takes its layer's values");
  bool same = true;
  for (int i = 2; i <= d.nmat; ++i) same = same && plan.water(i) == plan.water(1);
  std::string water(1, '[');
  for (int i = 1; i <= d.nmat; ++i) water += (i > 1 ? ", " : "") + format_real(plan.water(i));
  water += ']';
  if (same) water = format_real(plan.water(1));
  keyword_line(out, "water_proportion = " + water, same ? "of every layer" : "one per layer");
  switch (plan.porosity) {
    case PorositySource::constant:
      keyword_line(out, "porosity = " + format_real(plan.porosity_value),
                   "water fraction of every cell");
      break;
    case PorositySource::by_layer:
      keyword_line(out, "porosity = \"by_layer\"", "each cell: its layer's water proportion");
      break;
    case PorositySource::file:
      keyword_line(out, "porosity = { file = " + toml_string(plan.porosity_file) + " }",
                   "one water fraction per cell, beside the deck");
      break;
  }
  const char* solver[] = {"default", "own", "mumps"};
  keyword_line(out, std::string("solver = \"") + solver[static_cast<int>(plan.solver)] + "\"",
               "\"own\", \"mumps\" or \"default\"");
  if (!plan.output.empty())
    keyword_line(out, "output = " + toml_string(plan.output), "results folder");
  if (plan.elastic_form == ElasticForm::plane_strain)
    keyword_line(out, "elastic_form = \"plane_strain\"", "a slice of a three-dimensional rock");
}

// A legacy line: the value, then its note from column 22 on (column 21 when
// the value leaves it blank).
void legacy_line(std::string& out, const std::string& value, const std::string& note) {
  out += value;
  out += std::string(value.size() < 20 ? 20 - value.size() : 1, ' ');
  out += note;
  out += '\n';
}

// Candidates for a 20-column field after the shortest form: the shortest
// digits in fixed notation, in scientific notation with "e", and with a
// bare signed exponent ("1.5-300"), which the fixed fields also read.
void field_candidates(double v, std::string c[3]) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  c[0].assign(buf, r.ptr);
  if (c[0].find('.') == std::string::npos) c[0] += ".0";
  r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  const std::string s(buf, r.ptr);
  const auto e = s.find('e');
  std::string mantissa = s.substr(0, e);
  if (mantissa.find('.') == std::string::npos) mantissa += ".0";
  std::string x = s.substr(e + 1);
  const char sign = x[0];
  x.erase(0, 1);
  while (x.size() > 1 && x[0] == '0') x.erase(0, 1);
  c[1] = mantissa + "e" + (sign == '-' ? "-" : "") + x;
  if (mantissa.size() > 3 && mantissa.compare(mantissa.size() - 2, 2, ".0") == 0) {
    mantissa.erase(mantissa.size() - 1);  // "1." reads as 1.0 and saves a column
  }
  c[2] = mantissa + (sign == '-' ? "-" : "+") + x;
}

}  // namespace

std::string fixed_field_text(double v) {
  std::string c[4];
  c[0] = format_real(v);
  field_candidates(v, c + 1);
  for (const std::string& text : c) {
    double back = 0.0;
    if (text.size() <= 20 && parse_fixed_real(text.c_str(), 20, 10, back) &&
        std::memcmp(&back, &v, sizeof v) == 0) {
      return text;
    }
  }
  return "";
}

std::string keyword_deck_text(const Deck& d, const RunPlan& plan) {
  std::string out = "# threephase keyword deck\n";
  for (const HeadField& f : kHeadFields) {
    keyword_line(out, std::string(f.name) + " = " + head_value_text(f, d), f.meaning);
  }
  run_table(out, d, plan);
  for (int i = 1; i <= d.nmat; ++i) {
    out += "\n[[layer]]";
    out += std::string(17, ' ') + "# layer " + std::to_string(i) + "\n";
    keyword_line(out, "nl = " + std::to_string(d.nl(i)), "thickness of the layer in cells");
    for (const LayerField& f : kLayerFields) {
      keyword_line(out, std::string(f.name) + " = " + format_real((d.*f.table)(i)), f.meaning);
    }
  }
  return out;
}

int legacy_deck_text(const Deck& d, std::string& text, DeckError& err) {
  std::string out;
  for (const HeadField& f : kHeadFields) {
    std::string value;
    if (f.real_value != nullptr) {
      value = format_real(d.*f.real_value);  // a free field: any length reads back
    } else if (f.choice0 != nullptr) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%5d", d.*f.int_value);  // columns 1-5
      value = buf;
    } else {
      value = std::to_string(d.*f.int_value);
    }
    const std::string note = f.choice0 != nullptr
                                 ? std::string(f.name) + ": 0 " + f.choice0 + ", 1 " + f.choice1
                                 : std::string(f.name) + ", " + f.meaning;
    legacy_line(out, value, note);
  }
  for (int i = 1; i <= d.nmat; ++i) {
    legacy_line(out, std::to_string(d.nl(i)),
                layer_key("nl", i) + ", thickness of layer " + std::to_string(i) + " in cells");
    for (const LayerField& f : kLayerFields) {
      const double v = (d.*f.table)(i);
      const std::string key = layer_key(f.name, i);
      const std::string value = fixed_field_text(v);
      if (value.empty()) {
        err.line = 0;
        err.key = key;
        err.what = key + " = " + format_real(v) +
                   " cannot be written exactly in the 20 columns of the legacy deck";
        return kInputErrorStatus;
      }
      legacy_line(out, value, key + ", " + f.meaning);
    }
  }
  text = out;
  return 0;
}

std::vector<std::string> plan_differences(const Deck& d, const RunPlan& plan) {
  std::vector<std::string> diff;
  const RunPlan legacy = legacy_plan(d);
  if (plan.materials != legacy.materials) {
    diff.push_back("materials = \"layered\": the legacy run gives every cell material 1");
  }
  for (int i = 1; i <= d.nmat; ++i) {
    if (plan.water(i) != legacy.water(i)) {
      diff.push_back(layer_key("water_proportion", i) + " = " + format_real(plan.water(i)) +
                     ": the legacy run uses 0.1");
    }
  }
  if (plan.porosity == PorositySource::by_layer) {
    diff.push_back("porosity = \"by_layer\": the legacy run gives every cell 0.1");
  } else if (plan.porosity == PorositySource::constant && plan.porosity_value != 0.1) {
    diff.push_back("porosity = " + format_real(plan.porosity_value) +
                   ": the legacy run gives every cell 0.1");
  } else if (plan.porosity == PorositySource::file && plan.porosity_file != "porosity.frac") {
    diff.push_back("porosity file \"" + plan.porosity_file +
                   "\": the legacy run reads porosity.frac in its working folder");
  }
  if (plan.solver != SolverChoice::automatic) {
    diff.push_back("solver: the legacy run uses its own solver");
  }
  if (!plan.output.empty()) {
    diff.push_back("output: the legacy run writes into its working folder");
  }
  if (plan.elastic_form != legacy.elastic_form) {
    diff.push_back("elastic_form = \"plane_strain\": the legacy run uses the two-dimensional form");
  }
  return diff;
}

}  // namespace tp
