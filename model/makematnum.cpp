#include "model/makematnum.hpp"

namespace tp {

int makematnum(const Deck& d, Sample& s) {
  const IntLayers& nl = d.nl;
  const int period = nl(1) + nl(2);
  const int nper = period > 0 ? s.grid.ny / period : 0;  // the deck reader rejects period 0
  for (int p = 1; p <= nper; ++p) {
    for (int r = 1; r <= period; ++r) {
      const int k = (p - 1) * period + r;
      const int material = r <= nl(1) ? 1 : 2;
      for (int j = 1; j <= s.grid.nx; ++j) s.matnum(j, k) = material;
    }
  }
  return nper;
}

double layer_thickness(const Deck& d, int layer) { return d.nl(layer) * d.h; }

int layer_of_row(const IntLayers& nl, int k) { return (k - 1) % (nl(1) + nl(2)) < nl(1) ? 1 : 2; }

}  // namespace tp
