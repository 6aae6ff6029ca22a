#pragma once
// Whether the closed-form compressional waves' labels follow their speeds.
// The analysis calls P3 the third root of its cubic whatever its speed, so
// at high frequency or with little of one solid, "vp3" can exceed vp2 or
// even vp1 and the table of the fast P wave records a slower one.
#include "common/tables.hpp"

namespace tp {

// Cells where the third compressional root is faster than the wave labelled
// P2 (and how many of them faster than P1), with the first such cell.
struct LabelSurvey {
  int cells = 0, faster_than_p1 = 0;
  int j = 0, k = 0;     // first cell found (k outer, j inner)
  double vp1 = 0, vp2 = 0, vp3 = 0;  // its velocities, as labelled (m/s)
};

// Surveys every cell of the nx by ny grid at omega (rad/s).
void survey_p_labels(int nx, int ny, const double& omega, const Coefficients& co,
                     LabelSurvey& s);

}  // namespace tp
