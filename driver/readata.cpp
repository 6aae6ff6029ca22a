#include "driver/readata.hpp"

#include <cmath>
#include <cstdio>

#include "common/input.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"

namespace tp {

namespace {

// Reject a value outside lo..hi, naming the deck line that held it.
void require_range(const LineSource& deck, const char* name, int v, int lo, int hi) {
  if (v >= lo && v <= hi) return;
  char what[160];
  std::snprintf(what, sizeof what, "%s = %d is outside the allowed range %d..%d", name, v, lo,
                hi);
  source_error(deck, what);
}

// "name(i)" for the messages of a per-layer value.
const char* layer_name(char* buf, int size, const char* name, int i) {
  std::snprintf(buf, static_cast<std::size_t>(size), "%s(%d)", name, i);
  return buf;
}

// ---- Values that read as numbers but cannot give a run. ----
// Each is rejected when the deck is read, before anything is computed, with
// the deck line that held it. Checks on one value name its own line; a
// check that needs a later value names the line of the value it rejects.

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

void require_positive(const LineSource& deck, int line, const char* name, double v,
                      const char* why) {
  if (v > 0.0) return;
  char what[240];
  std::snprintf(what, sizeof what, "%s = %.10g must be above 0 (%s)", name, v, why);
  reject(deck, line, what);
}

void require_fraction(const LineSource& deck, int line, const char* name, double v,
                      const char* why) {
  if (v >= 0.0 && v <= 1.0) return;
  char what[240];
  std::snprintf(what, sizeof what, "%s = %.10g is outside 0..1 (%s)", name, v, why);
  reject(deck, line, what);
}

double head_real(LineSource& deck, const char* name, const char* what) {
  return finite(deck, name, read_free_real(deck, what));
}

// What a per-layer value must be, besides finite.
enum class Need { finite, positive, fraction };

void require(const LineSource& deck, int line, const char* name, double v, Need need,
             const char* why) {
  if (need == Need::positive) require_positive(deck, line, name, v, why);
  if (need == Need::fraction) require_fraction(deck, line, name, v, why);
}

double layer_real(LineSource& deck, const char* name, int i, Need need = Need::finite,
                  const char* why = "") {
  char buf[48];
  layer_name(buf, sizeof buf, name, i);
  const double v = finite(deck, buf, read_fixed_real(deck, 20, 10, buf));
  require(deck, deck.line_no, buf, v, need, why);
  return v;
}

void echo_layer(int i, const IntLayers& nl, const RealLayers& akf, const RealLayers& ro2,
                const RealLayers& eta, const RealLayers& ro1, const RealLayers& ro3,
                const RealLayers& phi_a, const RealLayers& phi_layer,
                const RealLayers& capa_1_0, const RealLayers& capa_3_0, const RealLayers& s3,
                const RealLayers& rs1, const RealLayers& rs3, const RealLayers& coef_b13,
                const RealLayers& ak_air, const RealLayers& xmu_air, const RealLayers& ak_s1,
                const RealLayers& xmu_s1, const RealLayers& ak_s3, const RealLayers& xmu_s3) {
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

}  // namespace

void readata(double& freq, double& freq_max, int& n_freq, double& domain_size, int& nx,
             int& ny, int& key_model, int& nmat, RealLayers& akf, RealLayers& ro2,
             RealLayers& eta, RealLayers& ro1, RealLayers& ro3, RealLayers& phi_a,
             RealLayers& phi_layer, RealLayers& capa_1_0, RealLayers& capa_3_0, RealLayers& s3,
             RealLayers& rs1, RealLayers& rs3, RealLayers& coef_b13, RealLayers& ak_s1,
             RealLayers& xmu_s1, RealLayers& ak_s3, RealLayers& xmu_s3, RealLayers& ak_air,
             RealLayers& xmu_air, int& model, double& h, IntLayers& nl) {
  static LineSource deck;
  open_stdin_source(deck);
  Unit& out = std_out();

  // Head lines. Sizes are checked as they are read: the tables hold at most
  // 60 by 60 cells and 2 layers.
  freq = head_real(deck, "freq", "freq (line 1)");
  require_positive(deck, deck.line_no, "freq", freq,
                   "the plane waves divide by omega = 2 pi freq");
  freq_max = head_real(deck, "freq_max", "freq_max (line 2)");
  const int freq_max_line = deck.line_no;
  n_freq = read_free_int(deck, "n_freq (line 3)");
  // The sweep is logarithmic: its end enters log10 unless it has one point.
  // (An end below freq is a sweep downwards.)
  if (n_freq != 1) {
    require_positive(deck, freq_max_line, "freq_max", freq_max,
                     "the end of a logarithmic sweep; only n_freq = 1 leaves it unused");
  }
  domain_size = head_real(deck, "domain_size", "domain_size (line 4)");
  require_positive(deck, deck.line_no, "domain_size", domain_size,
                   "the extent of the sample along y");
  nx = read_free_int(deck, "nx (line 5)");
  require_range(deck, "nx", nx, 1, kMaxCells);
  ny = read_free_int(deck, "ny (line 6)");
  require_range(deck, "ny", ny, 1, kMaxCells);
  key_model = read_fixed_int(deck, 5, "key_model (line 7)");
  require_range(deck, "key_model", key_model, 0, 1);
  model = read_fixed_int(deck, 5, "model (line 8)");
  require_range(deck, "model", model, 0, 1);
  nmat = read_free_int(deck, "nmat (line 9)");
  require_range(deck, "nmat", nmat, 1, kMaxLayers);

  FreeLine(out) << freq;
  FreeLine(out) << freq_max;
  FreeLine(out) << n_freq;
  FreeLine(out) << domain_size;
  FreeLine(out) << nx;
  FreeLine(out) << ny;
  FreeLine(out) << key_model;
  FreeLine(out) << model;
  FreeLine(out) << nmat;

  for (int i = 1; i <= nmat; ++i) {
    char buf[48];
    nl(i) = read_free_int(deck, layer_name(buf, sizeof buf, "nl", i));
    if (nl(i) < 0) {
      char what[160];
      std::snprintf(what, sizeof what, "nl(%d) = %d: a layer cannot be thinner than 0 cells", i,
                    nl(i));
      source_error(deck, what);
    }
    // What each model consults must hold a usable value; what it does not
    // consult need only be a number.
    const bool ice = key_model == 0;
    const Need ice_positive = ice ? Need::positive : Need::finite;
    // The shaley-sand model takes the grain sizes of layer 1 for every cell;
    // those of layer 2 are read and echoed only.
    const Need sand_size = !ice && i == 1 ? Need::positive : Need::finite;
    akf(i) = layer_real(deck, "akf", i, Need::positive, "the bulk modulus of the pore fluid");
    ro2(i) = layer_real(deck, "ro2", i, Need::positive, "the density of the pore fluid");
    // eta <= 0 is meaningful: no viscous coupling of the shear moduli.
    eta(i) = layer_real(deck, "eta", i);
    ro1(i) = layer_real(deck, "ro1", i, Need::positive, "the density of solid 1");
    ro3(i) = layer_real(deck, "ro3", i, Need::positive, "the density of solid 3");
    phi_a(i) = layer_real(deck, "phi_a", i);
    const int phi_a_line = deck.line_no;
    phi_layer(i) = layer_real(deck, "phi_layer", i);
    // In the ice model the pores not filled with water hold ice: a water
    // proportion reaching the absolute porosity leaves no room for it.
    if (ice && phi_layer(i) >= phi_a(i)) {
      FreeLine(out) << " Ice model, phi_a_m is smaller than phi_layer_m(i) ";
      FreeLine(out) << " ERROR, the code stops ";
      FreeLine(out) << " phi_a_m(i) = " << phi_a(i) << " phi_layer_m(i) = " << phi_layer(i);
      stop(11);
    }
    // The porosities are checked after that test, which has its own stop.
    require(deck, phi_a_line, layer_name(buf, sizeof buf, "phi_a", i), phi_a(i),
            ice ? Need::fraction : Need::finite, "the absolute porosity of the ice model");
    require(deck, deck.line_no, layer_name(buf, sizeof buf, "phi_layer", i), phi_layer(i),
            Need::fraction, "the water proportion of the layer");
    capa_1_0(i) = layer_real(deck, "capa_1_0", i, ice_positive,
                             "the reference permeability of solid 1 in the ice model");
    capa_3_0(i) = layer_real(deck, "capa_3_0", i, ice_positive,
                             "the reference permeability of solid 3 in the ice model");
    s3(i) = layer_real(deck, "s3", i, ice ? Need::finite : Need::fraction,
                       "the shale proportion of the solid");
    rs1(i) = layer_real(deck, "rs1", i, sand_size,
                        "the grain size of solid 1 in the shaley-sand model");
    rs3(i) = layer_real(deck, "rs3", i, sand_size,
                        "the grain size of solid 3 in the shaley-sand model");
    coef_b13(i) = layer_real(deck, "coef_b13", i);
    // Zero moduli of the pore inclusions are meaningful: empty pores.
    ak_air(i) = layer_real(deck, "ak_air", i);
    xmu_air(i) = layer_real(deck, "xmu_air", i);
    ak_s1(i) = layer_real(deck, "ak_s1", i, Need::positive, "the grain bulk modulus of solid 1");
    xmu_s1(i) =
        layer_real(deck, "xmu_s1", i, Need::positive, "the grain shear modulus of solid 1");
    ak_s3(i) = layer_real(deck, "ak_s3", i, Need::positive, "the grain bulk modulus of solid 3");
    xmu_s3(i) =
        layer_real(deck, "xmu_s3", i, Need::positive, "the grain shear modulus of solid 3");
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
    echo_layer(i, nl, akf, ro2, eta, ro1, ro3, phi_a, phi_layer, capa_1_0, capa_3_0, s3, rs1,
               rs3, coef_b13, ak_air, xmu_air, ak_s1, xmu_s1, ak_s3, xmu_s3);
  }
  FreeLine(out) << " model (=0,layered,=1,fractal  = " << model;
  empty_line(out);

  h = domain_size / ny;
  FreeLine(out) << " mesh size h " << h;
}

}  // namespace tp
