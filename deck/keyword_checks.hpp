#pragma once
// What a keyword deck's run uses of the values the deck gives, and the
// warnings of the rest: in a keyword deck every value either shapes the run
// or draws a warning naming its line and key.
#include "common/structures.hpp"
#include "common/warnings.hpp"
#include "deck/deck_record.hpp"
#include "deck/keyword_deck.hpp"

namespace tp {

// Sets e.used for every value of the keyword deck's record r (the values
// the deck gives, with their lines) as d and its plan use them:
//  - freq_max and n_freq never (a run computes freq alone; a curve is the
//    plan's frequencies): they are the deck's own sweep, of the sweep tools,
//    and draw no warning;
//  - layer 2 only with materials = "layered" (with a porosity "by_layer"
//    also nl(2), and phi_layer(2) when [run] gives no water proportion);
//  - nl only with layered materials or a porosity by layer;
//  - phi_layer only when no [run] water_proportion is given and the porosity
//    is not one constant;
//  - the values the rock-physics model does not consult (model_consults).
void mark_keyword_use(const Deck& d, const RunPlan& plan, DeckRecord& r);

// After mark_keyword_use: the range warnings of the used values, then one
// warning per layer and reason for the values not used that say something
// the run does not do (not the sweep's, not what the model never consults
// nor a thickness nothing follows, which the converters write; layer 2's
// grain sizes when they differ from layer 1's; a phi_layer only
// when it differs from the water proportion the run gives its layer), and a
// [run] water_proportion that differs from a constant porosity.
void keyword_warnings(const Deck& d, const RunPlan& plan, const DeckRecord& r, Warnings& out);

}  // namespace tp
