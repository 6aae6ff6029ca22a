#include "driver/finite_checks.hpp"

#include <cmath>

namespace tp {

namespace {

bool finite(const cplx& z) { return std::isfinite(z.real()) && std::isfinite(z.imag()); }
bool finite(double v) { return std::isfinite(v); }
double shown(const cplx& z) { return finite(z.real()) ? z.imag() : z.real(); }
double shown(double v) { return v; }

CellFailure failure(const char* routine, const char* what, int j, int k, double value) {
  CellFailure f;
  f.code = kNonFinite;
  f.routine = routine;
  f.what = what;
  f.j = j;
  f.k = k;
  f.value = value;
  return f;
}

// A named per-cell field.
template <class T>
struct NamedField {
  const char* name;
  const CellField<T>* field;
};

// The first cell of the n fields holding a value that is not finite.
template <class T>
CellFailure first_in_cells(const CellGrid& g, const NamedField<T>* fields, int n,
                           const char* routine) {
  for (int j = 1; j <= g.nx; ++j) {
    for (int k = 1; k <= g.ny; ++k) {
      for (int i = 0; i < n; ++i) {
        const T& v = (*fields[i].field)(j, k);
        if (!finite(v)) return failure(routine, fields[i].name, j, k, shown(v));
      }
    }
  }
  return CellFailure{};
}

}  // namespace

CellFailure non_finite_coefficient(const CellGrid& g, const Coefficients& co) {
  const NamedField<double> fields[] = {
      {"lambda1", &co.lambda1}, {"lambda3", &co.lambda3}, {"mu1", &co.mu1}, {"mu3", &co.mu3},
      {"mu13", &co.mu13},       {"b1", &co.b1},           {"b2", &co.b2},   {"m", &co.m},
      {"d3", &co.d3},           {"p11", &co.p11},         {"p12", &co.p12}, {"p13", &co.p13},
      {"p22", &co.p22},         {"p23", &co.p23},         {"p33", &co.p33}, {"f11", &co.f11},
      {"f12", &co.f12},         {"f22", &co.f22}};
  return first_in_cells(g, fields, 18, "the coefficients");
}

CellFailure non_finite_result(const CellGrid& g, const Results& r) {
  const char* const routine = "the post-processing";
  const struct {
    const char* name;
    cplx value;
  } moduli[] = {{"deltavol1", r.deltavol1},
                {"deltavol3", r.deltavol3},
                {"deltavol", r.deltavol},
                {"mstar", r.mstar},
                {"av_strain", r.av_strain},
                {"av_stress", r.av_stress},
                {"c33", r.c33},
                {"mstar3", r.mstar3}};
  for (const auto& m : moduli) {
    if (!finite(m.value)) return failure(routine, m.name, 0, 0, shown(m.value));
  }
  const struct {
    const char* velocity;
    const char* q1000;
    const WaveProperties& w;
  } waves[] = {{"the velocity of mstar", "1000/Q of mstar", r.w_mstar},
               {"the velocity of c33", "1000/Q of c33", r.w_c33},
               {"the velocity of mstar3", "1000/Q of mstar3", r.w_mstar3}};
  for (const auto& w : waves) {
    if (std::isnan(w.w.v)) return failure(routine, w.velocity, 0, 0, w.w.v);
    if (std::isnan(w.w.q1000) || std::isnan(w.w.q))
      return failure(routine, w.q1000, 0, 0, w.w.q1000);
  }
  const NamedField<cplx> fields[] = {{"strain1", &r.strain1},     {"strain3", &r.strain3},
                                     {"stress", &r.stress},       {"pres", &r.pres},
                                     {"derx_pres", &r.derx_pres}, {"dery_pres", &r.dery_pres}};
  if (CellFailure f = first_in_cells(g, fields, 6, routine)) return f;
  const NamedField<double> grad[] = {{"grad_pres_mod", &r.grad_pres_mod}};
  return first_in_cells(g, grad, 1, routine);
}

}  // namespace tp
