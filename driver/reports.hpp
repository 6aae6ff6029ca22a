#pragma once
// What the run prints of its computing routines: the first-cell reports of
// the coefficients, the plane-wave report, and the stop of a failed check.
#include "common/structures.hpp"
#include "common/warnings.hpp"
#include "planewave/diffusion.hpp"
#include "planewave/veloc_aten.hpp"
#include "rockphysics/e_modulus.hpp"
#include "rockphysics/mass_visco_coef.hpp"

namespace tp {

// The elastic report of cell (1, 1), as far as the cell got: the permafrost
// fractions, then the moduli and coefficients (with the negative-lambda1
// warning between them).
void print_elastic_report(const int& key_model, const ElasticReport& r);

// The negative-lambda1 warning of every cell after the first among the first
// `cells` cells of the loop order j outer, k inner.
void print_negative_lambda1(const CellGrid& g, const RealField& lambda1, const int& cells);

// The mass and friction report of cell (1, 1), as far as the cell got; the
// friction part ends at the first negative determinant.
void print_mass_report(const int& key_model, const MassReport& r);

// The banner at omega and, when the loop reached it, the report of the
// centre cell's compressional and shear waves.
void print_wave_report(const CellGrid& g, const double& omega, const WaveReport& r);

// Adds to the run's warnings (standard error and results.json; the report
// stays as it is) that the grid g does not resolve the shortest diffusion
// length at omega, with the grid that would.
void warn_diffusion(const DiffusionScale& s, const CellGrid& g, const double& omega, Warnings& w);

// Cells of the loop order j outer, k inner whose coefficients were stored
// before the routine returned fail (all of them when nothing failed).
int cells_done(const CellGrid& g, const CellFailure& fail);

// Prints the message of a failed check at a cell and stops with its code; a
// zero fraction ends the run as refused input, naming the routine and cell.
[[noreturn]] void stop_at_cell(const CellFailure& fail);

}  // namespace tp
