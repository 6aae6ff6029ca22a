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
  int j = 0, k = 0;                  // first cell found (k outer, j inner)
  double vp1 = 0, vp2 = 0, vp3 = 0;  // its velocities, as labelled (m/s)
};

// Adds cell (j, k), whose waves labelled P1, P2 and P3 travel at vp1, vp2
// and vp3 (m/s), to the survey s; the cells come k outer, j inner.
void note_p_labels(int j, int k, double vp1, double vp2, double vp3, LabelSurvey& s);

}  // namespace tp
