#pragma once
// Sparse LU factorization without pivoting of a complex matrix in compressed
// sparse rows, in three phases on one factor object: analyse (the symbolic
// factorization of the matrix in a given row and column order), factor and
// solve. The minimum-degree order itself comes from zn_order.
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
// Storage. Given a workspace of nsp complex words (the program's fixed one
// for samples within 60 by 60 cells), everything lives in it, seen also as
// 4 nsp 32-bit integers: il at 1, iu at n+2, jl at 2n+3, then ju right
// behind the final jl; l from the first complex word wholly after ju, then
// d, then u up to tmp; tmp and row, n words each, at the very end. Without
// a workspace the factor sizes its own storage from what the symbolic
// factorization measured: patterns in their own integer arrays, values
// allocated once by zn_factor, with room for seven more dense rows after U.
//
// flag: 0 success; n+v empty row v of A; 2n+v column repeated in row v;
// 3n+k no room for the L pattern at row k; 4n+1 no room for the values of L;
// 5n+k diagonal missing from the pattern of row k (null pivot); 6n+k no room
// for the U pattern at row k; 7n+1 no room for the values of U; 8n+k zero
// pivot at row k; 9n+vi ordering lists full at vertex vi; 10n+1 workspace
// too small.
#include <cstdint>
#include <vector>

#include "common/complex.hpp"
#include "common/progress.hpp"
#include "common/tables.hpp"

namespace tp {

// The matrix A by rows: ia[1..n+1] row starts, ja[1..nnz] columns, a[1..nnz].
struct SparseRows {
  int n = 0;
  View1<std::int32_t> ia, ja;
  View1<cplx> a;
};

// Pattern positions (il, iu, jl, ju) are 32-bit: a factor whose L or U
// pattern would hold more entries than this is refused (flag 3n+k or 6n+k,
// with SparseFactor::beyond_32bit set).
constexpr std::int64_t kMaxPatternEntries = 2147483647 - 1;

// Dense rows the numeric factorization eliminates together (see znnf).
constexpr int kFactorBlock = 8;

// U rows in one group of rows with a shared column pattern at most: the
// multipliers of a group for a block of dense rows stay in a small table.
constexpr int kMaxGroup = 32;

// Vector width of the factorization's kernels, in doubles: 2 (any
// processor), 4 (AVX) or 8 (AVX-512F).
enum class KernelWidth { pairs = 2, quads = 4, octs = 8 };

// Words a self-sized factor of order n with lnz entries in strict L and unz
// in strict U holds: 32-bit integers of the patterns and of the groups of U
// rows, the per-row work counts, complex words of l, d, u with its spare dense rows, row and tmp,
// and the bytes of both. 64-bit throughout: the counts of a large grid pass
// 2^31 long before its factors stop fitting in memory.
struct FactorStorage {
  std::int64_t ints = 0;    // il, iu, group_last (n+1 each), jl (lnz), ju (unz)
  std::int64_t counts = 0;  // 64-bit cumulative multiply-adds, n+1
  std::int64_t words = 0;   // l, d, u + (kFactorBlock-1) n spare, row, tmp
  std::int64_t bytes = 0;
};
FactorStorage factor_storage(std::int64_t n, std::int64_t lnz, std::int64_t unz);

// Integer slots the minimum-degree ordering of an order-n matrix with nnz
// stored entries needs: two lists of n + 2 nnz + 2 slots and n heads.
std::int64_t ordering_ints(std::int64_t n, std::int64_t nnz);

// The factor of one matrix and everything its phases keep. The orders r, c
// and the inverse ic of c belong to the caller.
struct SparseFactor {
  int n = 0;
  View1<std::int32_t> r, c, ic;

  // The caller's workspace (nsp complex words), or none: then own_* hold it.
  cplx* space = nullptr;
  int nsp = 0;
  std::vector<std::int32_t> own_il, own_iu, own_jl, own_ju;
  Array1<cplx> own_words;

  // The factors (see the top of this header) and their lengths.
  View1<std::int32_t> il, iu, jl, ju;
  View1<cplx> l, d, u, row, tmp;
  int lnz = 0, unz = 0;    // il(n+1)-1, iu(n+1)-1
  int lmax = 0, umax = 0;  // words given to l and to u (with spare rows)
  // Complex words to spare after U (max/4 of the symbolic step's split if it
  // fails in a workspace): the "ESP=" of a failed run.
  int esp = 0;
  bool beyond_32bit = false;  // a pattern would pass kMaxPatternEntries

  // work_to[k], k = 0..n: complex multiply-adds of the elimination of rows
  // 1..k: for every L entry (k, j), one per entry of U row j.
  std::vector<std::int64_t> work_to;

  // group_last[j], j = 1..n: the last row of the group of consecutive U rows
  // holding row j, in which U row i is column i+1 followed by the pattern of
  // U row i+1 (so all share the pattern past the group); at most kMaxGroup
  // rows a group.
  std::vector<std::int32_t> group_last;

  // Widest vectors the numeric factorization may use where the processor
  // runs them: the results are the same bit for bit at every width.
  KernelWidth widest_kernels = KernelWidth::octs;

  // Called every few hundred rows by zn_factor when set.
  const Progress* progress = nullptr;
};

// Binds f to the order of n, the orders r, c and ic, and the workspace
// (nsp words at space) or, with nsp = 0, to storage sized by the phases.
void zn_init(SparseFactor& f, int n, View1<std::int32_t> r, View1<std::int32_t> c,
             View1<std::int32_t> ic, cplx* space, int nsp);

// Minimum-degree order of the graph of the strict upper triangle of A into
// p and its inverse ip, in the workspace (its first nsp integers) or in
// storage of its own when nsp = 0. Returns 0, 9n+vi or 10n+1.
int zn_order(const SparseRows& a, View1<std::int32_t> p, View1<std::int32_t> ip, cplx* space,
             int nsp, const Progress* progress);

// Symbolic factorization: the patterns of L and U, their counts and the work
// of each row. Returns 0, n+v, 2n+v, 3n+k, 5n+k, 6n+k or 10n+1; sets f.esp.
int zn_analyse(SparseFactor& f, const SparseRows& a);

// Bytes the numeric factorization will hold once zn_analyse has passed:
// the patterns and the values it allocates (in a workspace only the per-row
// work counts and groups, which live outside it).
std::int64_t zn_memory_bytes(const SparseFactor& f);

// Numeric factorization on the analysed patterns. Returns 0, 4n+1, 7n+1,
// 8n+k or 10n+1; sets f.esp.
int zn_factor(SparseFactor& f, const SparseRows& a);

// Solves A z = b, or A^T z = b (plain transpose, no conjugation), with the
// factors; b[1..n], z[1..n].
void zn_solve(SparseFactor& f, View1<cplx> b, View1<cplx> z);
void zn_solve_transposed(SparseFactor& f, View1<cplx> b, View1<cplx> z);

// ||A z - b|| / ||b|| in the 2-norm, b[1..n], z[1..n].
double zn_residual(const SparseRows& a, View1<cplx> z, View1<cplx> b);

// Kernels of the phases.

// Symbolic factorization: fills the patterns il/jl of L and iu/ju of U of
// the reordered matrix, with q (n+1) and im (n) as scratch. Returns 0, n+v,
// 2n+v, 3n+k, 5n+k or 6n+k.
int znsf(const SparseRows& a, View1<std::int32_t> r, View1<std::int32_t> ic, View1<std::int32_t> il,
         View1<std::int32_t> jl, const int& jlmax, View1<std::int32_t> iu, View1<std::int32_t> ju,
         const int& jumax, View1<std::int32_t> q, View1<std::int32_t> im);

// Where zn_symbolic_tree writes the patterns: il and iu (n+1 each), jl and
// ju with room for jlmax and jumax entries. A vector given in grow_jl or
// grow_ju is enlarged as needed (storage sized by the analysis); without
// one, running out of room ends the call with kNoRoom.
struct PatternRoom {
  View1<std::int32_t> il, iu, jl, ju;
  std::int64_t jlmax = 0, jumax = 0;
  std::vector<std::int32_t>* grow_jl = nullptr;
  std::vector<std::int32_t>* grow_ju = nullptr;
};

// Results of zn_symbolic_tree besides 0: the matrix is not one it handles
// (rows and columns in different orders, a pattern that is not symmetric, a
// row without its diagonal or with a column twice), or the patterns do not
// fit the room given. znsf then runs, with its own flags.
constexpr int kNotSymmetric = -1;
constexpr int kNoRoom = -2;

// Symbolic factorization of a structurally symmetric matrix reordered alike
// by rows and columns, along its elimination tree: the same il, jl, iu and
// ju as znsf, in time proportional to the fill. Returns 0, kNotSymmetric or
// kNoRoom.
int zn_symbolic_tree(const SparseRows& a, View1<std::int32_t> r, View1<std::int32_t> c,
                     View1<std::int32_t> ic, PatternRoom& room);

// Groups of consecutive U rows sharing one column pattern, from the
// patterns iu/ju of znsf: fills last[1..n] (see SparseFactor::group_last).
void znsn(int n, View1<std::int32_t> iu, View1<std::int32_t> ju, View1<std::int32_t> last);

// Numeric factorization on the patterns of znsf into l, d and u; the words
// of u past iu(n+1)-1 up to umax hold further dense rows, so that several
// rows can be eliminated together (the results do not depend on how many).
// Returns 0, 4n+1, 7n+1 or 8n+k.
int znnf(SparseFactor& f, const SparseRows& a);

// Forward elimination with L and its pivots, then back substitution with U:
// z = A^-1 b, through f.tmp.
void znns(SparseFactor& f, View1<cplx> b, View1<cplx> z);

// z = A^-T b: U^T forward by columns, then L^T backward with the pivots.
void znnt(SparseFactor& f, View1<cplx> b, View1<cplx> z);

}  // namespace tp
