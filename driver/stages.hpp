#pragma once
// The stages of a run's case, as the main program calls them in order (the
// benchmarks call the same stages one by one). The stages own what the run
// prints and writes and where it stops; the computing routines they call
// only compute.
#include <cstdint>

#include "common/coefficient_table.hpp"
#include "common/output.hpp"
#include "common/structures.hpp"
#include "deck/deck_record.hpp"
#include "fem/effective_moduli.hpp"
#include "planewave/diffusion.hpp"
#include "planewave/veloc_aten.hpp"
#include "sparse/own_solver.hpp"
#include "sparse/zndrv.hpp"

namespace tp {

// The coefficient maps, one "j k value" line per cell, written in the first
// case: the nine elastic maps (xmu1_gnu ... d3_gnu) and the three friction
// maps (b11_gnu, b22_gnu, b12_gnu), by their rank in the coefficient table.
struct CoefficientMaps {
  Unit map[kCoefficientMaps];
};

struct RunPlan;  // what the run uses beyond the deck's values (deck/keyword_deck.hpp)

// Allocates every table of the run from the deck's grid: the sample, the
// coefficients, the system and the per-cell results, all zero. A grid whose
// counts pass the 32-bit positions, or whose tables do not fit in memory,
// ends the run with a message giving the grid and the need.
void size_tables(const Deck& d, Sample& s, Coefficients& co, System& sys, Results& r);

// Allocates the solver workspace for the deck's grid (zeros): 11102000
// complex words within 60 by 60 cells; none beyond, where the solver sizes
// its own storage from the symbolic factorization.
// Memory that is not there ends the run with a message giving the need.
void size_workspace(const Deck& d, Array1<cplx>& workspace);

// The reference values of "elast_coef_sand" and of "b11_b22_b12_sand"; a
// short or garbled file ends the run with a message naming it, a missing
// one too (naming the folder searched and what the file holds) unless
// `optional`, when the built-in values (those of the bundled examples)
// stand in.
void read_elastic_references(ReferenceValues& refs, bool optional = false);
void read_friction_references(ReferenceValues& refs, bool optional = false);

// Reads the side files before anything is computed: the two reference files
// into refs (optional for a keyword deck's plan) and, when the plan takes
// the porosity from a file (the fractal model; "porosity.frac" for a legacy
// deck), that file into s.phi. A missing, short or garbled file ends the run
// with a message naming it.
void read_side_files(const RunPlan& plan, Sample& s, ReferenceValues& refs);

// Prints the layer geometry (when write), gives every cell its material as the plan says
// (uniform: material 1 everywhere, the legacy run, where the sample's
// heterogeneity comes from the porosity field alone; layered: the layer of
// its row), writes the map to "matnum_p33" (then closed) and
// "matnum_p33_gnu", and stops with 222 on a material number outside 1..nmat.
void material_map_pass(const Deck& d, const RunPlan& plan, Sample& s, Unit& plain, Unit& gnu,
                       bool write = true);

// The water fraction of every cell as the plan says: one constant (0.1 in
// the legacy layered model), or the water proportion of the cell's layer.
// A porosity file was read with the side files.
void porosity_pass(const Deck& d, const RunPlan& plan, Sample& s);

// The elastic coefficients of every cell at omega. With a report, the
// echo of the elastic reference values, the first-cell report, the
// negative-lambda1 warnings and the nine elastic maps (the cells done, when
// a cell fails); without, nothing is printed or written. Prints the message
// and stops at a cell that fails. A plan of a keyword deck lets a first cell
// with lambda1 or lambda3 <= 0 through when its strain energy is positive
// (the caller warns of it: warn_first_cell_lambda). A stage of more than two seconds shows its
// progress when standard error is a terminal (as does the next).
void elastic_coefficients(const Deck& d, const RunPlan& plan, const Sample& s,
                          const ReferenceValues& refs, const double& omega, bool report,
                          Coefficients& co, CoefficientMaps& maps);

// The mass and friction coefficients of every cell; fr gets the fractions
// of the last cell. With a report, the echo of the friction reference
// values, the first-cell report and the three friction maps. Prints the
// message and stops at a cell that fails.
void mass_coefficients(const Deck& d, const Sample& s, const ReferenceValues& refs, bool report,
                       Coefficients& co, Fractions& fr, CoefficientMaps& maps);

// Bulk density averaged over the cells: the water fraction of each cell with
// the solid fractions of the last cell treated by the mass routine.
double average_density(const Deck& d, const Sample& s, const Fractions& fr);

// The closed-form plane waves of every cell with their report (when print);
// returns the waves of the last cell. Prints the message and stops at a velocity <= 0.
// Fills slow_p_decay (nx by ny) and the shortest diffusion length against
// the grid, scale, and the survey of the P-wave labels, labels, when given.
CellWaves plane_waves(const CellGrid& g, const double& omega, const Coefficients& co,
                      RealField* slow_p_decay = nullptr, DiffusionScale* scale = nullptr,
                      LabelSurvey* labels = nullptr, bool print = true);

// Numbers the unknowns and assembles the harmonic system of the test.
void assemble_system(const double& omega, const CellGrid& g, const Coefficients& co, System& sys);

// Number of unknowns of the nx by ny grid.
int unknowns(const Deck& d);

// Minimum-degree order of the assembled system into the solver, in the
// workspace of nsp complex words, or in storage of its own when nsp = 0
// (grids beyond 60 by 60 cells); prints "FLAG=" and stops with 9 on failure.
void order_system(const int& neq, System& sys, OwnSolver& solver, cplx* workspace, const int& nsp);

// The symbolic factorization of the ordered pattern, with a check of the
// memory the factors will take (self-sized storage only); prints "ESP=" and
// "FLAG=" and stops with 99 on failure.
void analyse_pattern(const int& neq, System& sys, OwnSolver& solver);

// Sparse LU factorization of the analysed system with the solve into sys.z;
// prints "ESP=" and "FLAG=" and stops with 99 on failure.
void factor_and_solve(const int& neq, System& sys, OwnSolver& solver);

// Exit status of a run whose factorization would need more memory than the
// limit allows.
constexpr int kMemoryStopCode = 3;

// Bytes of a size such as "800M", "16G", "1.5G" or "123456" (K, M, G, T in
// powers of 1024, an optional B after them); -1 if the text is not one.
std::int64_t parse_memory_size(const char* text);

// The memory a run may use: THREEPHASE_MAX_MEMORY when set (a bad value
// ends the run as an input error), else the physical memory available.
std::int64_t memory_limit();

// Stops the run with kMemoryStopCode and a message on standard error giving
// the need, the limit and how to lower the need, when the analysed factor
// would need more memory than memory_limit().
void check_factor_memory(const SparseFactor& f);

}  // namespace tp
