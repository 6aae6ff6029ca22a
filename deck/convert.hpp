#pragma once
// The two forms of a deck written from one Deck: the keyword twin of a legacy
// deck (with the plan the legacy run follows stated in its [run] table), and
// the legacy deck of a keyword deck.
#include <string>
#include <vector>

#include "deck/keyword_deck.hpp"

namespace tp {

// The keyword deck of d and plan, every value under its name with a comment
// saying what it is; reals in their shortest form that reads back exactly.
std::string keyword_deck_text(const Deck& d, const RunPlan& plan);

// The legacy deck of d: 9 head lines and 20 lines per layer, each value with
// its note after column 20; reals written so that the fixed 20-column fields
// read them back exactly. Returns 0, or kInputErrorStatus with err naming a
// value that cannot be written exactly in 20 columns.
int legacy_deck_text(const Deck& d, std::string& text, DeckError& err);

// What the legacy run would do differently from plan, one sentence each:
// the legacy form cannot say it, so a legacy run of the converted deck
// ignores it.
std::vector<std::string> plan_differences(const Deck& d, const RunPlan& plan);

// The text of a real value in a 20-column field of the legacy deck that reads
// back to v exactly, with a decimal point; empty when none fits.
std::string fixed_field_text(double v);

}  // namespace tp
