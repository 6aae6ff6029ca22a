#pragma once
// Checks of a legacy deck that warn rather than refuse: what the reader took
// from the text may not be what the user meant, or the run ignores it.
#include "common/warnings.hpp"
#include "deck/deck_record.hpp"

namespace tp {

// The water proportion every cell of a run is given, whatever the deck says.
constexpr double kRunWaterProportion = 0.1;

// Adds to `out`, naming the deck line of each value:
//  - a fixed field written without a decimal point, read with implied
//    decimals (and what to write to mean the digits as written);
//  - a value the run uses that lies far outside the physical range of its
//    quantity (beyond a factor 10 of the field table's typical span);
//  - values the run does not use: a phi_layer other than the water
//    proportion the run gives every cell, and layer 2 when every cell is
//    material 1.
void deck_warnings(const DeckRecord& r, Warnings& out);  // after mark_used_values

// Warns of every used value of r that lies far outside the physical range
// of its quantity, naming its line and key (both deck forms).
void range_warnings(const DeckRecord& r, Warnings& out);

// True when the rock-physics model key_model consults the per-layer value
// `name` ("rs1" or "rs1(2)") of layer `layer`: phi_a and the reference
// permeabilities only the permafrost model, s3 only the shaley-sand model,
// and the grain sizes rs1, rs3 only the shaley-sand model's layer 1.
bool model_consults(const char* name, int key_model, int layer);

// Sets e.used for every entry: the head values, and layer 1's values that
// the model consults (not phi_layer: every cell gets the water proportion
// kRunWaterProportion; nor the layer thicknesses: every cell is material 1).
void mark_used_values(DeckRecord& r);

}  // namespace tp
