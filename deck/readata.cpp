#include "deck/readata.hpp"

#include <climits>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "common/input.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"
#include "deck/fields.hpp"

namespace tp {

namespace {

// Counts that no table of the program bounds.
constexpr int kUnbounded = INT_MAX;

// The record of the deck being read, if the caller keeps one.
DeckRecord* record_of_read = nullptr;

// Notes the value just read from the current line of the deck: its text as
// the field's form reads it (fixed_w columns, or the first item).
void note(const LineSource& deck, const char* name, int layer, double v, int fixed_w, int implied) {
  if (record_of_read == nullptr) return;
  char text[160];
  if (fixed_w > 0) {
    fixed_field_text(deck.line, fixed_w, text, sizeof text);
  } else {
    free_item_text(deck.line, text, sizeof text);
  }
  note_entry(*record_of_read, name, layer, deck.line_no, text, v, fixed_w > 0, implied);
}

// "name(i)" for the messages of a per-layer value.
const char* layer_name(char* buf, int size, const char* name, int i) {
  std::snprintf(buf, static_cast<std::size_t>(size), "%s(%d)", name, i);
  return buf;
}

// The table's entry of a field the reader is about to read.
const DeckField& field(const char* name) { return *deck_field(name); }

// ---- Values that read as numbers but cannot give a run. ----
// Each is refused when the deck is read, before anything is computed, with
// the deck line that held it, by the rules of the field table. Checks on one
// value name its own line; a check that needs a later value names the line
// of the value it refuses.

[[noreturn]] void reject(const LineSource& deck, int line, const char* what) {
  char where[96];
  std::snprintf(where, sizeof where, "%s, line %d", deck.name, line);
  input_error(where, what);
}

// NaN or an infinity would run through every coefficient and come out as
// results of NaN with a normal end.
double finite(const LineSource& deck, const char* name, double v) {
  if (std::isfinite(v)) return v;
  char what[160];
  std::snprintf(what, sizeof what, "%s = %g is not a finite number", name, v);
  reject(deck, deck.line_no, what);
}

// Refuse a real that a rule of field f applying in ctx does not admit,
// naming deck line `line` and the value as `shown` ("akf(1)").
void check_real(const LineSource& deck, int line, const DeckField& f, const char* shown, double v,
                const FieldContext& ctx) {
  const FieldRule* r = refusing_rule(f, v, ctx);
  if (r == nullptr) return;
  char what[240];
  if (r->has_min && r->has_max) {
    std::snprintf(what, sizeof what, "%s = %.10g is outside %g..%g (%s)", shown, v, r->min, r->max,
                  r->why);
  } else if (r->has_min) {
    std::snprintf(what, sizeof what, "%s = %.10g must be %s %g (%s)", shown, v,
                  r->min_exclusive ? "above" : "at least", r->min, r->why);
  } else {
    std::snprintf(what, sizeof what, "%s = %.10g must be %s %g (%s)", shown, v,
                  r->max_exclusive ? "below" : "at most", r->max, r->why);
  }
  reject(deck, line, what);
}

// Refuse an integer outside the table's range, or above `capacity`, the
// size of the program's tables, naming the current deck line.
void check_int(const LineSource& deck, const DeckField& f, const char* shown, int v, int capacity) {
  const FieldContext any;
  const FieldRule* r = refusing_rule(f, v, any);
  if (r == nullptr && v <= capacity) return;
  if (r == nullptr) r = &f.rules[0];
  char what[320];
  if (r->has_max) {
    const int hi = r->max < capacity ? static_cast<int>(r->max) : capacity;
    std::snprintf(what, sizeof what, "%s = %d is outside the allowed range %d..%d%s%s%s", shown, v,
                  static_cast<int>(r->min), hi, r->why[0] != '\0' ? " (" : "", r->why,
                  r->why[0] != '\0' ? ")" : "");
  } else {
    std::snprintf(what, sizeof what, "%s = %d: %s", shown, v, r->why);
  }
  source_error(deck, what);
}

// A head value: "freq (line 1)" names it when it is missing or no number.
double head_real(LineSource& deck, const DeckField& f) {
  char what[48];
  std::snprintf(what, sizeof what, "%s (line %d)", f.name, f.line);
  const double v = finite(deck, f.name, read_free_real(deck, what));
  note(deck, f.name, 0, v, 0, 0);
  return v;
}

int head_int(LineSource& deck, const DeckField& f, int capacity) {
  char what[48];
  std::snprintf(what, sizeof what, "%s (line %d)", f.name, f.line);
  const int v = f.form == FieldForm::i5 ? read_fixed_int(deck, 5, what) : read_free_int(deck, what);
  note(deck, f.name, 0, v, f.form == FieldForm::i5 ? 5 : 0, 0);
  check_int(deck, f, f.name, v, capacity);
  return v;
}

// A per-layer real of the fixed 20-column form, checked by its rules at
// once unless `checked_later` (the porosities wait for the ice-model stop).
double layer_real(LineSource& deck, const char* name, const FieldContext& ctx,
                  bool checked_later = false) {
  const DeckField& f = field(name);
  char buf[48];
  layer_name(buf, sizeof buf, name, ctx.layer);
  const double v = finite(deck, buf, read_fixed_real(deck, 20, 10, buf));
  note(deck, buf, ctx.layer, v, 20, 10);
  if (!checked_later) check_real(deck, deck.line_no, f, buf, v, ctx);
  return v;
}

// A per-layer table and the name of its field.
struct LayerSlot {
  const char* name;
  RealLayers* table;
};

// Reads the consecutive fixed-field lines of `slots` into layer ctx.layer of
// their tables, each checked as it is read.
void read_layer_reals(LineSource& deck, const FieldContext& ctx, const LayerSlot* slots,
                      std::size_t n) {
  for (std::size_t s = 0; s < n; ++s) {
    (*slots[s].table)(ctx.layer) = layer_real(deck, slots[s].name, ctx);
  }
}

void echo_layer(const Deck& d, int i) {
  const IntLayers& nl = d.nl;
  const RealLayers &akf = d.akf, &ro2 = d.ro2, &eta = d.eta, &ro1 = d.ro1, &ro3 = d.ro3,
                   &phi_a = d.phi_a, &phi_layer = d.phi_layer, &capa_1_0 = d.capa_1_0,
                   &capa_3_0 = d.capa_3_0, &s3 = d.s3, &rs1 = d.rs1, &rs3 = d.rs3,
                   &coef_b13 = d.coef_b13, &ak_air = d.ak_air, &xmu_air = d.xmu_air,
                   &ak_s1 = d.ak_s1, &xmu_s1 = d.xmu_s1, &ak_s3 = d.ak_s3, &xmu_s3 = d.xmu_s3;
  Unit& out = std_out();
  const char* stars = "**********************************";
  FreeLine(out) << stars;
  FreeLine(out) << " layer i=  " << i;
  empty_line(out);
  FreeLine(out) << stars;
  FreeLine(out) << " nl(i) = cell in layer i       = " << nl(i);
  FreeLine(out) << " akf (GPA) (fluid bulk mod.    = " << akf(i);
  FreeLine(out) << " ro2 (gr/cm^3) (fluid density) = " << ro2(i);
  FreeLine(out) << " eta (poise) (fluid viscosity) = " << eta(i);
  empty_line(out);
  FreeLine(out) << " ro1(kgr/m^3)                  = " << ro1(i);
  FreeLine(out) << " ro3(kgr/m^3)                  = " << ro3(i);
  FreeLine(out) << " phi_a (absolute porosity,ice) = " << phi_a(i);
  FreeLine(out) << " phi_layer1 (water proportion) = " << phi_layer(i);
  FreeLine(out) << " capa_1_0 (cm^2) (ice)         = " << capa_1_0(i);
  FreeLine(out) << " capa_3_0 (cm^2) (ice)         = " << capa_3_0(i);
  FreeLine(out) << " s3 (shale proportion)(shales) = " << s3(i);
  FreeLine(out) << " rs1 (m^2)   (shale)          = " << rs1(i);
  FreeLine(out) << " rs3 (m^2) (shale)            = " << rs3(i);
  FreeLine(out) << " coef_b13                      = " << coef_b13(i);
  FreeLine(out) << " ak_air(PA )                   = " << ak_air(i);
  FreeLine(out) << " xmu_air (PA)                  = " << xmu_air(i);
  FreeLine(out) << " ak_s1  (PA)                   = " << ak_s1(i);
  FreeLine(out) << " xmu_s1 (PA)                   = " << xmu_s1(i);
  FreeLine(out) << " ak_s3  (PA)                   = " << ak_s3(i);
  FreeLine(out) << " xmu_s3 (PA)                   = " << xmu_s3(i);
}

// The head values, one per line, as they were read.
void echo_head(double freq, double freq_max, int n_freq, double domain_size, int nx, int ny,
               int key_model, int model, int nmat) {
  Unit& out = std_out();
  FreeLine(out) << freq;
  FreeLine(out) << freq_max;
  FreeLine(out) << n_freq;
  FreeLine(out) << domain_size;
  FreeLine(out) << nx;
  FreeLine(out) << ny;
  FreeLine(out) << key_model;
  FreeLine(out) << model;
  FreeLine(out) << nmat;
}

// The porosity model and the cell side, after the layers.
void echo_tail(int model, double h) {
  Unit& out = std_out();
  FreeLine(out) << " model (=0,layered,=1,fractal  = " << model;
  empty_line(out);
  FreeLine(out) << " mesh size h " << h;
}

}  // namespace

void readata(LineSource& deck, Deck& d, DeckRecord* record) {
  double &freq = d.freq, &freq_max = d.freq_max, &domain_size = d.domain_size, &h = d.h;
  int &n_freq = d.n_freq, &nx = d.nx, &ny = d.ny, &key_model = d.key_model, &nmat = d.nmat,
      &model = d.model;
  IntLayers& nl = d.nl;
  RealLayers &akf = d.akf, &ro2 = d.ro2, &eta = d.eta, &ro1 = d.ro1, &ro3 = d.ro3, &phi_a = d.phi_a,
             &phi_layer = d.phi_layer, &capa_1_0 = d.capa_1_0, &capa_3_0 = d.capa_3_0, &s3 = d.s3,
             &rs1 = d.rs1, &rs3 = d.rs3, &coef_b13 = d.coef_b13, &ak_s1 = d.ak_s1,
             &xmu_s1 = d.xmu_s1, &ak_s3 = d.ak_s3, &xmu_s3 = d.xmu_s3, &ak_air = d.ak_air,
             &xmu_air = d.xmu_air;
  record_of_read = record;
  if (record != nullptr) record->n = 0;
  Unit& out = std_out();

  // Head lines. Sizes are checked as they are read: the tables are sized from
  // the grid, up to kMaxGridCells a side, and hold kMaxLayers layers.
  FieldContext ctx;
  freq = head_real(deck, field("freq"));
  check_real(deck, deck.line_no, field("freq"), "freq", freq, ctx);
  freq_max = head_real(deck, field("freq_max"));
  const int freq_max_line = deck.line_no;
  n_freq = head_int(deck, field("n_freq"), kUnbounded);
  ctx.n_freq = n_freq;
  // The sweep is logarithmic: its end enters log10 unless it has one point.
  // (An end below freq is a sweep downwards.)
  check_real(deck, freq_max_line, field("freq_max"), "freq_max", freq_max, ctx);
  domain_size = head_real(deck, field("domain_size"));
  check_real(deck, deck.line_no, field("domain_size"), "domain_size", domain_size, ctx);
  nx = head_int(deck, field("nx"), kMaxGridCells);
  ny = head_int(deck, field("ny"), kMaxGridCells);
  key_model = head_int(deck, field("key_model"), 1);
  ctx.key_model = key_model;
  model = head_int(deck, field("model"), 1);
  nmat = head_int(deck, field("nmat"), kMaxLayers);

  echo_head(freq, freq_max, n_freq, domain_size, nx, ny, key_model, model, nmat);

  for (int i = 1; i <= nmat; ++i) {
    char buf[48];
    ctx.layer = i;
    nl(i) = read_free_int(deck, layer_name(buf, sizeof buf, "nl", i));
    note(deck, buf, i, nl(i), 0, 0);
    check_int(deck, field("nl"), buf, nl(i), kUnbounded);
    // What each model consults must hold a usable value; what it does not
    // consult need only be a number (the table's rules say which is which).
    // The shaley-sand model takes the grain sizes of layer 1 for every cell;
    // those of layer 2 are read and echoed only. eta <= 0 is meaningful: no
    // viscous coupling of the shear moduli.
    const LayerSlot before_porosities[] = {
        {"akf", &akf}, {"ro2", &ro2}, {"eta", &eta}, {"ro1", &ro1}, {"ro3", &ro3}};
    read_layer_reals(deck, ctx, before_porosities, std::size(before_porosities));
    phi_a(i) = layer_real(deck, "phi_a", ctx, true);
    const int phi_a_line = deck.line_no;
    phi_layer(i) = layer_real(deck, "phi_layer", ctx, true);
    // In the ice model the pores not filled with water hold ice: a water
    // proportion reaching the absolute porosity leaves no room for it.
    if (key_model == 0 && phi_layer(i) >= phi_a(i)) {
      FreeLine(out) << " Ice model, phi_a_m is smaller than phi_layer_m(i) ";
      FreeLine(out) << " ERROR, the code stops ";
      FreeLine(out) << " phi_a_m(i) = " << phi_a(i) << " phi_layer_m(i) = " << phi_layer(i);
      stop(11);
    }
    // The porosities are checked after that test, which has its own stop.
    check_real(deck, phi_a_line, field("phi_a"), layer_name(buf, sizeof buf, "phi_a", i), phi_a(i),
               ctx);
    check_real(deck, deck.line_no, field("phi_layer"), layer_name(buf, sizeof buf, "phi_layer", i),
               phi_layer(i), ctx);
    // Zero moduli of the pore inclusions (ak_air, xmu_air) are meaningful:
    // empty pores.
    const LayerSlot after_porosities[] = {
        {"capa_1_0", &capa_1_0}, {"capa_3_0", &capa_3_0}, {"s3", &s3},
        {"rs1", &rs1},           {"rs3", &rs3},           {"coef_b13", &coef_b13},
        {"ak_air", &ak_air},     {"xmu_air", &xmu_air},   {"ak_s1", &ak_s1},
        {"xmu_s1", &xmu_s1},     {"ak_s3", &ak_s3},       {"xmu_s3", &xmu_s3}};
    read_layer_reals(deck, ctx, after_porosities, std::size(after_porosities));
  }
  // The layered map repeats a period of nl(1) + nl(2) rows; an empty period
  // would divide by zero. (With one layer, nl(2) is 0.)
  if (nmat == 1) nl(2) = 0;
  if (nl(1) + nl(2) == 0) {
    char what[160];
    std::snprintf(what, sizeof what,
                  "the layers are all 0 cells thick (nl(1) + nl(2) = 0); at least one must "
                  "hold a cell");
    input_error(deck.name, what);
  }

  for (int i = 1; i <= nmat; ++i) {
    echo_layer(d, i);
  }
  h = domain_size / ny;
  echo_tail(model, h);
}

void echo_deck(const Deck& d) {
  echo_head(d.freq, d.freq_max, d.n_freq, d.domain_size, d.nx, d.ny, d.key_model, d.model, d.nmat);
  for (int i = 1; i <= d.nmat; ++i) {
    echo_layer(d, i);
  }
  echo_tail(d.model, d.h);
}

}  // namespace tp
