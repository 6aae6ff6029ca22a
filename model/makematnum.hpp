#pragma once
#include "common/structures.hpp"

namespace tp {

// Periodic stack of two horizontal layers over ny rows: in each period
// nl(1) rows of material 1 lie below nl(2) rows of material 2. Fills
// d.layer_size (metres) and the rows of s.matnum covered by whole periods
// (rows of an incomplete last period are left as they are); returns the
// number of whole periods.
int makematnum(Deck& d, Sample& s);

}  // namespace tp
