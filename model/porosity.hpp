#pragma once
#include "common/input.hpp"
#include "common/tables.hpp"

namespace tp {

// Porosity (water volume fraction) of every cell. model 0: rows k <= ny/2
// take phi_layer(1), the rows above phi_layer(2). model 1: one value per line
// of "porosity.frac" (first 12 columns, e12.4), x index fastest; the file is
// opened on the first call and later calls read on. Other models leave phi
// as it is. A missing or short file, or a line that is not a porosity
// between 0 and 1, ends the run with a message naming the file and line.
void porosity(const int& nx, const int& ny, const RealLayers& phi_layer, const int& model,
              RealField& phi);

// Reads the next nx*ny lines of `frac` into phi(j, k), x index fastest, each
// from its first 12 columns (e12.4). Ends the run, naming the source and
// line, when the source ends early or a line is not a number in 0..1.
void read_porosity_field(LineSource& frac, const int& nx, const int& ny, RealField& phi);

}  // namespace tp
