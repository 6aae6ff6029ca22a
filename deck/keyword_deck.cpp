#include "deck/keyword_deck.hpp"

#include <toml++/toml.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <vector>

#include "common/stop.hpp"
#include "deck/deck_checks.hpp"
#include "deck/deck_fields.hpp"
#include "deck/frequencies.hpp"

namespace tp {

namespace {

// The UTF-8 byte order mark some editors put before the first line.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The names a [run] table may hold.
constexpr const char* kRunKeys[] = {"materials", "water_proportion", "porosity",    "solver",
                                    "output",    "stiffness",        "frequencies", "elastic_form"};

int line_of(const toml::node& n) { return static_cast<int>(n.source().begin.line); }

// Fills err and returns the reader's failure status, so that a check reads
// `return refuse(err, line, key, what)`.
int refuse(DeckError& err, int line, std::string key, std::string what) {
  for (char& c : what) {
    if (c == '\n' || c == '\r') c = ' ';  // a message is one line
  }
  err.line = line;
  err.key = std::move(key);
  err.what = std::move(what);
  return kInputErrorStatus;
}

// The TOML type of a node, as a message names it.
const char* type_name(const toml::node& n) {
  switch (n.type()) {
    case toml::node_type::string:
      return "a string";
    case toml::node_type::integer:
      return "an integer";
    case toml::node_type::floating_point:
      return "a float";
    case toml::node_type::boolean:
      return "a boolean";
    case toml::node_type::table:
      return "a table";
    case toml::node_type::array:
      return "an array";
    default:
      return "a date or time";
  }
}

// A number (TOML float or integer) as a double; refuses other types and
// values that are not finite.
int read_real(const toml::node& n, const std::string& key, double& v, DeckError& err) {
  if (const auto* f = n.as_floating_point()) {
    v = f->get();
  } else if (const auto* i = n.as_integer()) {
    v = static_cast<double>(i->get());
  } else {
    return refuse(err, line_of(n), key, key + " must be a number, found " + type_name(n));
  }
  if (!std::isfinite(v)) {
    return refuse(err, line_of(n), key, key + " = " + format_real(v) + " is not a finite number");
  }
  return 0;
}

// A TOML integer that fits an int.
int read_int(const toml::node& n, const std::string& key, int& v, DeckError& err) {
  const auto* i = n.as_integer();
  if (i == nullptr) {
    return refuse(err, line_of(n), key, key + " must be an integer, found " + type_name(n));
  }
  const std::int64_t x = i->get();
  if (x < std::numeric_limits<int>::min() || x > std::numeric_limits<int>::max()) {
    return refuse(err, line_of(n), key, key + " = " + std::to_string(x) + " is not an int");
  }
  v = static_cast<int>(x);
  return 0;
}

// [run] frequencies: a list of positive frequencies (Hz), or a range
// { from = FMIN, to = FMAX, points = N } evenly spaced in log frequency.
int read_frequencies(const toml::node& n, RunPlan& plan, DeckError& err) {
  const std::string key = "frequencies";
  const std::string form = "a list of frequencies in Hz or { from = .., to = .., points = .. }";
  plan.frequencies.clear();
  if (const auto* list = n.as_array()) {
    for (const toml::node& e : *list) {
      double v = 0.0;
      if (int rc = read_real(e, key, v, err)) return rc;
      if (!(v > 0.0)) return refuse(err, line_of(e), key, key + " must be positive (Hz)");
      plan.frequencies.push_back(v);
    }
    if (plan.frequencies.empty()) return refuse(err, line_of(n), key, key + " must be " + form);
    return 0;
  }
  const auto* range = n.as_table();
  const toml::node* from = range != nullptr ? range->get("from") : nullptr;
  const toml::node* to = range != nullptr ? range->get("to") : nullptr;
  const toml::node* points = range != nullptr ? range->get("points") : nullptr;
  if (from == nullptr || to == nullptr || points == nullptr)
    return refuse(err, line_of(n), key, key + " must be " + form);
  double lo = 0.0, hi = 0.0;
  int count = 0;
  if (int rc = read_real(*from, key + ".from", lo, err)) return rc;
  if (int rc = read_real(*to, key + ".to", hi, err)) return rc;
  if (int rc = read_int(*points, key + ".points", count, err)) return rc;
  if (!(lo > 0.0) || hi < lo || count < 1 || count > 100000)
    return refuse(err, line_of(n), key,
                  key + " needs 0 < from <= to (Hz) and a whole number of points from 1");
  plan.frequencies = log_frequencies(lo, hi, count);
  return 0;
}

// A model key written as its number or its name.
int read_choice(const toml::node& n, const std::string& key, const char* name0, const char* name1,
                int& v, DeckError& err) {
  if (const auto* s = n.as_string()) {
    if (s->get() == name0) return v = 0, 0;
    if (s->get() == name1) return v = 1, 0;
    return refuse(err, line_of(n), key,
                  key + " = \"" + s->get() + "\" is not \"" + name0 + "\" or \"" + name1 + "\"");
  }
  if (n.is_integer()) return read_int(n, key, v, err);
  return refuse(
      err, line_of(n), key,
      key + " must be \"" + name0 + "\", \"" + name1 + "\", 0 or 1, found " + type_name(n));
}

// The number of single-letter insertions, deletions and substitutions that
// turn a into b.
int edit_distance(std::string_view a, std::string_view b) {
  std::vector<int> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const int above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1] ? 1 : 0)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "; did you mean 'ro1'?" for the known name closest to a misspelt key,
// when it lies within a third of the key's length (one edit at least);
// else nothing.
std::string closest_hint(std::string_view key, const char* const* known, int n) {
  const int reach = std::max(1, static_cast<int>(key.size()) / 3);
  int best = reach + 1;
  const char* closest = nullptr;
  for (int i = 0; i < n; ++i) {
    const int d = edit_distance(key, known[i]);
    if (d < best) best = d, closest = known[i];
  }
  return closest != nullptr ? std::string("; did you mean '") + closest + "'?" : "";
}

// Refuses any key of `t` that is not among the `n` known names, with the
// closest known name.
int refuse_unknown(const toml::table& t, const char* const* known, int n, const std::string& in,
                   DeckError& err) {
  for (const auto& [k, node] : t) {
    bool found = false;
    for (int i = 0; i < n && !found; ++i) found = k.str() == known[i];
    if (!found) {
      return refuse(
          err, line_of(node), std::string(k.str()),
          "unknown key '" + std::string(k.str()) + "'" + in + closest_hint(k.str(), known, n));
    }
  }
  return 0;
}

// The line of key `name` of table t, or that of the table's header when the
// key was left out.
int line_in(const toml::table& t, const char* name) {
  const toml::node* n = t.get(name);
  return n != nullptr ? line_of(*n) : line_of(t);
}

// The node of a required key, or a refusal naming the line `where` (the
// table's header, or the end of the head values).
int require_key(const toml::table& t, const char* key, int where, const std::string& in,
                const char* meaning, const toml::node*& node, DeckError& err) {
  node = t.get(key);
  if (node != nullptr) return 0;
  return refuse(err, where, key, in + " has no '" + key + "' (" + meaning + ")");
}

// The line where the head values end: that of the first table, or the last.
int head_end_line(const toml::table& root, int last_line) {
  int line = last_line;
  for (const auto& [k, node] : root) {
    if (node.is_table() || node.is_array_of_tables()) line = std::min(line, line_of(node));
  }
  return line;
}

// Head values a deck may leave out: the end and the points of the legacy
// sweep, which a run of one frequency does not use, and the layer count,
// which the [[layer]] tables give.
bool head_optional(const char* name) {
  return std::strcmp(name, "freq_max") == 0 || std::strcmp(name, "n_freq") == 0 ||
         std::strcmp(name, "nmat") == 0;
}

// The number of [[layer]] tables (0 when there are none or layer is not an
// array of tables: read_layers says why).
int layer_tables(const toml::table& root) {
  const toml::node* node = root.get("layer");
  const toml::array* layers = node != nullptr ? node->as_array() : nullptr;
  return layers != nullptr && layers->is_array_of_tables() ? static_cast<int>(layers->size()) : 0;
}

int read_head(const toml::table& root, int head_line, Deck& d, DeckError& err) {
  for (const HeadField& f : kHeadFields) {
    const toml::node* n = nullptr;
    if (root.get(f.name) == nullptr && head_optional(f.name)) continue;
    if (int rc = require_key(root, f.name, head_line, "the deck", f.meaning, n, err)) return rc;
    int rc = 0;
    if (f.choice0 != nullptr) {
      rc = read_choice(*n, f.name, f.choice0, f.choice1, d.*f.int_value, err);
    } else if (f.int_value != nullptr) {
      rc = read_int(*n, f.name, d.*f.int_value, err);
    } else {
      rc = read_real(*n, f.name, d.*f.real_value, err);
    }
    if (rc != 0) return rc;
  }
  // What the values left out take: a sweep of one point at freq, and as
  // many layers as the deck has tables (at most kMaxLayers).
  if (root.get("n_freq") == nullptr) d.n_freq = 1;
  if (root.get("freq_max") == nullptr) d.freq_max = d.freq;
  if (root.get("nmat") == nullptr) {
    d.nmat = layer_tables(root);
    if (d.nmat > kMaxLayers) {
      return refuse(err, line_of(*root.get("layer")), "layer",
                    "the deck has " + std::to_string(d.nmat) + " [[layer]] tables; at most " +
                        std::to_string(kMaxLayers));
    }
  }
  return 0;
}

// Checks the head values the deck gives against their ranges, naming the
// line of each.
int check_head(const toml::table& root, const Deck& d, DeckError& err) {
  for (const HeadField& f : kHeadFields) {
    if (root.get(f.name) == nullptr) continue;
    std::string what;
    if (!head_value_allowed(f, d, what))
      return refuse(err, line_of(*root.get(f.name)), f.name, what);
  }
  return 0;
}

// A layer value the run does not use may be left out: a value the model
// does not consult, the thickness when neither the materials nor the
// porosity follow the layers, and phi_layer when [run] water_proportion or
// a constant porosity gives the layer its water.
bool layer_value_optional(const char* name, int i, const Deck& d, const RunPlan& plan) {
  if (std::strcmp(name, "nl") == 0) {
    return plan.materials == Materials::uniform && plan.porosity != PorositySource::by_layer;
  }
  if (std::strcmp(name, "phi_layer") == 0)
    return plan.water_line != 0 || plan.porosity == PorositySource::constant;
  return !model_consults(name, d.key_model, i);
}

// What a layer value left out takes: phi_layer the water proportion the run
// gives the layer (so that the ice model's check of the room for ice holds
// that), the others 0, which their rules admit where the model does not
// consult them.
double layer_default(const char* name, int i, const RunPlan& plan) {
  if (std::strcmp(name, "phi_layer") != 0) return 0.0;
  return plan.porosity == PorositySource::constant ? plan.porosity_value : plan.water(i);
}

int read_layer(const toml::table& t, int i, Deck& d, const RunPlan& plan, DeckError& err) {
  const std::string in = " in [[layer]] " + std::to_string(i);
  const int header = line_of(t);
  const char* names[kLayerFieldCount + 1];
  for (int f = 0; f < kLayerFieldCount; ++f) names[f] = kLayerFields[f].name;
  names[kLayerFieldCount] = "nl";
  if (int rc = refuse_unknown(t, names, kLayerFieldCount + 1, in, err)) return rc;

  const std::string where = "[[layer]] " + std::to_string(i);
  const toml::node* n = nullptr;
  if (t.get("nl") == nullptr && layer_value_optional("nl", i, d, plan)) {
    d.nl(i) = 1;
  } else {
    if (int rc = require_key(t, "nl", header, where, "thickness of the layer in cells", n, err)) {
      return rc;
    }
    const std::string nl_key = layer_key("nl", i);
    if (int rc = read_int(*n, nl_key, d.nl(i), err)) return rc;
    std::string what;
    if (!layer_value_allowed("nl", d.nl(i), i, d, what)) {
      return refuse(err, line_of(*n), nl_key, what);
    }
  }
  for (const LayerField& f : kLayerFields) {
    if (t.get(f.name) == nullptr && layer_value_optional(f.name, i, d, plan)) {
      (d.*f.table)(i) = layer_default(f.name, i, plan);
      continue;
    }
    const bool water = std::strcmp(f.name, "phi_layer") == 0;
    const char* meaning =
        water ? "water proportion of the layer; or give [run] water_proportion" : f.meaning;
    if (int rc = require_key(t, f.name, header, where, meaning, n, err)) return rc;
    if (int rc = read_real(*n, layer_key(f.name, i), (d.*f.table)(i), err)) return rc;
  }
  return 0;
}

// Shaley sand: a shale share s3 of 0 (a clean sand) or 1 (a pure shale)
// leaves one solid with no volume, and its frame with no stiffness. The
// coefficients that divide by that solid's fraction have finite limits, but
// the medium does not: the solid's plane waves (the third P wave and the
// second S wave) slow to zero speed and the strain energy is no longer
// positive definite, so neither the closed-form analysis nor the
// finite-element test has a run to give. A share of kMinSolidShare runs,
// and its moduli stand within about sqrt(s3) relative of the limit (the
// sand frame's shear factor exp(-sqrt(s1 s3))).
int check_shale_share(const toml::table& t, int i, const Deck& d, DeckError& err) {
  const double s3 = d.s3(i);
  if (d.key_model != 1 || (s3 >= kMinSolidShare && s3 <= 1.0 - kMinSolidShare)) return 0;
  const std::string key = layer_key("s3", i);
  const bool clean = s3 < kMinSolidShare;
  return refuse(err, line_of(*t.get("s3")), key,
                key + " = " + format_real(s3) + (clean ? " (a clean sand)" : " (a pure shale)") +
                    " leaves " + (clean ? "solid 3" : "solid 1") +
                    " without volume, and the run without its stiffness; give " + key + " = " +
                    (clean ? format_real(kMinSolidShare) : format_real(1.0 - kMinSolidShare)) +
                    ", the " + (clean ? "smallest" : "largest") +
                    " share the run takes (its moduli then agree with the limit to about 1e-6)");
}

// Checks the values of layer i against their ranges (the model's and the
// layer's), naming the line of each; then the share of each solid and the
// room for ice.
int check_layer(const toml::table& t, int i, const Deck& d, DeckError& err) {
  for (const LayerField& f : kLayerFields) {
    std::string what;
    if (!layer_value_allowed(f.name, (d.*f.table)(i), i, d, what)) {
      return refuse(err, line_in(t, f.name), layer_key(f.name, i), what);
    }
  }
  if (int rc = check_shale_share(t, i, d, err)) return rc;
  if (d.key_model == 0 && !(d.phi_layer(i) < d.phi_a(i))) {
    const std::string key = layer_key("phi_layer", i);
    return refuse(err, line_in(t, "phi_layer"), key,
                  key + " = " + format_real(d.phi_layer(i)) + " is not below " +
                      layer_key("phi_a", i) + " = " + format_real(d.phi_a(i)) +
                      " (permafrost model: the pores not filled with water hold the ice)");
  }
  return 0;
}

int read_layers(const toml::table& root, int head_line, Deck& d, const RunPlan& plan,
                DeckError& err) {
  const toml::node* node = root.get("layer");
  if (node == nullptr) {
    return refuse(err, head_line, "layer",
                  "the deck has no [[layer]] entry (nmat = " + std::to_string(d.nmat) + ")");
  }
  const toml::array* layers = node->as_array();
  if (layers == nullptr || !layers->is_array_of_tables()) {
    return refuse(err, line_of(*node), "layer",
                  "layer must be an array of tables: write each layer as [[layer]]");
  }
  const int count = static_cast<int>(layers->size());
  if (count != d.nmat) {
    const int line = line_in(root, "nmat");
    return refuse(err, line, "nmat",
                  "nmat = " + std::to_string(d.nmat) + " but the deck has " +
                      std::to_string(count) + " [[layer]] " + (count == 1 ? "entry" : "entries"));
  }
  for (int i = 1; i <= count; ++i) {
    const toml::table& t = *(*layers)[static_cast<std::size_t>(i - 1)].as_table();
    if (int rc = read_layer(t, i, d, plan, err)) return rc;
  }
  if (d.nmat == 1) d.nl(2) = 0;
  for (int i = 1; i <= count; ++i) {
    const toml::table& t = *(*layers)[static_cast<std::size_t>(i - 1)].as_table();
    if (int rc = check_layer(t, i, d, err)) return rc;
  }
  if (d.nl(1) + d.nl(2) == 0) {
    return refuse(err, line_of(*node), "nl",
                  "the layers are all 0 cells thick (nl(1) + nl(2) = 0); at least one must "
                  "hold a cell");
  }
  return 0;
}

// A fraction in 0..1 from a number node.
int read_fraction(const toml::node& n, const std::string& key, double& v, DeckError& err) {
  if (int rc = read_real(n, key, v, err)) return rc;
  if (v >= 0.0 && v <= 1.0) return 0;
  return refuse(err, line_of(n), key, key + " = " + format_real(v) + " is outside 0..1");
}

// water_proportion: one number for every layer, or an array of nmat numbers.
int read_water(const toml::node& n, const Deck& d, RunPlan& plan, DeckError& err) {
  if (const auto* a = n.as_array()) {
    const int count = static_cast<int>(a->size());
    if (count != d.nmat) {
      return refuse(err, line_of(n), "water_proportion",
                    "water_proportion has " + std::to_string(count) +
                        " values for nmat = " + std::to_string(d.nmat) + " layers");
    }
    for (int i = 1; i <= count; ++i) {
      const toml::node& v = *a->get(static_cast<std::size_t>(i - 1));
      if (int rc = read_fraction(v, layer_key("water_proportion", i), plan.water(i), err)) {
        return rc;
      }
    }
    return 0;
  }
  double w = 0.0;
  if (!n.is_number()) {
    return refuse(err, line_of(n), "water_proportion",
                  std::string("water_proportion must be a number or an array of numbers, "
                              "found ") +
                      type_name(n));
  }
  if (int rc = read_fraction(n, "water_proportion", w, err)) return rc;
  for (int i = 1; i <= d.nmat; ++i) plan.water(i) = w;
  return 0;
}

// porosity: a number, "by_layer", or { file = "PATH" }; the model must agree.
int read_porosity(const toml::node& n, const Deck& d, RunPlan& plan, DeckError& err) {
  const std::string key = "porosity";
  if (n.is_number()) {
    plan.porosity = PorositySource::constant;
    if (int rc = read_fraction(n, key, plan.porosity_value, err)) return rc;
  } else if (const auto* s = n.as_string()) {
    if (s->get() != "by_layer") {
      return refuse(
          err, line_of(n), key,
          "porosity = \"" + s->get() + "\": write a number, \"by_layer\" or { file = \"PATH\" }");
    }
    plan.porosity = PorositySource::by_layer;
  } else if (const auto* t = n.as_table()) {
    const char* known[] = {"file"};
    if (int rc = refuse_unknown(*t, known, 1, " in porosity", err)) return rc;
    const toml::node* f = t->get("file");
    if (f == nullptr || !f->is_string() || f->as_string()->get().empty()) {
      return refuse(err, line_of(n), "porosity.file",
                    "porosity = { file = \"PATH\" } needs the file's path as a string");
    }
    plan.porosity = PorositySource::file;
    plan.porosity_file = f->as_string()->get();
  } else {
    return refuse(err, line_of(n), key,
                  std::string("porosity must be a number, \"by_layer\" or { file = \"PATH\" }, "
                              "found ") +
                      type_name(n));
  }
  const bool from_file = plan.porosity == PorositySource::file;
  if (from_file != (d.model == 1)) {
    return refuse(err, line_of(n), key,
                  from_file ? "a porosity file needs model = \"fractal\""
                            : "model = \"fractal\" takes the porosity from a file: write "
                              "porosity = { file = \"PATH\" }");
  }
  return 0;
}

// A string key whose value is one of the names given, as its index.
int read_name(const toml::node& n, const char* key, const char* const* names, int count, int& index,
              DeckError& err) {
  std::string list;
  for (int i = 0; i < count; ++i) list += std::string(i ? ", \"" : "\"") + names[i] + "\"";
  const auto* s = n.as_string();
  if (s == nullptr) {
    return refuse(err, line_of(n), key,
                  std::string(key) + " must be one of " + list + ", found " + type_name(n));
  }
  for (int i = 0; i < count; ++i) {
    if (s->get() == names[i]) return index = i, 0;
  }
  return refuse(err, line_of(n), key,
                std::string(key) + " = \"" + s->get() + "\" is not one of " + list);
}

int read_run(const toml::table& root, int head_line, const Deck& d, RunPlan& plan, DeckError& err) {
  const toml::node* node = root.get("run");
  if (node == nullptr) {
    return refuse(err, head_line, "run",
                  "the deck has no [run] table (materials, water_proportion, porosity)");
  }
  const toml::table* run = node->as_table();
  if (run == nullptr) return refuse(err, line_of(*node), "run", "run must be a table: [run]");
  if (int rc =
          refuse_unknown(*run, kRunKeys, static_cast<int>(std::size(kRunKeys)), " in [run]", err))
    return rc;
  const int header = line_of(*run);
  const toml::node* n = nullptr;

  const char* materials[] = {"uniform", "layered"};
  int index = 0;
  if (int rc =
          require_key(*run, "materials", header, "[run]", "\"uniform\" or \"layered\"", n, err)) {
    return rc;
  }
  if (int rc = read_name(*n, "materials", materials, 2, index, err)) return rc;
  plan.materials = index == 0 ? Materials::uniform : Materials::layered;

  if ((n = run->get("water_proportion")) != nullptr) {
    if (int rc = read_water(*n, d, plan, err)) return rc;
    plan.water_line = line_of(*n);
  }

  if (int rc = require_key(*run, "porosity", header, "[run]",
                           "a number, \"by_layer\" or { file = \"PATH\" }", n, err)) {
    return rc;
  }
  if (int rc = read_porosity(*n, d, plan, err)) return rc;

  if ((n = run->get("solver")) != nullptr) {
    const char* solvers[] = {"default", "own", "mumps"};
    if (int rc = read_name(*n, "solver", solvers, 3, index, err)) return rc;
    const SolverChoice choice[] = {SolverChoice::automatic, SolverChoice::own, SolverChoice::mumps};
    plan.solver = choice[index];
  }
  if ((n = run->get("frequencies")) != nullptr) {
    if (int rc = read_frequencies(*n, plan, err)) return rc;
  }
  if ((n = run->get("stiffness")) != nullptr) {
    const char* sets[] = {"vertical", "full"};
    if (int rc = read_name(*n, "stiffness", sets, 2, index, err)) return rc;
    plan.full_stiffness = index == 1;
  }
  if ((n = run->get("elastic_form")) != nullptr) {
    const char* forms[] = {"two_dimensional", "plane_strain"};
    if (int rc = read_name(*n, "elastic_form", forms, 2, index, err)) return rc;
    plan.elastic_form = index == 1 ? ElasticForm::plane_strain : ElasticForm::two_dimensional;
  }
  if ((n = run->get("output")) != nullptr) {
    const auto* s = n->as_string();
    if (s == nullptr || s->get().empty()) {
      return refuse(err, line_of(*n), "output", "output must name a folder (a string)");
    }
    plan.output = s->get();
  }
  return 0;
}

// Without [run] water_proportion, each layer's water proportion is the
// constant porosity, or its phi_layer.
void settle_water(const Deck& d, RunPlan& plan) {
  if (plan.water_line != 0) return;
  for (int i = 1; i <= d.nmat; ++i) {
    plan.water(i) =
        plan.porosity == PorositySource::constant ? plan.porosity_value : d.phi_layer(i);
  }
}

// Notes in r the values the deck gives, each with its line; the values
// left out, which took their defaults, are not noted.
void note_given_values(const toml::table& root, const Deck& d, DeckRecord& r) {
  DeckRecord all;
  record_deck_values(d, all);
  const toml::array& layers = *root.get("layer")->as_array();
  r.n = 0;
  for (int i = 0; i < all.n; ++i) {
    DeckEntry e = all.e[i];
    char base[sizeof e.name];
    std::snprintf(base, sizeof base, "%s", e.name);
    if (char* paren = std::strchr(base, '(')) *paren = '\0';
    const toml::table& t =
        e.layer == 0 ? root : *layers[static_cast<std::size_t>(e.layer - 1)].as_table();
    const toml::node* n = t.get(base);
    if (n == nullptr) continue;
    e.line = line_of(*n);
    r.e[r.n++] = e;
  }
}

int count_lines(std::string_view text) {
  int lines = 1;
  for (char c : text) lines += c == '\n';
  return lines;
}

}  // namespace

RunPlan legacy_plan(const Deck& d) {
  RunPlan plan;
  plan.materials = Materials::uniform;
  plan.water(1) = 0.1;
  plan.water(2) = 0.1;
  if (d.model == 1) {
    plan.porosity = PorositySource::file;
    plan.porosity_file = "porosity.frac";
  } else {
    plan.porosity = PorositySource::constant;
    plan.porosity_value = 0.1;
  }
  return plan;
}

DeckForm deck_form(std::string_view text) {
  // A UTF-8 byte order mark, as some editors write it, says nothing.
  std::size_t p = text.substr(0, 3) == kByteOrderMark ? 3 : 0;
  while (p < text.size()) {
    // Skip blanks; an empty line says nothing.
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t' || text[p] == '\r')) ++p;
    if (p < text.size() && text[p] == '\n') {
      ++p;
      continue;
    }
    if (p >= text.size()) break;
    const char c = text[p];
    if (c == '#' || c == '[') return DeckForm::keyword;
    // A bare key, then optional blanks, then '='.
    std::size_t q = p;
    while (q < text.size() && (std::isalnum(static_cast<unsigned char>(text[q])) ||
                               text[q] == '_' || text[q] == '-')) {
      ++q;
    }
    if (q == p) return DeckForm::legacy;
    while (q < text.size() && (text[q] == ' ' || text[q] == '\t')) ++q;
    return q < text.size() && text[q] == '=' ? DeckForm::keyword : DeckForm::legacy;
  }
  return DeckForm::legacy;
}

int read_keyword_deck(std::string_view text, Deck& d, RunPlan& plan, DeckError& err,
                      DeckRecord* record) {
  d = Deck{};
  plan = RunPlan{};
  plan.lambda_warning_only = true;
  plan.keyword = true;
  toml::table root;
  if (text.substr(0, 3) == kByteOrderMark) text.remove_prefix(3);
  try {
    root = toml::parse(text);
  } catch (const toml::parse_error& e) {
    return refuse(err, static_cast<int>(e.source().begin.line), "", std::string(e.description()));
  }
  const int head_line = head_end_line(root, count_lines(text));
  const char* known[kHeadFieldCount + 2];
  for (int f = 0; f < kHeadFieldCount; ++f) known[f] = kHeadFields[f].name;
  known[kHeadFieldCount] = "run";
  known[kHeadFieldCount + 1] = "layer";
  if (int rc = refuse_unknown(root, known, kHeadFieldCount + 2, "", err)) return rc;
  if (int rc = read_head(root, head_line, d, err)) return rc;
  if (int rc = check_head(root, d, err)) return rc;
  // The plan first: it says which layer values the run uses, and so which
  // a deck may leave out.
  if (int rc = read_run(root, head_line, d, plan, err)) return rc;
  if (int rc = read_layers(root, head_line, d, plan, err)) return rc;
  settle_water(d, plan);
  d.h = d.domain_size / d.ny;
  if (record != nullptr) note_given_values(root, d, *record);
  return 0;
}

std::string error_place(const char* name, const DeckError& err) {
  if (err.line <= 0) return name;
  return std::string(name) + ", line " + std::to_string(err.line);
}

}  // namespace tp
