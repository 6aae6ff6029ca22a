#pragma once
// Minimum-degree ordering of the global system and the symmetric reordering
// of a matrix stored by its upper triangle. The ordering runs in a slice of
// the solver workspace seen as 32-bit integers; nothing is allocated.
#include <cstdint>

#include "common/complex.hpp"
#include "common/progress.hpp"
#include "common/tables.hpp"

namespace tp {

// Ordering driver. path 1: minimum-degree order of the graph of the strict
// upper triangle of (ia, ja) into p and its inverse ip; 2: the same, then
// zsro; 3: zsro with the p, ip given; 4 and 5: as 2 and 3 with each row's
// diagonal moved to the front. flag: 0, 9n+vi (list storage full at row vi),
// 10n+1 (workspace too small), 11n+1 (path not 1..5).
//   ia[1..n+1], ja[1..nnz], a[1..nnz]: the matrix (rewritten by paths 2..5)
//   p[1..n], ip[1..n]: new order and its inverse, p(ip(i)) = i
//   isp[1..nsp]: integer workspace
void zodrv(const int& n, View1<std::int32_t> ia, View1<std::int32_t> ja, View1<cplx> a,
           View1<std::int32_t> p, View1<std::int32_t> ip, const int& nsp, View1<std::int32_t> isp,
           const int& path, int& flag, const Progress* progress = nullptr);

// Minimum-degree ordering with element absorption, mass elimination and
// prototype/duplicate vertices. Fills last = p and next = ip; flag 9n+vi if
// the max list slots do not hold the graph. progress, when given, hears of
// the vertices numbered every few thousand.
//   v[1..max], l[1..max]: list entries (value, link); slots 1..n are heads
//   head[1..n]: degree lists, list d holding the vertices of degree d-1
//   mark[1..n]: tags and overlap counts (the caller may share it with v)
void md(const int& n, View1<std::int32_t> ia, View1<std::int32_t> ja, const int& max,
        View1<std::int32_t> v, View1<std::int32_t> l, View1<std::int32_t> head,
        View1<std::int32_t> last, View1<std::int32_t> next, View1<std::int32_t> mark, int& flag,
        const Progress* progress = nullptr);

// Symmetric reordering of a matrix stored by one triangle: moves each entry
// (i, k) with ip(k) < ip(i) to (k, i), so that every entry lies in the upper
// triangle of the new order, and regroups ja and a by rows; rows are not
// permuted. dflag puts each row's diagonal entry first.
//   q[1..n], r[1..nnz]: work arrays, nnz = ia(n+1) - 1
void zsro(const int& n, View1<std::int32_t> ip, View1<std::int32_t> ia, View1<std::int32_t> ja,
          View1<cplx> a, View1<std::int32_t> q, View1<std::int32_t> r, const bool& dflag);

}  // namespace tp
