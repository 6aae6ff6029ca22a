// Ordering driver of the sparse solver: minimum-degree order of the global
// system (path 1, the one the run takes) and, for symmetric matrices stored
// by one triangle, the reordering that puts every entry in the upper
// triangle of the new order (paths 2 to 5).
#include "sparse/zodrv.hpp"

#include <cstdint>

namespace tp {

// Splits isp for the ordering (v, l of max = (nsp-n)/2 slots each, then the
// n degree-list heads; the tags share v's first n words) and for zsro (its
// two work arrays at the top of isp). Fills p, ip; flag as in the header.
void zodrv(const int& n, View1<std::int32_t> ia, View1<std::int32_t> ja, View1<cplx> a,
           View1<std::int32_t> p, View1<std::int32_t> ip, const int& nsp, View1<std::int32_t> isp,
           const int& path, int& flag, const Progress* progress) {
  flag = 0;
  if (path < 1 || path > 5) {
    flag = 11 * n + 1;
    return;
  }

  if (path == 1 || path == 2 || path == 4) {
    const int max = (nsp - n) / 2;
    if (max < n) {
      flag = 10 * n + 1;
      return;
    }
    const View1<std::int32_t> v{isp.p};
    const View1<std::int32_t> l{isp.p + max};
    const View1<std::int32_t> head{isp.p + 2 * max};
    md(n, ia, ja, max, v, l, head, p, ip, v, flag, progress);
    if (flag != 0) return;
  }

  if (path >= 2) {
    const int tmp = nsp + 1 - n;
    const int q = tmp - (ia(n + 1) - 1);
    if (q < 1) {
      flag = 10 * n + 1;
      return;
    }
    const bool dflag = (path == 4 || path == 5);
    zsro(n, ip, ia, ja, a, View1<std::int32_t>{isp.p + (tmp - 1)},
         View1<std::int32_t>{isp.p + (q - 1)}, dflag);
  }
}

}  // namespace tp
