#include "planewave/wave_order.hpp"

namespace tp {

void note_p_labels(int j, int k, double vp1, double vp2, double vp3, LabelSurvey& s) {
  if (!(vp3 > vp2)) return;
  if (s.cells++ == 0) s = LabelSurvey{1, 0, j, k, vp1, vp2, vp3};
  if (vp3 > vp1) ++s.faster_than_p1;
}

}  // namespace tp
