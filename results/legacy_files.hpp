#pragma once
// The legacy result files of a run: the result tables, the strain, stress
// and pressure maps and the solid-3 records, with the report lines of the
// finite-element moduli. The files are listed once, in kResultFileTable:
// the writers here, the material map of the driver and the arrays of
// results/run_outputs.cpp take their names, contents and units from it.
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

// Every legacy result file, in the order the run creates them: those of
// ResultFiles (open_result_files), then the material map the driver writes
// first of all (matnum_p33 values alone, matnum_p33_gnu as "j k value").
enum class ResultFile {
  vp_anal,
  vp_eq,
  q_eq,
  q_anal,
  pressure,
  grad_pressure,
  re_strain1,
  im_strain1,
  re_strain3,
  im_strain3,
  re_stress,
  im_stress,
  solid3,
  matnum,
  matnum_gnu,
  count
};

struct ResultFileInfo {
  ResultFile id;
  const char* file;
  const char* holds;          // a map's text is also its quantity in results.json
  const char* unit;           // of the values (of the second column of a table)
  Unit ResultFiles::*member;  // the unit that writes it; nullptr: the driver's
};

constexpr int kResultFileCount = static_cast<int>(ResultFile::count);

inline constexpr ResultFileInfo kResultFileTable[kResultFileCount] = {
    {ResultFile::vp_anal, "vp_anal.phiw",
     "water proportion, closed-form velocity of the fast P wave; a line per case", "m/s",
     &ResultFiles::vp_anal},
    {ResultFile::vp_eq, "vp_eq.phiw", "water proportion, velocity from c33; a line per case", "m/s",
     &ResultFiles::vp_eq},
    {ResultFile::q_eq, "1000_over_q_eq.phiw", "water proportion, 1000/Q from c33; a line per case",
     "1", &ResultFiles::q_eq},
    {ResultFile::q_anal, "1000_over_q_anal.phiw",
     "frequency, closed-form 1000/Q of the fast P wave; a line per case", "1",
     &ResultFiles::q_anal},
    {ResultFile::pressure, "mod_pressure_p33_ice", "modulus of the fluid pressure", "Pa",
     &ResultFiles::pressure},
    {ResultFile::grad_pressure, "mod_grad_pressure_p33_ice",
     "size of the fluid-pressure gradient (real x part, imaginary y part)", "Pa/m",
     &ResultFiles::grad_pressure},
    {ResultFile::re_strain1, "real_strain1_map", "vertical strain of solid 1, real part", "1",
     &ResultFiles::re_strain1},
    {ResultFile::im_strain1, "imag_strain1_map", "vertical strain of solid 1, imaginary part", "1",
     &ResultFiles::im_strain1},
    {ResultFile::re_strain3, "real_strain3_map", "vertical strain of solid 3, real part", "1",
     &ResultFiles::re_strain3},
    {ResultFile::im_strain3, "imag_strain3_map", "vertical strain of solid 3, imaginary part", "1",
     &ResultFiles::im_strain3},
    {ResultFile::re_stress, "real_stress_map",
     "vertical partial stress of solid 1 (legacy compressibility test), real part", "Pa",
     &ResultFiles::re_stress},
    {ResultFile::im_stress, "imag_stress_map",
     "vertical partial stress of solid 1 (legacy compressibility test), imaginary part", "Pa",
     &ResultFiles::im_stress},
    {ResultFile::solid3, "mstar3_solid3",
     "the modulus mstar3 seen from the top of solid 3: frequency and Q, then frequency, real and "
     "imaginary part",
     "Pa", &ResultFiles::solid3},
    {ResultFile::matnum, "matnum_p33", "material number", "1", nullptr},
    {ResultFile::matnum_gnu, "matnum_p33_gnu", "material number", "1", nullptr},
};

// The row of result file f.
constexpr const ResultFileInfo& result_file(ResultFile f) {
  return kResultFileTable[static_cast<int>(f)];
}

namespace result_file_table_checks {
constexpr bool rows_in_order() {
  for (int i = 0; i < kResultFileCount; ++i) {
    if (static_cast<int>(kResultFileTable[i].id) != i) return false;
  }
  return true;
}
static_assert(rows_in_order(), "the row of each result file stands at its number");
}  // namespace result_file_table_checks

// Creates (or empties) every file of ResultFiles, in the table's order.
void open_result_files(ResultFiles& files);

// Prints the results' report lines and writes every result line and file:
// the strain, stress and pressure maps, the result tables and the solid-3
// records.
void write_results(const SampleState& s, const Results& r, ResultFiles& files);

}  // namespace tp
