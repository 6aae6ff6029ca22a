#pragma once
#include "common/structures.hpp"

namespace tp {

// Periodic stack of two horizontal layers over ny rows: in each period
// nl(1) rows of material 1 lie below nl(2) rows of material 2. Fills the
// rows of s.matnum covered by whole periods (rows of an incomplete last
// period are left as they are); returns the number of whole periods.
int makematnum(const Deck& d, Sample& s);

// Thickness of layer 1 or 2 of the stack (metres): its rows times the cell
// side.
double layer_thickness(const Deck& d, int layer);

// The layer (1 or 2) of row k of the periodic stack: the first nl(1) rows of
// each period of nl(1) + nl(2) rows are layer 1, the rest layer 2, and the
// period goes on through an incomplete last one. nl(1) + nl(2) must be >= 1.
int layer_of_row(const IntLayers& nl, int k);

}  // namespace tp
