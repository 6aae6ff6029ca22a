#include "model/makematnum.hpp"

#include "common/output.hpp"

namespace tp {

void makematnum(const int& nx, const int& ny, const IntLayers& nl, RealLayers& layer_size,
                const double& h, IntField& matnum) {
  Unit& out = std_out();
  FreeLine(out) << "nl(1), nl(2)  " << nl(1) << nl(2);

  const int period = nl(1) + nl(2);
  const int nper = period > 0 ? ny / period : 0;  // the deck reader rejects period 0
  layer_size(1) = nl(1) * h;
  layer_size(2) = nl(2) * h;

  FreeLine(out) << " domain size (m) " << ny * h;
  blank_line(out);
  FreeLine(out) << " ny = number of subintervals in y-direction " << ny;
  blank_line(out);
  FreeLine(out) << " hy = subinterval size (m) " << h;
  blank_line(out);
  FreeLine(out) << " nper = number of periods " << nper;
  blank_line(out);
  FreeLine(out) << " size of layer 1 in subintervals " << nl(1);
  blank_line(out);
  FreeLine(out) << " size of layer 1 (m) " << layer_size(1);
  blank_line(out);
  FreeLine(out) << " size of layer 2 in subintervals " << nl(2);
  blank_line(out);
  FreeLine(out) << " size of layer 2 (m) " << layer_size(2);
  blank_line(out);

  for (int p = 1; p <= nper; ++p) {
    for (int r = 1; r <= period; ++r) {
      const int k = (p - 1) * period + r;
      const int material = r <= nl(1) ? 1 : 2;
      for (int j = 1; j <= nx; ++j) matnum(j, k) = material;
    }
  }
}

}  // namespace tp
