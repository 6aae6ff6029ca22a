#pragma once
// Rigid-plate relaxation tests of the sample: the stiffness C11, C13, C33
// and C55 of the effective medium from three quasi-static tests on the mesh
// and elements of the compressibility test (see local_sys), with the inertia
// left out.
//
// Every test prescribes displacements on the sides and reads the force the
// sample pushes back with. A prescribed unknown is held by its row, which
// keeps only a unit diagonal, and by its column, whose entries times the
// prescribed value move to the right-hand side; the matrix keeps the
// pattern of the compressibility test (global_pattern), so that one order
// and one symbolic factorization serve every test.
//
//   vertical    both solids held in x on the left and right sides and in y
//               on the bottom; the top side is a rigid plate glued to both
//               solids in y and lifted by the strain e times the height H;
//               the top is free to slide in x. No fluid crosses any side.
//               C33 = top force / (width W) / e, C13 = right force / H / e.
//   horizontal  the same constraints turned by 90 degrees: the right side
//               is the plate, moved out by e W, the top held in y.
//               C11 = right force / H / e, C13 = top force / W / e.
//   shear       simple shear: both solids clamped on the bottom, the top a
//               plate glued to both solids and moved along x by e H; the
//               left and right sides held in y and free in x, open to the
//               fluid, which crosses neither the bottom nor the top.
//               C55 = top tangential force / W / e.
// The vertical and horizontal tests hold the same unknowns and differ only
// in the prescribed values: one matrix and one factorization serve both.
// The forces are the reactions of both solids (which carry their coupling
// to the fluid); the fluid's reaction on a sealed side, its pore pressure,
// is not a force on the plate.
#include "common/structures.hpp"
#include "sparse/own_solver.hpp"

namespace tp {

// How the friction enters the plate matrices: as i omega f, the harmonic
// tests; or as the real stiffness omega f, where omega is a scale of a
// penalty rather than a frequency (the real solves of the curve's bounds).
enum class Friction { harmonic, real };

// The three tests.
enum class PlateTest { vertical, horizontal, shear };

// The sets of held unknowns: one for the vertical and horizontal tests, one
// for the shear test.
enum class PlateConstraints { normal, shear };

constexpr PlateConstraints constraints_of(PlateTest test) {
  return test == PlateTest::shear ? PlateConstraints::shear : PlateConstraints::normal;
}

// The strain every test imposes. The tests are linear, so it only scales
// the solution; at one, the mean tractions on the sides are the moduli.
constexpr double kPlateStrain = 1.0;

// The held unknowns of one cell and their prescribed displacements (m):
// held[l], value[l] for the local unknowns l = 1..20 (index 0 unused).
struct CellConstraints {
  bool held[kLocalDofs + 1] = {};
  double value[kLocalDofs + 1] = {};
};

// The locals of cell (j, k) of the grid g held by test, with their values.
// A side's unknown is held by every cell that touches it, with one value.
void cell_constraints(const CellGrid& g, const int& j, const int& k, const PlateTest& test,
                      CellConstraints& c);

// Sizes sys for the grid g, numbers its unknowns into sys.xnod and stores
// the pattern of the compressibility test in sys.ia and sys.ja. Returns 1
// when the memory is not there, else 0. sys.rhs_m and sys.z are not used by
// the plate tests.
int plate_system(const CellGrid& g, System& sys);

// The matrix of a set of held unknowns at angular frequency omega (rad/s)
// from the elastic and friction coefficients co (the mass coefficients are
// not read) into sys.avec, in the pattern of plate_system: the cells'
// stiffness and friction summed over the free rows and columns, a unit
// diagonal on every held row. omega must be positive: at zero frequency
// nothing resists the water's divergence-free motions and the matrix is
// singular, as the compressibility test's is.
void plate_matrix(const CellGrid& g, const double& omega, const Coefficients& co,
                  const PlateConstraints& set, System& sys, Friction friction = Friction::harmonic);

// The right-hand side b(1..neq) of test for the matrix of its set: on a
// held row the prescribed value, on a free row minus the held columns times
// their values.
void plate_load(const CellGrid& g, const double& omega, const Coefficients& co,
                const PlateTest& test, const System& sys, UnknownVector& b,
                Friction friction = Friction::harmonic);

// One test's right-hand side b(1..neq) and solution z(1..neq).
struct PlateLoad {
  PlateTest test = PlateTest::vertical;
  UnknownVector b, z;
};

// Sizes the load's vectors to the neq unknowns of sys; false when the
// memory is not there.
bool size_plate_load(const System& sys, PlateLoad& load);

// Factors the matrix of sys with the own solver and solves the count loads
// into their z. The solver's analysis of the pattern is kept: a solver not
// yet analysed orders and analyses it first (self-sized storage), one
// analysed already (on the compressibility test, or another plate matrix)
// goes straight to the factorization. Returns 0 or the solver's flag.
int solve_plate_system(System& sys, OwnSolver& solver, PlateLoad* loads, const int& count);

// Mean tractions (Pa) on the plates of a solved test: the reactions of both
// solids, summed element by element from the cells' stiffness times the
// solution, over the top side in y and x (per unit width) and over the
// right side in x (per unit height).
struct PlateTractions {
  cplx top_normal, top_tangential, right_normal;
};
PlateTractions plate_tractions(const CellGrid& g, const double& omega, const Coefficients& co,
                               const System& sys, const UnknownVector& z,
                               Friction friction = Friction::harmonic);

// The total vertical stress (Pa) of every cell of a solved test into
// stress(1..nx, 1..ny): the sum of the partial stresses of the two solids,
// tau1_yy + tau3_yy, which carries the water's pressure through b1 and b2,
// at the cell's mean strains. The reaction on the top plate is the mean of
// the top row's stress (the friction pulls the solids apart and adds
// nothing), so in the vertical test that mean is C33 times the strain.
void plate_vertical_stress(const CellGrid& g, const Coefficients& co, const System& sys,
                           const UnknownVector& z, CellField<cplx>& stress);

// The sample's complex stiffness (Pa), time going as exp(+i omega t).
// c13 comes from the side of the vertical test, c13_horizontal from the
// plate of the horizontal one; reciprocity makes them equal to rounding.
struct SampleStiffness {
  cplx c11, c13, c13_horizontal, c33, c55;
};

// A loss the solve cannot tell from zero: an imaginary part of C11, C33 or
// C55 within kRoundingLoss of the real part is the rounding of the solve
// (a homogeneous sample, with no flow, gives +-1e-15), not a loss, and its
// sign is noise: it becomes 0, so that 1000/Q is 0 rather than a tiny
// negative number. The smallest loss of a heterogeneous sample at 1 Hz is
// some 1e-6 of the modulus. C13 has no sign and is kept.
constexpr double kRoundingLoss = 1e-12;
void drop_rounding_loss(SampleStiffness& c);

// The moduli test measures, from its tractions, into c.
void take_moduli(const PlateTest& test, const PlateTractions& t, SampleStiffness& c);

// All three tests at omega on the grid g: two matrices, two factorizations,
// three solves. Returns 0, 1 when the memory is not there, or the solver's
// flag.
int plate_stiffness(const CellGrid& g, const double& omega, const Coefficients& co,
                    SampleStiffness& c);

}  // namespace tp
