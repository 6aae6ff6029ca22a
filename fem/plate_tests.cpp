// Assembly, solution and reactions of the rigid-plate relaxation tests.
#include "fem/plate_tests.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "fem/cell_strains.hpp"
#include "fem/global_numbering.hpp"
#include "fem/global_sist.hpp"
#include "fem/local_sys.hpp"

namespace tp {
namespace {

// Position of column col in row of the stored pattern (columns ascend; the
// element pairs are all stored).
int position(const System& sys, int row, int col) {
  const std::int32_t* first = sys.ja.data() + (sys.ia(row) - 1);
  const std::int32_t* last = sys.ja.data() + (sys.ia(row + 1) - 1);
  return static_cast<int>(std::lower_bound(first, last, col) - sys.ja.data()) + 1;
}

// The displacement prescribed by test on a side the plate moves.
struct PlateMotion {
  double top_x = 0.0, top_y = 0.0, right_x = 0.0;
};

PlateMotion plate_motion(const CellGrid& g, PlateTest test) {
  const double height = g.ny * g.h, width = g.nx * g.h;
  PlateMotion p;
  if (test == PlateTest::vertical) p.top_y = kPlateStrain * height;
  if (test == PlateTest::horizontal) p.right_x = kPlateStrain * width;
  if (test == PlateTest::shear) p.top_x = kPlateStrain * height;
  return p;
}

// Sum of the reactions (K z)(l) of one cell, K its matrix a and z its part
// ze[1..20] of the solution, over the locals l listed.
cplx cell_reaction(const ElementMatrix& a, const cplx* ze, std::initializer_list<int> locals) {
  cplx sum(0.0, 0.0);
  for (int l : locals) {
    cplx r(0.0, 0.0);
    for (int n = 1; n <= kLocalDofs; ++n) r += a(l, n) * ze[n];
    sum += r;
  }
  return sum;
}

}  // namespace

// Held locals of cell (j, k): corners 1-4 run counter-clockwise from the
// bottom-left one, solid 1 at locals corner (x) and 4 + corner (y), solid 3
// twelve further on, the fluid's normal components on the edges L, R, B, T
// at 9..12.
void cell_constraints(const CellGrid& g, const int& j, const int& k, const PlateTest& test,
                      CellConstraints& c) {
  const bool shear = test == PlateTest::shear;
  const PlateMotion motion = plate_motion(g, test);
  c = CellConstraints{};
  for (int corner = 1; corner <= 4; ++corner) {
    const bool left = j == 1 && (corner == 1 || corner == 4);
    const bool right = j == g.nx && (corner == 2 || corner == 3);
    const bool bottom = k == 1 && (corner == 1 || corner == 2);
    const bool top = k == g.ny && (corner == 3 || corner == 4);
    // Normal tests hold the normal displacement on every side; simple shear
    // holds both components on the bottom and top and y on the sides.
    const bool x_held = shear ? bottom || top : left || right;
    const bool y_held = shear ? left || right || bottom || top : bottom || top;
    // A test moves one plate: the other motions are zero.
    const double x_value = (top ? motion.top_x : 0.0) + (right ? motion.right_x : 0.0);
    const double y_value = top ? motion.top_y : 0.0;
    for (int solid : {0, 12}) {
      c.held[solid + corner] = x_held;
      c.value[solid + corner] = x_held ? x_value : 0.0;
      c.held[solid + 4 + corner] = y_held;
      c.value[solid + 4 + corner] = y_held ? y_value : 0.0;
    }
  }
  // Sealed sides; in simple shear the left and right sides stay open.
  c.held[9] = !shear && j == 1;
  c.held[10] = !shear && j == g.nx;
  c.held[11] = k == 1;
  c.held[12] = k == g.ny;
}

int plate_system(const CellGrid& g, System& sys) {
  if (!size_system(sys, g.nx, g.ny)) return 1;
  global_numbering(g.nx, g.ny, sys.xnod);
  return global_pattern(g, sys);
}

// Free-free entries of every cell summed in the cell order j outer, k
// inner; the held rows and columns get nothing but their unit diagonal.
namespace {

// The stiffness and friction of cell (j, k): the friction as the
// imaginary i omega f of the harmonic tests, or folded into the real part
// (omega f then a real stiffness) for the real solves of the bounds.
void plate_cell_matrix(const CellGrid& g, int j, int k, double omega, const Coefficients& co,
                       Friction friction, ElementMatrix& a) {
  cell_stiffness(g, j, k, omega, co, a);
  if (friction == Friction::harmonic) return;
  for (int l = 1; l <= kLocalDofs; ++l) {
    for (int n = 1; n <= kLocalDofs; ++n) a(l, n) = cplx(a(l, n).real() + a(l, n).imag(), 0.0);
  }
}

}  // namespace

void plate_matrix(const CellGrid& g, const double& omega, const Coefficients& co,
                  const PlateConstraints& set, System& sys, Friction friction) {
  const PlateTest test = set == PlateConstraints::shear ? PlateTest::shear : PlateTest::vertical;
  auto& avec = sys.avec;
  const auto& xnod = sys.xnod;
  const int nnz = sys.ia(sys.neq + 1) - 1;
  for (int p = 1; p <= nnz; ++p) avec(p) = cplx(0.0, 0.0);
  ElementMatrix a;
  CellConstraints c;
  for (int j = 1; j <= g.nx; ++j) {
    for (int k = 1; k <= g.ny; ++k) {
      plate_cell_matrix(g, j, k, omega, co, friction, a);
      cell_constraints(g, j, k, test, c);
      const int ne = g.element(j, k);
      for (int il = 1; il <= kLocalDofs; ++il) {
        const int row = xnod(ne, il);
        if (c.held[il]) {
          avec(position(sys, row, row)) = cplx(1.0, 0.0);
          continue;
        }
        for (int jl = 1; jl <= kLocalDofs; ++jl) {
          if (!c.held[jl]) avec(position(sys, row, xnod(ne, jl))) += a(il, jl);
        }
      }
    }
  }
}

// Only cells with a moving plate on one of their sides load the system.
void plate_load(const CellGrid& g, const double& omega, const Coefficients& co,
                const PlateTest& test, const System& sys, UnknownVector& b, Friction friction) {
  const auto& xnod = sys.xnod;
  for (int q = 1; q <= sys.neq; ++q) b(q) = cplx(0.0, 0.0);
  ElementMatrix a;
  CellConstraints c;
  for (int j = 1; j <= g.nx; ++j) {
    for (int k = 1; k <= g.ny; ++k) {
      cell_constraints(g, j, k, test, c);
      const int ne = g.element(j, k);
      bool moving = false;
      for (int l = 1; l <= kLocalDofs; ++l) {
        if (c.held[l]) b(xnod(ne, l)) = cplx(c.value[l], 0.0);
        moving = moving || c.value[l] != 0.0;
      }
      if (!moving) continue;
      plate_cell_matrix(g, j, k, omega, co, friction, a);
      for (int il = 1; il <= kLocalDofs; ++il) {
        if (c.held[il]) continue;
        cplx moved(0.0, 0.0);
        for (int jl = 1; jl <= kLocalDofs; ++jl) moved += a(il, jl) * c.value[jl];
        b(xnod(ne, il)) -= moved;
      }
    }
  }
}

bool size_plate_load(const System& sys, PlateLoad& load) {
  const bool ok = load.b.resize(sys.neq);
  return load.z.resize(sys.neq) && ok;
}

// The one place the plate tests call the sparse solver.
int solve_plate_system(System& sys, OwnSolver& solver, PlateLoad* loads, const int& count) {
  const SparseRows rows{sys.neq, sys.ia.view(), sys.ja.view(), sys.avec.view()};
  if (solver.analyses == 0) {
    int flag = own_order(solver, rows, nullptr, 0, nullptr);
    if (flag == 0) flag = own_analyse(solver, rows);
    if (flag != 0) return flag;
  }
  const int flag = own_factor(solver, rows, nullptr);
  if (flag != 0) return flag;
  for (int t = 0; t < count; ++t) own_solve(solver, loads[t].b.view(), loads[t].z.view());
  return 0;
}

// Reactions of the cells along the top and the right side, each cell's
// stiffness applied to its part of the solution: the force a held unknown
// needs is the sum of its cells' shares.
PlateTractions plate_tractions(const CellGrid& g, const double& omega, const Coefficients& co,
                               const System& sys, const UnknownVector& z, Friction friction) {
  const auto& xnod = sys.xnod;
  PlateTractions t;
  ElementMatrix a;
  cplx ze[kLocalDofs + 1];
  for (int j = 1; j <= g.nx; ++j) {
    for (int k = 1; k <= g.ny; ++k) {
      if (j != g.nx && k != g.ny) continue;
      plate_cell_matrix(g, j, k, omega, co, friction, a);
      const int ne = g.element(j, k);
      for (int l = 1; l <= kLocalDofs; ++l) ze[l] = z(xnod(ne, l));
      if (k == g.ny) {
        t.top_normal += cell_reaction(a, ze, {7, 8, 19, 20});
        t.top_tangential += cell_reaction(a, ze, {3, 4, 15, 16});
      }
      if (j == g.nx) t.right_normal += cell_reaction(a, ze, {2, 3, 14, 15});
    }
  }
  const double width = g.nx * g.h, height = g.ny * g.h;
  t.top_normal /= width;
  t.top_tangential /= width;
  t.right_normal /= height;
  return t;
}

void plate_vertical_stress(const CellGrid& g, const Coefficients& co, const System& sys,
                           const UnknownVector& z, CellField<cplx>& stress) {
  const double h = g.h;
  for (int j = 1; j <= g.nx; ++j) {
    for (int k = 1; k <= g.ny; ++k) {
      const CellSolution Z = gather(z, sys.xnod, g.element(j, k));
      const cplx eyy1 = y_strain(Z, 5, h), eyy3 = y_strain(Z, 17, h);
      const cplx div1 = x_strain(Z, 1, h) + eyy1, div3 = x_strain(Z, 13, h) + eyy3;
      const cplx divw = flux_divergence(Z, h);
      stress(j, k) = (co.lambda1(j, k) + co.d3(j, k)) * div1 +
                     (co.lambda3(j, k) + co.d3(j, k)) * div3 + (co.b1(j, k) + co.b2(j, k)) * divw +
                     (2.0 * co.mu1(j, k) + co.mu13(j, k)) * eyy1 +
                     (2.0 * co.mu3(j, k) + co.mu13(j, k)) * eyy3;
    }
  }
}

void drop_rounding_loss(SampleStiffness& c) {
  for (cplx* m : {&c.c11, &c.c33, &c.c55}) {
    if (std::abs(m->imag()) <= kRoundingLoss * std::abs(m->real())) *m = cplx(m->real(), 0.0);
  }
}

void take_moduli(const PlateTest& test, const PlateTractions& t, SampleStiffness& c) {
  switch (test) {
    case PlateTest::vertical:
      c.c33 = t.top_normal / kPlateStrain;
      c.c13 = t.right_normal / kPlateStrain;
      break;
    case PlateTest::horizontal:
      c.c11 = t.right_normal / kPlateStrain;
      c.c13_horizontal = t.top_normal / kPlateStrain;
      break;
    case PlateTest::shear:
      c.c55 = t.top_tangential / kPlateStrain;
      break;
  }
}

// 1. Pattern. 2. The normal set: one matrix, the vertical and horizontal
// loads, one factorization, two solves. 3. The shear set likewise, one load.
int plate_stiffness(const CellGrid& g, const double& omega, const Coefficients& co,
                    SampleStiffness& c) {
  System sys;
  OwnSolver solver;
  PlateLoad loads[2];
  loads[0].test = PlateTest::vertical;
  loads[1].test = PlateTest::horizontal;
  if (plate_system(g, sys) != 0) return 1;
  if (!size_plate_load(sys, loads[0]) || !size_plate_load(sys, loads[1])) return 1;
  for (PlateConstraints set : {PlateConstraints::normal, PlateConstraints::shear}) {
    const int count = set == PlateConstraints::normal ? 2 : 1;
    if (set == PlateConstraints::shear) loads[0].test = PlateTest::shear;
    plate_matrix(g, omega, co, set, sys);
    for (int t = 0; t < count; ++t) plate_load(g, omega, co, loads[t].test, sys, loads[t].b);
    const int flag = solve_plate_system(sys, solver, loads, count);
    if (flag != 0) return flag;
    for (int t = 0; t < count; ++t) {
      take_moduli(loads[t].test, plate_tractions(g, omega, co, sys, loads[t].z), c);
    }
  }
  return 0;
}

}  // namespace tp
