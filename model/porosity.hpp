#pragma once
#include "common/input.hpp"
#include "common/structures.hpp"

namespace tp {

// Porosity (water volume fraction) of every cell for the deck's model 0:
// rows k <= ny/2 take phi_layer(1), the rows above phi_layer(2). Model 1
// keeps the field read from "porosity.frac" by read_porosity_file; other
// models leave phi as it is.
void porosity(const Deck& d, Sample& s);

// For model 1, reads "porosity.frac" into s.phi: one value per line (first
// 12 columns, e12.4), x index fastest. A missing or short file, or a line
// that is not a porosity between 0 and 1, ends the run with a message naming
// the file and line. Other models read nothing.
void read_porosity_file(const Deck& d, Sample& s);

// Where a porosity file's value lies on its line: in the first 12 columns
// (e12.4, the legacy form: a wider value is cut), or the whole first item,
// however wide (a keyword deck's run: NumPy's savetxt writes 24 columns).
enum class PorosityColumns { first_12, whole_item };

// Reads the porosity field of the nx by ny grid from the file at `path`, in
// the form of "porosity.frac"; a missing, short or bad file ends the run with
// a message naming it and the line.
void porosity_from_file(const char* path, const int& nx, const int& ny, RealField& phi,
                        PorosityColumns columns = PorosityColumns::first_12);

// Reads the next nx*ny lines of `frac` into phi(j, k), x index fastest, each
// from its columns (4 implied decimals for digits without a point). Ends the
// run, naming the source and line, when the source ends early or a line is
// not a number in 0..1; when the value ran past the 12 columns read, the
// message says so.
void read_porosity_field(LineSource& frac, const int& nx, const int& ny, RealField& phi,
                         PorosityColumns columns = PorosityColumns::first_12);

}  // namespace tp
