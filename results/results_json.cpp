#include "results/results_json.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "fem/effective_waves.hpp"

namespace tp {

using Json = nlohmann::ordered_json;

PlaneWave plane_wave(const char* label, const cplx& z) {
  PlaneWave w;
  w.legacy_label = label;
  w.slowness = z;
  w.velocity = 1.0 / z.real();
  // M is proportional to 1/z^2: (a - ib)^2 / |z|^4 for z = a + ib.
  const double a = z.real(), b = z.imag();
  w.q = (a * a - b * b) / (-2.0 * a * b);
  w.q1000 = 1000.0 / w.q;
  w.legacy_q = std::fabs(a / b);
  w.legacy_q1000 = 1000.0 / w.legacy_q;
  return w;
}

namespace {

// JSON has no NaN or infinity: they become null.
Json number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

Json with_unit(double v, const char* unit) { return Json{{"value", number(v)}, {"unit", unit}}; }

Json complex_pair(const cplx& z) { return Json::array({number(z.real()), number(z.imag())}); }

Json deck_values(const DeckRecord& d) {
  Json values = Json::object();
  for (int i = 0; i < d.n; ++i) {
    const DeckEntry& e = d.e[i];
    values[e.name] = Json{
        {"value", number(e.value)},      {"unit", e.unit},       {"line", e.line}, {"text", e.text},
        {"implied_decimals", e.implied}, {"used_by_run", e.used}};
  }
  return values;
}

Json wave_json(const PlaneWave& w, int rank) {
  return Json{{"rank", rank},
              {"legacy_label", w.legacy_label},
              {"velocity_m_per_s", number(w.velocity)},
              {"q", number(w.q)},
              {"q_inverse_times_1000", number(w.q1000)},
              {"legacy_q_abs_re_over_im_slowness", number(w.legacy_q)},
              {"legacy_1000_over_q_abs_re_over_im_slowness", number(w.legacy_q1000)},
              {"slowness_s_per_m", complex_pair(w.slowness)}};
}

Json modulus_json(const ModulusResult& m, const char* what) {
  return Json{{"measures", what},
              {"modulus_pa", complex_pair(m.modulus)},
              {"velocity_m_per_s", number(m.velocity)},
              {"q", number(m.q)},
              {"q_inverse_times_1000", number(m.q1000)}};
}

// The conventions of the modern face, said once.
constexpr const char* kTimeConvention = "exp(+i omega t)";

Json stiffness_json(const ModulusResult& m) {
  return Json{{"modulus_pa", complex_pair(m.modulus)},
              {"velocity_m_per_s", number(m.velocity)},
              {"q", number(m.q)},
              {"q_inverse_times_1000", number(m.q1000)}};
}

Json effective_json(const EffectiveRecord& e) {
  Json stiffness = {{"c33", stiffness_json(e.c33)}};
  if (e.full) {
    stiffness["c11"] = stiffness_json(e.c11);
    stiffness["c13"] = {{"modulus_pa", complex_pair(e.c13)},
                        {"modulus_pa_from_horizontal_test", complex_pair(e.c13_horizontal)}};
    stiffness["c55"] = stiffness_json(e.c55);
  } else {
    stiffness["c13"] = {{"modulus_pa", complex_pair(e.c13)}};
  }
  Json j = {{"time_convention", kTimeConvention},
            {"q_definition", "Q = Re C / Im C; velocity 1 / Re(1 / sqrt(C / rho))"},
            {"tests",
             e.full ? "rigid-plate relaxation tests: vertical (C33, C13), horizontal (C11, C13), "
                      "simple shear (C55)"
                    : "rigid-plate relaxation test: vertical (C33, C13)"},
            {"density_kg_per_m3", number(e.density)},
            {"stiffness", stiffness}};
  if (e.full) {
    Json angles = Json::array();
    for (const EffectiveAngle& a : e.angles) {
      angles.push_back({{"angle_degrees", a.angle_degrees},
                        {"qp",
                         {{"velocity_m_per_s", number(a.qp_velocity)},
                          {"q_inverse_times_1000", number(a.qp_q1000)}}},
                        {"qsv",
                         {{"velocity_m_per_s", number(a.qsv_velocity)},
                          {"q_inverse_times_1000", number(a.qsv_q1000)}}}});
    }
    j["angles"] = angles;
  }
  return j;
}

// The moduli of one stiffness of every point, with their waves.
using StiffnessOf = cplx (*)(const SampleStiffness&);
cplx c33_of(const SampleStiffness& c) { return c.c33; }
cplx c11_of(const SampleStiffness& c) { return c.c11; }
cplx c55_of(const SampleStiffness& c) { return c.c55; }

struct CurveColumn {
  const char* name;
  StiffnessOf of;
};
constexpr CurveColumn kCurveColumns[] = {{"c33", c33_of}, {"c11", c11_of}, {"c55", c55_of}};

int curve_columns(const Curve& c) { return c.full ? 3 : 1; }

Json curves_json(const Curve& curve, double rho) {
  Json j;
  Json f = Json::array(), across = Json::array(), resolved = Json::array();
  for (const CurvePoint& p : curve.points) {
    f.push_back(p.frequency);
    across.push_back(number(p.cells_across));
    resolved.push_back(p.resolved);
  }
  j["frequency_hz"] = f;
  for (int m = 0; m < curve_columns(curve); ++m) {
    Json moduli = Json::array(), v = Json::array(), q = Json::array();
    for (const CurvePoint& p : curve.points) {
      const cplx c = kCurveColumns[m].of(p.c);
      const EffectiveWave w = wave_of_modulus(c, rho);
      moduli.push_back(complex_pair(c));
      v.push_back(number(w.velocity));
      q.push_back(number(w.thousand_over_q));
    }
    j[kCurveColumns[m].name] = {
        {"modulus_pa", moduli}, {"velocity_m_per_s", v}, {"q_inverse_times_1000", q}};
  }
  j["cells_across_diffusion_length"] = across;
  j["resolved"] = resolved;
  j["threads"] = curve.threads;
  j["analyses"] = curve.analyses;
  return j;
}

Json bounds_json(const Curve& curve) {
  Json j = Json::object();
  for (int m = 0; m < curve_columns(curve); ++m) {
    j[kCurveColumns[m].name] = {
        {"relaxed_pa", number(kCurveColumns[m].of(curve.bounds.relaxed).real())},
        {"unrelaxed_pa", number(kCurveColumns[m].of(curve.bounds.unrelaxed).real())}};
  }
  return j;
}

// The five closed-form waves, fastest first within P and within S.
Json waves_json(const PlaneWave* pw, const PlaneWave* sw) {
  Json p = Json::array(), s = Json::array();
  for (int i = 0; i < 3; ++i) p.push_back(wave_json(pw[i], i + 1));
  for (int i = 0; i < 2; ++i) s.push_back(wave_json(sw[i], i + 1));
  return Json{{"q_definition",
               "1/Q = Im M / Re M with M proportional to 1/z^2 (z the complex slowness), the "
               "definition of the finite-element moduli; the legacy report and result tables "
               "give |Re z / Im z|, about twice Q at low loss"},
              {"order", "fastest first within the compressional and within the shear waves"},
              {"compressional", p},
              {"shear", s}};
}

Json build(const RunResults& r) {
  Json j;
  j["format"] = "threephase-results";
  j["format_version"] = 1;
  j["program"] = {{"name", "threephase"},
                  {"version", r.version},
                  {"compiler", r.compiler},
                  {"build_options", r.build_options}};
  j["deck"] = {{"path", r.deck_path}, {"sha256", r.deck_sha256}, {"values", deck_values(*r.deck)}};
  j["grid"] = {{"nx", r.nx},
               {"ny", r.ny},
               {"cell_size", with_unit(r.cell_size, "m")},
               {"width", with_unit(r.cell_size * r.nx, "m")},
               {"height", with_unit(r.cell_size * r.ny, "m")}};
  j["case"] = {{"frequency", with_unit(r.frequency, "Hz")},
               {"angular_frequency", with_unit(r.omega, "rad/s")},
               {"water_proportion", with_unit(r.water_proportion, "1")},
               {"average_density", with_unit(r.average_density, "kg/m3")}};
  Json first = {{"cell", {1, 1}}};
  for (int i = 0; i < r.n_first_cell; ++i) {
    first[r.first_cell[i].name] = with_unit(r.first_cell[i].value, r.first_cell[i].unit);
  }
  first["elastic_form"] = r.elastic_form;
  j["first_cell_coefficients"] = first;
  j["plane_waves"] = waves_json(r.p, r.s);
  j["plane_waves"]["cell"] = {r.wave_cell_j, r.wave_cell_k};
  j["plane_waves_average_medium"] = waves_json(r.average_p, r.average_s);
  j["plane_waves_average_medium"]["averaging"] =
      "every coefficient (elastic, mass, friction) averaged over the cells, the closed-form "
      "waves of that one medium: a reference of the whole sample, not its finite-element "
      "stiffness";
  if (r.effective.present) {
    j["effective"] = effective_json(r.effective);
    j["effective"]["elastic_form"] = r.elastic_form;
  }
  if (r.curve != nullptr) {
    j["curves"] = curves_json(*r.curve, r.effective.density);
    j["bounds"] = bounds_json(*r.curve);
  }
  j["finite_element"] = {
      {"test",
       "the legacy compressibility test (a unit stress on the top of each solid); its "
       "moduli are the legacy report's, not the sample's stiffness (see effective)"},
      {"mstar", modulus_json(r.mstar, "unit load over the top displacement of solid 1")},
      {"c33", modulus_json(r.c33,
                           "average vertical stress over average vertical strain of "
                           "solid 1")},
      {"mstar3", modulus_json(r.mstar3, "unit load over the top displacement of solid 3")}};
  const DiffusionRecord& dl = r.diffusion;
  j["diffusion"] = {{"measures",
                     "decay length 1/(omega Im z) of the slowest compressional wave, the "
                     "thickness of the boundary layers of wave-induced flow"},
                    {"shortest_length", with_unit(dl.length, "m")},
                    {"cell", {dl.j, dl.k}},
                    {"cells_across", number(dl.cells_across)},
                    {"threshold_cells", number(dl.threshold)},
                    {"resolved", dl.resolved},
                    {"grid_that_resolves_it",
                     dl.beyond ? Json(nullptr) : Json{{"nx", dl.nx_needed}, {"ny", dl.ny_needed}}},
                    {"beyond_the_largest_grid", dl.beyond}};
  // The own solver counts its factors' entries; MUMPS's are not taken (null).
  const bool counted = r.factor_entries > 0;
  j["system"] = {{"unknowns", r.unknowns},
                 {"matrix_entries", r.matrix_entries},
                 {"factor_entries", counted ? Json(r.factor_entries) : Json(nullptr)},
                 {"fill_ratio", counted ? number(static_cast<double>(r.factor_entries) /
                                                 static_cast<double>(r.matrix_entries))
                                        : Json(nullptr)},
                 {"solver", r.solver}};
  Json t = Json::object();
  for (int i = 0; i < r.n_timings; ++i) t[r.timings[i].name] = number(r.timings[i].value);
  j["timings_wall_s"] = t;
  Json w = Json::array();
  for (int i = 0; i < r.warnings->n; ++i) w.push_back(r.warnings->w[i]);
  j["warnings"] = w;
  Json files = Json::array();
  for (int i = 0; i < r.n_maps; ++i) {
    const MapFile& m = r.maps[i];
    files.push_back({{"name", m.name},
                     {"file", std::string("maps/") + m.name + ".npy"},
                     {"quantity", m.quantity},
                     {"unit", m.unit}});
  }
  j["maps"] = {{"format", "npy, float64, little-endian"},
               {"shape", {r.ny, r.nx}},
               {"orientation",
                "array[k-1, j-1] is cell (j, k): row = y index from the bottom, column = x "
                "index from the left"},
               {"files", files}};
  return j;
}

}  // namespace

// A short text sits whole in the stream's buffer: only the flush at the
// close meets a full disk, so the close's status is the write's.
bool write_text_file(const char* path, const std::string& text) {
  std::FILE* f = std::fopen(path, "w");
  if (f == nullptr) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fflush(f) == 0 && ok;
  const int err = errno;
  if (std::fclose(f) != 0) return false;
  errno = err;
  return ok;
}

bool write_curves_csv(const char* path, const Curve& curve, double density) {
  std::string text = "frequency_hz";
  for (int m = 0; m < curve_columns(curve); ++m) {
    const std::string c = kCurveColumns[m].name;
    text += "," + c + "_real_pa," + c + "_imag_pa," + c + "_velocity_m_per_s," + c +
            "_1000_over_q(=1000*Im/Re)";
  }
  text += ",cells_across_diffusion_length,resolved\n";
  char field[64];
  auto put = [&](double v) {
    std::snprintf(field, sizeof field, ",%.17g", v);
    text += field;
  };
  for (const CurvePoint& p : curve.points) {
    std::snprintf(field, sizeof field, "%.17g", p.frequency);
    text += field;
    for (int m = 0; m < curve_columns(curve); ++m) {
      const cplx c = kCurveColumns[m].of(p.c);
      const EffectiveWave w = wave_of_modulus(c, density);
      put(c.real());
      put(c.imag());
      put(w.velocity);
      put(w.thousand_over_q);
    }
    put(p.cells_across);
    text += p.resolved ? ",true\n" : ",false\n";
  }
  return write_text_file(path, text);
}

bool write_results_json(const char* path, const RunResults& r) {
  return write_text_file(path, build(r).dump(2) + "\n");
}

}  // namespace tp
