// Volume fractions of a cell, their checks and the report lines that show
// them; the reference-file echo of the rock-physics routines.
#include "rockphysics/fractions.hpp"

#include <cmath>
#include <cstdio>

#include "common/output.hpp"
#include "common/stop.hpp"

namespace tp {

namespace {

// A zero fraction turns the moduli and the permeabilities into infinities
// or NaN (Kav, g1, g3, B1, B2, the tortuosities and f22 divide by them), so
// the deck is refused here, naming the cell, rather than run on garbage.
void refuse_zero_fraction(const char* routine, const int& j, const int& k, const char* name,
                          const double& value) {
  if (value != 0.0) return;
  char where[96];
  std::snprintf(where, sizeof where, "%s, cell (j, k) = (%d, %d)", routine, j, k);
  char what[160];
  std::snprintf(what, sizeof what, "the %s is zero; the coefficients of the cell divide by it",
                name);
  input_error(where, what);
}

}  // namespace

void cell_fractions(const int& key_model, const int& j, const int& k, const double& phi_a,
                    const double& phi, const double& s3_layer, const char* routine,
                    CellFractions& f) {
  f.phi = phi;
  if (key_model == 0) {
    // Permafrost: the absolute porosity phi_a holds water and ice.
    f.phi1 = 1.0 - phi_a;
    f.phi3 = phi_a - phi;
    if (!(f.phi3 > 0.0 && f.phi3 < 1.0)) stop(45678);
  } else {
    // Shaley sand: shale is a fixed share of the solid.
    f.s3 = s3_layer;
    f.s1 = 1.0 - f.s3;
    f.phi1 = f.s1 * (1.0 - phi);
    f.phi3 = f.s3 * (1.0 - phi);
  }
  refuse_zero_fraction(routine, j, k, "water fraction phi", phi);
  refuse_zero_fraction(routine, j, k, "bulk solid 1 fraction phi1", f.phi1);
  refuse_zero_fraction(routine, j, k, "bulk solid 3 fraction phi3", f.phi3);
  if (key_model == 0) {
    f.s3 = f.phi3 / (1.0 - phi);
    f.s1 = 1.0 - f.s3;
    f.s3_prima = f.phi3 / (1.0 - f.phi1);
    f.sw = phi / phi_a;
    f.control = f.phi1 + phi + f.phi3;
  } else {
    f.control = f.phi3 + f.phi1 + phi;
  }
}

void check_control(const CellFractions& f) {
  if (std::fabs(f.control - 1.0) >= 1e-15) stop(555);
}

void print_fraction_block(const CellFractions& f, const char* phi1_label, const char* s1_label) {
  Unit& out = std_out();
  FmtLine(out) << "porosity (water proportion)  =" << g_edit(f.phi, 10, 5);
  empty_line(out);
  FmtLine(out) << phi1_label << g_edit(f.phi1, 10, 5);
  FmtLine(out) << "bulk solid 3 fraction phi3   =" << g_edit(f.phi3, 10, 5);
  FmtLine(out) << s1_label << g_edit(f.s1, 10, 5);
  FmtLine(out) << "solid 3 matrix fraction s3   =" << g_edit(f.s3, 10, 5);
  empty_line(out);
}

void print_asterisk_lines() {
  FreeLine(std_out()) << "************************** ";
  FreeLine(std_out()) << "************************** ";
}

void check_key_model(const int& key_model, const char* routine) {
  if (key_model == 0 || key_model == 1) return;
  char what[160];
  std::snprintf(what, sizeof what,
                "key_model = %d names no rock-physics model (0 permafrost, 1 shaley sand)",
                key_model);
  input_error(routine, what);
}

void open_reference(LineSource& src, const char* name) {
  // A later first case (only tests make one) reads the file afresh.
  if (src.f != nullptr) std::fclose(src.f);
  src.f = nullptr;
  open_file_source(src, name);
}

void echo_reference_values(LineSource& src, const char* const* what, const int& n) {
  for (int i = 0; i < n; ++i) {
    const double v = read_free_real(src, what[i]);
    FreeLine(std_out()) << v;
  }
}

}  // namespace tp
