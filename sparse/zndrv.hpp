#pragma once
// Sparse LU factorization without pivoting of a complex matrix in compressed
// sparse rows, taken in a given row and column order, and the solves with
// it. Everything lives in one caller-supplied workspace of nsp complex words
// that is also seen as 4 nsp 32-bit integers.
//
// The reordered matrix M, M(k, m) = A(r(k), c(m)), is factored as M = L U:
//   L  lower triangular with the pivots on its diagonal; its strict lower
//      part by rows in il[1..n+1], jl[1..il(n+1)-1] (ascending columns) and
//      l (entries of the partly eliminated row, not divided by the pivot);
//      the pivots as reciprocals in d[1..n];
//   U  unit upper triangular, strict upper part by rows in iu[1..n+1],
//      ju[1..iu(n+1)-1] (ascending columns) and u (already divided by the
//      pivot of its row).
//
// Integer positions in isp: il at 1, iu at n+2, jl at 2n+3, then ju right
// behind the final jl. Complex positions in rsp: l from the first word
// wholly after ju, then d, then u up to tmp; tmp and row, n words each, sit
// at the very end of the workspace.
//
// flag: 0 success; n+v empty row v of A; 2n+v column repeated in row v;
// 3n+k no room for the L pattern at row k; 4n+1 no room for the values of L;
// 5n+k diagonal missing from the pattern of row k (null pivot); 6n+k no room
// for the U pattern at row k; 7n+1 no room for the values of U; 8n+k zero
// pivot at row k; 10n+1 workspace too small; 11n+1 path not in 1..5.
#include <cstdint>

#include "common/complex.hpp"
#include "common/tables.hpp"

namespace tp {

// Solves A z = b. path 1: symbolic and numeric factorization with solve;
// 2: numeric factorization with solve on the symbolic one in the workspace;
// 3: solve with the factors in the workspace; 4: solve A^T z = b (plain
// transpose) with them; 5: symbolic factorization only. esp returns the
// complex words to spare after U (max/4 if the symbolic step fails).
void zndrv(const int& n, View1<std::int32_t> r, View1<std::int32_t> c, View1<std::int32_t> ic,
           View1<std::int32_t> ia, View1<std::int32_t> ja, View1<cplx> a, View1<cplx> b,
           View1<cplx> z, const int& nsp, View1<std::int32_t> isp, View1<cplx> rsp, int& esp,
           const int& path, int& flag);

// Symbolic factorization: the patterns il/jl of L and iu/ju of U of the
// reordered matrix, with q (n+1) and im (n) as scratch. flag 0, n+v, 2n+v,
// 3n+k, 5n+k or 6n+k.
void znsf(const int& n, View1<std::int32_t> r, View1<std::int32_t> ic, View1<std::int32_t> ia,
          View1<std::int32_t> ja, View1<std::int32_t> il, View1<std::int32_t> jl,
          const int& jlmax, View1<std::int32_t> iu, View1<std::int32_t> ju, const int& jumax,
          View1<std::int32_t> q, View1<std::int32_t> im, int& flag);

// Numeric factorization on the patterns of znsf, eliminating b on the way,
// then back substitution into z. row and tmp: n complex words each; the
// words of u past iu(n+1)-1 up to umax hold further dense rows, so that
// several rows can be eliminated together (the results do not depend on
// how many). flag 0, 4n+1, 7n+1 or 8n+k.
void znnf(const int& n, View1<std::int32_t> r, View1<std::int32_t> c, View1<std::int32_t> ic,
          View1<std::int32_t> ia, View1<std::int32_t> ja, View1<cplx> a, View1<cplx> z,
          View1<cplx> b, View1<std::int32_t> il, View1<std::int32_t> jl, View1<cplx> l,
          const int& lmax, View1<cplx> d, View1<std::int32_t> iu, View1<std::int32_t> ju,
          View1<cplx> u, const int& umax, View1<cplx> row, View1<cplx> tmp, int& flag);

// Solves A z = b with the factors of znnf (forward, then back substitution).
void znns(const int& n, View1<std::int32_t> r, View1<std::int32_t> c, View1<std::int32_t> il,
          View1<std::int32_t> jl, View1<cplx> l, View1<cplx> d, View1<std::int32_t> iu,
          View1<std::int32_t> ju, View1<cplx> u, View1<cplx> z, View1<cplx> b,
          View1<cplx> tmp);

// Solves A^T z = b (transpose, no conjugation) with the factors of znnf.
void znnt(const int& n, View1<std::int32_t> r, View1<std::int32_t> c, View1<std::int32_t> il,
          View1<std::int32_t> jl, View1<cplx> l, View1<cplx> d, View1<std::int32_t> iu,
          View1<std::int32_t> ju, View1<cplx> u, View1<cplx> z, View1<cplx> b,
          View1<cplx> tmp);

// Back substitution with U shared by znnf and znns: tmp holds the forward
// solution on entry and the solution in the new order on return; z(c(k))
// receives its entry k.
void zn_back_substitution(const int& n, View1<std::int32_t> c, View1<std::int32_t> iu,
                          View1<std::int32_t> ju, View1<cplx> u, View1<cplx> z,
                          View1<cplx> tmp);

}  // namespace tp
