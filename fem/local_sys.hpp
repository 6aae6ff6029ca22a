#pragma once
// Element matrix and load of one cell of the harmonic compressibility test.
#include "common/tables.hpp"

namespace tp {

// A(l, n): row l = test function, column n = trial unknown, both in the local
// order of global_numbering; 20 by 20, stored by columns.
using ElementMatrix = Table2<cplx, kLocalDofs, kLocalDofs>;
// b(l), l = 1..20, the element load in the same local order.
using ElementVector = Table1<cplx, kLocalDofs>;

// Element matrix a and load b of cell (j, k) of the grid g (nx by ny cells
// of side h, metres) at angular frequency omega (rad/s), from the cell's 18
// coefficients in co. Sets the cell's six mass coefficients p11..p33 to zero
// (the test is quasi-static). Writes all 400 entries of a and all 20
// of b.
//
// The weak form, per unit thickness, over the cell Q = [0, h]^2. Unknowns:
// u1, u3 the displacements of solid 1 and solid 3 (bilinear at the corners,
// m) and w the fluid displacement relative to the solids (one normal
// component per edge, m); primes are the test functions. Time goes as
// exp(i omega t). The bilinear form is
//   ∫Q  lambda1 div u1 div u1' + 2 mu1 e(u1):e(u1')
//     + lambda3 div u3 div u3' + 2 mu3 e(u3):e(u3')
//     + d3 (div u1 div u3' + div u3 div u1') + mu13 (e(u1):e(u3') + e(u3):e(u1'))
//     + b1 (div u1 div w' + div w div u1') + b2 (div u3 div w' + div w div u3')
//     + m div w div w'
//     + i omega [ f11 (u1 - u3).(u1' - u3') - f12 ((u1 - u3).w' + w.(u1' - u3'))
//                 + f22 w.w' ]
//     - omega^2 [ p11 u1.u1' + p12 (u1.w' + w.u1') + p13 (u1.u3' + u3.u1')
//                 + p22 w.w' + p23 (w.u3' + u3.w') + p33 u3.u3' ]
// and the load is the unit compressive traction on the top of the sample,
//   - ∫top (u1'_y + u3'_y) dx,
// i.e. a stress of 1 Pa pushing both solid phases down.
// Units: lambda, mu, b, m, d3 in Pa; f in kg/(m^3 s); p in kg/m^3. The
// gradient integrals are dimensionless, so stiffness entries are in Pa and do
// not depend on h; friction entries are omega f h^2 times a number (Pa too);
// the load entries are -h/2 (N/m for the unit traction). A u then balances
// forces per unit thickness in N/m.
//
// The inertia line is left out here: the test is quasi-static, the six mass
// coefficients are not read (nor changed), and the matrix is built from the
// stiffness and friction terms alone.
//
// Boundary conditions, as fixed local unknowns (a union over the sides the
// cell touches): j = 1 fixes locals 1, 4, 9, 13, 16 (x displacements on the
// left side, fluid through it); j = nx fixes 2, 3, 10, 14, 15; k = 1 fixes
// 5, 6, 11, 17, 18 (y displacements on the bottom, fluid through it); k = ny
// fixes only 12 (the sealed top; the top displacements stay free). Row l of
// a fixed unknown holds only its diagonal K(l, l). Other rows copy the
// entries left of the diagonal from the rows above (A(l, n) = A(n, l), n < l,
// so zero in the column of a fixed unknown above them) and take K(l, n) for
// n >= l. A fixed unknown has a zero load, so these half-cleared columns give
// the same solution as fully cleared ones.
void local_sys(const CellGrid& g, const int& j, const int& k, const double& omega,
               const Coefficients& co, ElementMatrix& a, ElementVector& b);

// The stiffness and friction matrix K of cell (j, k) of the grid g at angular
// frequency omega, from the cell's elastic and friction coefficients in co:
// the bilinear form above without its inertia line and without boundary
// conditions, all 400 entries, symmetric (A(l, n) = A(n, l)). The mass
// coefficients are not read. local_sys builds its rows from this K; the
// plate tests take it whole, to assemble their own constraints and to
// compute reactions.
void cell_stiffness(const CellGrid& g, const int& j, const int& k, const double& omega,
                    const Coefficients& co, ElementMatrix& a);

}  // namespace tp
