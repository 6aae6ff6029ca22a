#include "model/porosity.hpp"

#include <cstdio>

#include "common/input.hpp"

namespace tp {

// Layered rows; the file's values were read at the start of the run.
void porosity(const Deck& d, Sample& s) {
  if (d.model != 0) return;
  const int nx = s.grid.nx, ny = s.grid.ny;
  const int half = ny / 2;
  for (int k = 1; k <= ny; ++k) {
    const double value = k <= half ? d.phi_layer(1) : d.phi_layer(2);
    for (int j = 1; j <= nx; ++j) s.phi(j, k) = value;
  }
}

void read_porosity_file(const Deck& d, Sample& s) {
  if (d.model != 1) return;
  porosity_from_file("porosity.frac", s.grid.nx, s.grid.ny, s.phi);
}

void porosity_from_file(const char* path, const int& nx, const int& ny, RealField& phi,
                        PorosityColumns columns) {
  LineSource frac;
  open_file_source(frac, path);
  // A value a line: a file far longer than its cells' lines is not the
  // porosity field (a device image, a file of zeros), and is not read to
  // its end.
  frac.max_bytes = static_cast<long long>(nx) * ny * kGenerousLineBytes + kGenerousLineBytes;
  read_porosity_field(frac, nx, ny, phi, columns);
  std::fclose(frac.f);
}

namespace {

// Columns of a porosity value in the legacy form (e12.4).
constexpr int kPorosityColumns = 12;

// What a refused value cut at column 12 was: the whole item, past the
// columns read ("" when the value lay within them).
void cut_value_note(const char* line, char* note, int cap) {
  note[0] = '\0';
  const int end = item_end(line);
  if (end <= kPorosityColumns || line[kPorosityColumns - 1] == ' ') return;
  int start = 0;
  while (line[start] == ' ' || line[start] == '\t') ++start;
  std::snprintf(note, static_cast<std::size_t>(cap),
                "; the value \"%.*s\" runs past column 12 and only columns 1-12 are read: "
                "write each value within 12 columns (e12.4), or name the file in a keyword "
                "deck, whose run reads the whole value",
                end - start, line + start);
}

}  // namespace

// One value per line, checked to be a water fraction.
void read_porosity_field(LineSource& frac, const int& nx, const int& ny, RealField& phi,
                         PorosityColumns columns) {
  const bool whole = columns == PorosityColumns::whole_item;
  for (int k = 1; k <= ny; ++k) {
    for (int j = 1; j <= nx; ++j) {
      char what[64];
      std::snprintf(what, sizeof what, "the porosity of cell (%d, %d)", j, k);
      const double v =
          whole ? read_item_real(frac, 4, what) : read_fixed_real(frac, kPorosityColumns, 4, what);
      // A water fraction: outside 0..1 (or NaN) no volume fractions of the
      // cell exist. The edges themselves are left to the rock-physics
      // routines, which name the fraction that vanishes.
      if (!(v >= 0.0 && v <= 1.0)) {
        char note[400], msg[600];
        cut_value_note(frac.line, note, sizeof note);
        if (whole) note[0] = '\0';
        std::snprintf(msg, sizeof msg, "%s = %.10g is not a porosity between 0 and 1%s", what, v,
                      note);
        source_error(frac, msg);
      }
      phi(j, k) = v;
    }
  }
}

}  // namespace tp
