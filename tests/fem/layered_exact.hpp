#pragma once
// The exact moduli of a laterally uniform sample (layers stacked in y)
// under the vertical and the simple-shear plate test, from the equations of
// the three-phase medium in one dimension.
//
// With nothing depending on x the vertical test moves both solids and the
// fluid along y only, U = (u1, u3, w)(y), and the shear test moves them along
// x only, U = (u1, u3, w)(y) again but with w = (f12 / f22)(u1 - u3) (no
// divergence, so no pressure: the fluid follows the solids' difference by
// friction alone). Both obey, layer by layer,
//   D U'' = i omega F U,   sigma = D U',
// with, in the vertical test, D = [[E1, E13, b1], [E13, E3, b2], [b1, b2, m]]
// (E1 = lambda1 + 2 mu1, E3 = lambda3 + 2 mu3, E13 = d3 + mu13) and
// F = [[f11, -f11, -f12], [-f11, f11, f12], [-f12, f12, f22]]; in the shear
// test, on (u1, u3), D = [[mu1, mu13/2], [mu13/2, mu3]] and
// F = (f11 - f12^2 / f22) [[1, -1], [-1, 1]].
// F annihilates the common motion n0 = (1, 1, 0) (or (1, 1)), which moves as
// a + b y; every other eigenvector v of D^-1 F, eigenvalue l >= 0, gives the
// diffusive modes v exp(-+k y), k^2 = i omega l. U and sigma are continuous
// at the interfaces; U = 0 at the bottom and both solids move by the unit
// strain times the height at the top (the fluid held there in the vertical
// test). The modulus is the sum of the two solids' sigma at the top.
#include <vector>

#include "support/sample.hpp"

namespace tp::platetest {

// One layer: thickness (m) and the coefficients of its cells.
struct Layer {
  double thickness = 0.0;
  testing::CellCoefficients c;
};

enum class LayeredTest { vertical, shear };

struct LayeredModulus {
  cplx modulus;                   // C33 (vertical) or C55 (shear), Pa
  double diffusion_length = 0.0;  // smallest 1 / Re k of the layers' modes, m
};

// The exact modulus of the stack (bottom layer first) at omega.
LayeredModulus layered_modulus(const std::vector<Layer>& stack, double omega, LayeredTest test);

}  // namespace tp::platetest
