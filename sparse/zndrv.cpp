// Factorization driver: carves the one workspace into the integer arrays of
// the factor patterns and the complex arrays of their values, then runs the
// phases the path asks for. Sets flag (see zndrv.hpp) and esp.
#include "sparse/zndrv.hpp"

namespace tp {

static_assert(sizeof(cplx) == 4 * sizeof(std::int32_t),
              "the workspace split assumes four integers per complex word");

namespace {

// 1-based view starting at position `pos` of a 1-based view.
template <class T>
View1<T> at(View1<T> v, int pos) {
  return View1<T>{v.p + (pos - 1)};
}

}  // namespace

void zndrv(const int& n, View1<std::int32_t> r, View1<std::int32_t> c, View1<std::int32_t> ic,
           View1<std::int32_t> ia, View1<std::int32_t> ja, View1<cplx> a, View1<cplx> b,
           View1<cplx> z, const int& nsp, View1<std::int32_t> isp, View1<cplx> rsp, int& esp,
           const int& path, int& flag) {
  constexpr int kRatio = 4;  // 32-bit integers per complex word
  if (path < 1 || path > 5) {
    flag = 11 * n + 1;
    return;
  }
  const int np1 = n + 1;
  const int il = 1;
  const int iu = il + np1;
  const int jl = iu + np1;

  if (path == 1 || path == 5) {
    // The symbolic step does not know the fill yet: half of what is left
    // after the pointers and the two scratch lists goes to jl, the rest to
    // a temporary ju reaching to the end of the workspace.
    const int max = (kRatio * nsp + 1 - jl) - np1 - n;
    const int jlmax = max / 2;
    const int q = jl + jlmax;
    const int im = q + np1;
    const int jutmp = im + n;
    const int jumax = kRatio * nsp + 1 - jutmp;
    esp = max / kRatio;
    if (jlmax <= 0 || jumax <= 0) {
      flag = 10 * n + 1;
      return;
    }
    znsf(n, r, ic, ia, ja, at(isp, il), at(isp, jl), jlmax, at(isp, iu), at(isp, jutmp), jumax,
         at(isp, q), at(isp, im), flag);
    if (flag != 0) return;
    // Move ju down behind the final jl; the target lies below the source,
    // so copying upward in increasing order never overwrites unread entries.
    const int ju = jl + (isp(il + n) - 1);
    const int nu = isp(iu + n) - 1;
    for (int j = 0; j < nu; ++j) isp(ju + j) = isp(jutmp + j);
  }

  // Complex arrays, placed after the final integer patterns.
  const int lmax = isp(il + n) - 1;
  const int ju = jl + lmax;
  const int jumax = isp(iu + n) - 1;
  const int l = (ju + jumax + 2) / kRatio + 1;
  const int d = l + lmax;
  const int u = d + n;
  const int row = nsp + 1 - n;
  const int tmp = row - n;
  const int umax = tmp - u;
  esp = umax - jumax;

  switch (path) {
    case 1:
    case 2:
      if (umax <= 0) {
        flag = 10 * n + 1;
        return;
      }
      znnf(n, r, c, ic, ia, ja, a, z, b, at(isp, il), at(isp, jl), at(rsp, l), lmax, at(rsp, d),
           at(isp, iu), at(isp, ju), at(rsp, u), umax, at(rsp, row), at(rsp, tmp), flag);
      return;
    case 3:
      znns(n, r, c, at(isp, il), at(isp, jl), at(rsp, l), at(rsp, d), at(isp, iu), at(isp, ju),
           at(rsp, u), z, b, at(rsp, tmp));
      return;
    case 4:
      znnt(n, r, c, at(isp, il), at(isp, jl), at(rsp, l), at(rsp, d), at(isp, iu), at(isp, ju),
           at(rsp, u), z, b, at(rsp, tmp));
      return;
    default:
      return;
  }
}

}  // namespace tp
