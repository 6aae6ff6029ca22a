#pragma once
// The keyword deck: a TOML file of `name = value` lines with the names of the
// legacy deck, SI units, one [[layer]] entry per layer, and a [run] table that
// says what the run uses (the material of the cells, the water proportion of
// each layer, the porosity field, the solver, the output folder). The reader
// fills the same Deck the legacy reader fills, plus the RunPlan.
#include <string>
#include <string_view>
#include <vector>

#include "common/structures.hpp"
#include "deck/deck_record.hpp"

namespace tp {

// How the cells get their material number.
enum class Materials {
  uniform,  // every cell is material 1 (the legacy run)
  layered,  // each row of cells takes the material of its layer
};

// Where the water fraction of each cell comes from.
enum class PorositySource {
  constant,  // one value for every cell
  by_layer,  // the water proportion of the cell's layer
  file,      // one value per cell from a file (the fractal model)
};

// The sparse direct solver of the finite-element test.
enum class SolverChoice { automatic, own, mumps };

// What a run uses beyond the deck's values. A legacy deck's plan is fixed
// (legacy_plan); a keyword deck states every part of it.
struct RunPlan {
  Materials materials = Materials::uniform;
  RealLayers water{};  // water(1..nmat): water proportion of each layer
  PorositySource porosity = PorositySource::constant;
  double porosity_value = 0.0;  // the constant porosity
  std::string porosity_file;    // the porosity file as the deck names it
  SolverChoice solver = SolverChoice::automatic;
  std::string output;  // results folder named by the deck; empty when not given
  // The rigid-plate tests of a `run`: the vertical one alone ("vertical",
  // the default: C33, C13) or all three ("full": C11, C13, C33, C55).
  bool full_stiffness = false;
  // The frequencies of a curve (Hz): [run] frequencies = [..] or
  // { from = .., to = .., points = .. } (logarithmic); empty: none.
  std::vector<double> frequencies;
  // The elastic form of the coefficients: [run] elastic_form =
  // "two_dimensional" (the default, the legacy run's) or "plane_strain".
  ElasticForm elastic_form = ElasticForm::two_dimensional;
  // Read from a keyword deck: a first cell with lambda1 or lambda3 <= 0 is a
  // warning when its strain energy is positive definite, not a stop.
  bool lambda_warning_only = false;
  // Read from a keyword deck: the reference files may be absent (the run
  // then takes their built-in values), and the porosity file's values are
  // read whole, however far past column 12 they run.
  bool keyword = false;
  // The line of [run] water_proportion; 0 when the deck does not give it
  // (each layer's water proportion is then its phi_layer, or the constant
  // porosity).
  int water_line = 0;
};

// The plan the legacy run follows whatever its deck says: material 1 in every
// cell, water proportion 0.1 in every layer, and the porosity 0.1 in every
// cell for the layered model (model 0) or porosity.frac for the fractal one.
RunPlan legacy_plan(const Deck& d);

// The smallest share of the solid either solid of the shaley-sand model
// may take in a keyword deck (s3 from it to 1 minus it): at 0 a solid has
// no stiffness, and the run no positive definite medium.
constexpr double kMinSolidShare = 1e-12;

// A reader's refusal: the line (0 when no line applies), the key it concerns
// and the sentence that says what is wrong.
struct DeckError {
  int line = 0;
  std::string key;
  std::string what;
};

// The two forms a deck comes in.
enum class DeckForm { legacy, keyword };

// Tells the forms apart by content: a keyword deck's first line that is not
// blank is a comment, a [table] header or a `name = value` line; a legacy
// deck's first line holds a number (anything else is left to the legacy
// reader, whose message names what it expected). A UTF-8 byte order mark
// before the first line is skipped, here and by the keyword reader.
DeckForm deck_form(std::string_view text);

// Reads the keyword deck `text` (named `name` in messages) into d and plan,
// with every value checked as the legacy reader checks it, and h =
// domain_size / ny. Returns 0, or kInputErrorStatus with err filled (unknown
// key, with the closest known one; missing, repeated or mistyped key, a
// value out of range, a layer count that disagrees, text that is not TOML).
// d and plan are unspecified on failure. With a record, every value the
// deck gives is noted in it with its line.
//
// Optional keys, which take a value that shapes nothing: freq_max (freq)
// and n_freq (1); nmat (the count of [[layer]] tables); a layer's values
// its model does not consult (0); nl (1) unless the materials are layered
// or the porosity is by layer; phi_layer (the water proportion of its
// layer) when [run] water_proportion is given or the porosity is a
// constant; [run] water_proportion (each layer's phi_layer, or the constant
// porosity).
int read_keyword_deck(std::string_view text, Deck& d, RunPlan& plan, DeckError& err,
                      DeckRecord* record = nullptr);

// "NAME, line N" (or NAME alone for line 0): the place part of a message.
std::string error_place(const char* name, const DeckError& err);

}  // namespace tp
