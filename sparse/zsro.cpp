// Symmetric reordering of a complex matrix stored by one triangle: after it,
// each entry lies in the upper triangle of the order given by ip, so that the
// matrix can be factored row by row in that order without a transpose.
#include <cstdint>
#include <utility>

#include "sparse/zodrv.hpp"

namespace tp {

// Moves entry (i, k) with ip(k) < ip(i) to (k, i), regroups ja and a by rows
// (rows themselves keep their numbers) and rebuilds ia; with dflag the first
// diagonal entry of each row, counted from the end, goes to the row's front.
// q[1..n] and r[1..ia(n+1)-1] are work arrays.
void zsro(const int& n, View1<std::int32_t> ip, View1<std::int32_t> ia, View1<std::int32_t> ja,
          View1<cplx> a, View1<std::int32_t> q, View1<std::int32_t> r, const bool& dflag) {
  const int nnz = ia(n + 1) - 1;

  // 1. destination row of each entry, and the number of entries per row
  for (int i = 1; i <= n; ++i) q(i) = 0;
  for (int i = 1; i <= n; ++i) {
    const int jmin = ia(i);
    const int jmax = ia(i + 1) - 1;
    for (int j = jmin; j <= jmax; ++j) {
      const int k = ja(j);
      if (ip(k) < ip(i)) {
        ja(j) = i;
        r(j) = k;
      } else {
        r(j) = i;
      }
      q(r(j)) = q(r(j)) + 1;
    }
  }

  // 2. new row starts; q(i) becomes the end of row i, filled backwards. A
  // row whose diagonal has been placed at its front carries q(i) negated.
  for (int i = 1; i <= n; ++i) {
    ia(i + 1) = ia(i) + q(i);
    q(i) = ia(i + 1);
  }
  for (int j = nnz; j >= 1; --j) {
    const int i = r(j);
    if (dflag && ja(j) == i && q(i) > 0) {
      r(j) = ia(i);
      q(i) = -q(i);
    } else if (q(i) > 0) {
      q(i) = q(i) - 1;
      r(j) = q(i);
    } else {
      q(i) = q(i) + 1;
      r(j) = -q(i);
    }
  }

  // 3. entry j goes to position r(j): apply the permutation by exchanges
  // along its cycles.
  for (int j = 1; j <= nnz; ++j) {
    while (r(j) != j) {
      const int k = r(j);
      std::swap(ja(j), ja(k));
      std::swap(a(j), a(k));
      r(j) = r(k);
      r(k) = k;
    }
  }
}

}  // namespace tp
