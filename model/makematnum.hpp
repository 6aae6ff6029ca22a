#pragma once
#include "common/tables.hpp"

namespace tp {

// Periodic stack of two horizontal layers over ny rows: in each period
// nl(1) rows of material 1 lie below nl(2) rows of material 2. Prints the
// geometry, fills layer_size (metres) and the rows of matnum covered by whole
// periods; rows of an incomplete last period are left as they are.
void makematnum(const int& nx, const int& ny, const IntLayers& nl, RealLayers& layer_size,
                const double& h, IntField& matnum);

}  // namespace tp
