#pragma once
#include "common/tables.hpp"

namespace tp {

// Porosity (water volume fraction) of every cell. model 0: rows k <= ny/2
// take phi_layer(1), the rows above phi_layer(2). model 1: one value per line
// of "porosity.frac" (first 12 columns, e12.4), x index fastest; the file is
// opened on the first call and later calls read on. Other models leave phi
// as it is. A missing or short file, or a line that is not a number, ends the
// run with a message naming the file and line.
void porosity(const int& nx, const int& ny, const RealLayers& phi_layer, const int& model,
              RealField& phi);

}  // namespace tp
