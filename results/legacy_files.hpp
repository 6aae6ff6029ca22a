#pragma once
// The legacy result files of a run: the result tables, the strain, stress
// and pressure maps and the solid-3 records, with the report lines of the
// finite-element moduli.
#include "common/output.hpp"
#include "fem/effective_moduli.hpp"

namespace tp {

// The result files of a run, created (or emptied) at its start.
struct ResultFiles {
  Unit vp_anal, vp_eq, q_eq, q_anal;                    // one line per case
  Unit pressure, grad_pressure;                         // pressure maps
  Unit re_strain1, im_strain1, re_strain3, im_strain3;  // strain maps
  Unit re_stress, im_stress;                            // stress maps
  Unit solid3;  // the modulus from the solid-3 top displacement
};

// Name of the file of the two solid-3 records.
constexpr const char* kSolid3File = "mstar3_solid3";

void open_result_files(ResultFiles& files);

// Prints the results' report lines and writes every result line and file:
// the strain, stress and pressure maps, the result tables and the solid-3
// records.
void write_results(const SampleState& s, const Results& r, ResultFiles& files);

}  // namespace tp
