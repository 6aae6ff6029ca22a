#pragma once
// The modern outputs of a `run`: results.json and maps/*.npy, written in
// the output directory (the run's staging folder) from the run's tables.
#include "common/stage_clock.hpp"
#include "common/structures.hpp"
#include "common/warnings.hpp"
#include "deck/deck_record.hpp"
#include "fem/effective_moduli.hpp"
#include "fem/plate_tests.hpp"
#include "planewave/diffusion.hpp"
#include "results/results_json.hpp"

namespace tp {

// The run's tables and scalars at its end, by reference.
struct RunView {
  const Deck& deck;
  const DeckRecord& record;  // how each deck value was read
  const Sample& sample;      // grid, material and water proportion of each cell
  const Coefficients& co;
  const Results& results;
  const System& sys;
  double omega, rob_med;
  int neq;
  const StageClock& clock;
  const Warnings& warnings;
  const char* deck_path;  // the deck's file
  const char* solver;     // the sparse solver that ran: "own" or "mumps"
  const char* deck_name;  // the deck as results.json names it: the user's, when deck_path is a copy
  const CellField<cplx>* plate_stress;  // the vertical plate test's total stress, or null
  double water_proportion;              // layer 1's as the run's plan gives it (the .phiw tables')
};

// Keeps in r the first cell's coefficients, the five plane waves of the
// report's cell, and those of the coefficients averaged over the cells of
// the sample s, from the coefficients of the run's frequency. false when
// the memory of the averaged medium is not there.
bool capture_closed_form(const Sample& s, const Coefficients& co, double omega, RunResults& r);

// Keeps in r the sample's stiffness from the plate tests (C11, C55 and the
// waves at every angle when full) with its wave properties at density rho.
void capture_effective(const SampleStiffness& c, double rho, bool full, RunResults& r);

// Keeps in r the shortest diffusion length of the sample against the grid.
void capture_diffusion(const DiffusionScale& s, RunResults& r);

// Completes r from the run's end and writes results.json and maps/; a file
// that cannot be written ends the run (output_error).
void write_run_outputs(const RunView& v, RunResults& r);

}  // namespace tp
