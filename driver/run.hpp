#pragma once
// The tables of a run and the stages of its case, as the main program calls
// them in order (the benchmarks call the same stages one by one).
#include <cstdint>

#include "common/output.hpp"
#include "common/tables.hpp"
#include "sparse/zndrv.hpp"

namespace tp {

// The deck: head values and per-layer tables.
struct Deck {
  double freq = 0, freq_max = 0, domain_size = 0, h = 0;
  int n_freq = 0, nx = 0, ny = 0, key_model = 0, model = 0, nmat = 0;
  IntLayers nl;
  RealLayers akf, ro2, eta, ro1, ro3, phi_a, phi_layer, capa_1_0, capa_3_0, s3, rs1, rs3,
      coef_b13, ak_s1, xmu_s1, ak_s3, xmu_s3, ak_air, xmu_air, layer_size;
};

// The volume fractions the mass routine returns for the last cell it treats.
struct Fractions {
  double s1 = 0, s3_matrix = 0, phi1 = 0, phi3 = 0;
};

// The finite-element system of the compressibility test and its solution.
struct System {
  XnodTable xnod;
  RowStarts ia;
  ColumnIndices ja;
  MatrixValues avec;
  UnknownVector rhs_m, z;
  Permutation c, ic;
};

// Reads the deck from standard input (readata) into d.
void read_deck(Deck& d);

// Prints the layer geometry, gives every cell material 1 (the sample's
// heterogeneity comes from the porosity field alone), writes the map to
// "matnum_p33" (then closed) and "matnum_p33_gnu", and stops with 222 on a
// material number outside 1..nmat.
void material_map_pass(Deck& d, IntField& map, Unit& plain, Unit& gnu);

// The elastic, mass and friction coefficients of every cell at omega.
void compute_coefficients(const Deck& d, const IntField& map, const RealField& phi,
                          const double& omega, const int& icase, Coefficients& co,
                          Fractions& fr);

// Bulk density averaged over the cells: the water fraction of each cell with
// the solid fractions of the last cell treated by the mass routine.
double average_density(const Deck& d, const IntField& map, const RealField& water,
                       const Fractions& fr);

// Number of unknowns of the nx by ny grid.
int unknowns(const Deck& d);

// Minimum-degree order of the assembled system, in the workspace of nsp
// complex words, or in storage of its own when nsp = 0 (grids beyond 60 by
// 60 cells); prints "FLAG=" and stops with 9 on failure.
void order_system(const int& neq, System& sys, cplx* workspace, const int& nsp);

// Sparse LU factorization with the solve into sys.z, in the workspace or
// (nsp = 0) in storage sized from the symbolic factorization after a check
// of the memory; prints "ESP=" and "FLAG=" and stops with 99 on failure.
void factor_and_solve(const int& neq, System& sys, cplx* workspace, const int& nsp);

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
