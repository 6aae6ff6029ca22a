#pragma once
// The 18 coefficients of the three-phase medium, listed once: the name
// results.json gives each, its unit, where it lives in Coefficients, the
// "j k value" map file the legacy run writes of it (the nine elastic and the
// three friction maps) and what it means in the weak form (fem/local_sys.hpp
// states the form). Every writer of coefficients reads this table.
//
// The rows follow Coefficients and the first-cell block of results.json:
// elastic, mass, friction. The legacy maps come in their own order (map_rank
// 0..11: the elastic maps as e_modulus reports them, then b11, b22, b12),
// which is also the order of results.json's map list.
#include "common/tables.hpp"

namespace tp {

// Which routine computes a coefficient, and so when its map is written.
enum class CoefficientKind { elastic, mass, friction };

struct CoefficientInfo {
  const char* name;  // as results.json names it
  const char* unit;
  RealField Coefficients::*field;
  CoefficientKind kind;
  const char* legacy_map;  // map file of the first case, or nullptr when none
  int map_rank;            // place of that map among the legacy maps, -1 when none
  const char* label;       // the quantity results.json's map list gives the map
  const char* meaning;
};

constexpr int kCoefficientCount = 18;
constexpr int kCoefficientMaps = 12;

inline constexpr CoefficientInfo kCoefficientTable[kCoefficientCount] = {
    {"lambda1", "Pa", &Coefficients::lambda1, CoefficientKind::elastic, "xlambda1_gnu", 3,
     "lambda1",
     "Lame modulus of solid 1, H1 - mu1 (H1 the frame's modulus under the water's coupling)"},
    {"lambda3", "Pa", &Coefficients::lambda3, CoefficientKind::elastic, "xlambda3_gnu", 4,
     "lambda3",
     "Lame modulus of solid 3, H3 - mu3 (H3 the frame's modulus under the water's coupling)"},
    {"mu1", "Pa", &Coefficients::mu1, CoefficientKind::elastic, "xmu1_gnu", 0, "mu1",
     "shear modulus of solid 1: its dry frame and the water's viscous shear coupling"},
    {"mu3", "Pa", &Coefficients::mu3, CoefficientKind::elastic, "xmu3_gnu", 1, "mu3",
     "shear modulus of solid 3: its dry frame and the water's viscous shear coupling"},
    {"mu13", "Pa", &Coefficients::mu13, CoefficientKind::elastic, "xmu13_gnu", 2, "mu13",
     "shear coupling of the two solids through the water's viscous shear (like mu1 and "
     "mu3, it depends on the frequency)"},
    {"b1", "Pa", &Coefficients::b1, CoefficientKind::elastic, "b1_gnu", 5, "b1",
     "coupling of solid 1's volume change with the water's flow, div u1 div w"},
    {"b2", "Pa", &Coefficients::b2, CoefficientKind::elastic, "b2_gnu", 6, "b2",
     "coupling of solid 3's volume change with the water's flow, div u3 div w"},
    {"m", "Pa", &Coefficients::m, CoefficientKind::elastic, "xm_gnu", 7, "m",
     "stiffness of the water's flow, div w div w (the average bulk modulus Kav)"},
    {"d3", "Pa", &Coefficients::d3, CoefficientKind::elastic, "d3_gnu", 8, "d3",
     "coupling of the two solids' volume changes, div u1 div u3"},
    {"p11", "kg/m3", &Coefficients::p11, CoefficientKind::mass, nullptr, -1, nullptr,
     "mass of solid 1 with the water it drags"},
    {"p12", "kg/m3", &Coefficients::p12, CoefficientKind::mass, nullptr, -1, nullptr,
     "mass coupling of solid 1 and the water's flow"},
    {"p13", "kg/m3", &Coefficients::p13, CoefficientKind::mass, nullptr, -1, nullptr,
     "mass coupling of the two solids"},
    {"p22", "kg/m3", &Coefficients::p22, CoefficientKind::mass, nullptr, -1, nullptr,
     "mass of the water's flow relative to the solids"},
    {"p23", "kg/m3", &Coefficients::p23, CoefficientKind::mass, nullptr, -1, nullptr,
     "mass coupling of the water's flow and solid 3"},
    {"p33", "kg/m3", &Coefficients::p33, CoefficientKind::mass, nullptr, -1, nullptr,
     "mass of solid 3 with the water it drags"},
    {"f11", "kg/(m3 s)", &Coefficients::f11, CoefficientKind::friction, "b11_gnu", 9,
     "friction f11", "friction between the solids' relative motion, (u1 - u3).(u1' - u3')"},
    {"f12", "kg/(m3 s)", &Coefficients::f12, CoefficientKind::friction, "b12_gnu", 11,
     "friction f12", "friction coupling the solids' relative motion and the water's flow"},
    {"f22", "kg/(m3 s)", &Coefficients::f22, CoefficientKind::friction, "b22_gnu", 10,
     "friction f22", "viscous friction of the water's flow through both frames, w.w'"},
};

// The row of the legacy map of rank r (0..kCoefficientMaps-1).
constexpr const CoefficientInfo& coefficient_of_map(int r) {
  for (const CoefficientInfo& c : kCoefficientTable) {
    if (c.map_rank == r) return c;
  }
  return kCoefficientTable[0];  // not reached: every rank has its row (checked below)
}

namespace coefficient_table_checks {
constexpr bool every_rank_once() {
  for (int r = 0; r < kCoefficientMaps; ++r) {
    int n = 0;
    for (const CoefficientInfo& c : kCoefficientTable) n += c.map_rank == r;
    if (n != 1) return false;
  }
  for (const CoefficientInfo& c : kCoefficientTable) {
    if ((c.map_rank < 0) != (c.legacy_map == nullptr)) return false;
  }
  return true;
}
static_assert(every_rank_once(), "each legacy coefficient map has one rank and one row");
}  // namespace coefficient_table_checks

}  // namespace tp
