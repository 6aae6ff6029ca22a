// Symbolic LU factorization of the reordered matrix: fills the row patterns
// il/jl of L and iu/ju of U (flag 0, n+v, 2n+v, 3n+k, 5n+k or 6n+k), and
// finds the groups of consecutive U rows that share one pattern.
#include "sparse/zndrv.hpp"

namespace tp {

// Each row's pattern is built in q, a linked list ordered by column whose
// head and end marker is n+1. The row of A is linked in, then every L column
// m < k found in the list brings in the pattern of U row m. The merge of row
// m stops at im(m): once some row k has found column k in U row m, every
// later row with m in its L pattern receives the columns of row m beyond k
// through row k itself, so reading them again would only find them present.
int znsf(const SparseRows& a, View1<std::int32_t> r, View1<std::int32_t> ic, View1<std::int32_t> il,
         View1<std::int32_t> jl, const int& jlmax, View1<std::int32_t> iu, View1<std::int32_t> ju,
         const int& jumax, View1<std::int32_t> q, View1<std::int32_t> im) {
  const int n = a.n;
  const auto& ia = a.ia;
  const auto& ja = a.ja;
  const int np1 = n + 1;
  int nl = 0;  // L column indices stored so far
  int nu = 0;  // U column indices stored so far
  il(1) = 1;
  iu(1) = 1;

  for (int k = 1; k <= n; ++k) {
    // 1-3. The reordered row k: row v of A in the new column numbers.
    q(np1) = np1;
    const int v = r(k);
    if (ia(v) >= ia(v + 1)) {
      return n + v;
    }
    // The search for the place of j starts at the column linked in just
    // before when that one lies left of j: the list is ordered, so the place
    // found is the same as from the head.
    int prev = np1;
    for (int e = ia(v); e < ia(v + 1); ++e) {
      const int j = ic(ja(e));
      int m = prev < j ? prev : np1;
      while (q(m) < j) m = q(m);
      if (q(m) == j) {
        return 2 * n + v;
      }
      q(j) = q(m);
      q(m) = j;
      prev = j;
    }

    // 4. Columns left of the diagonal, in ascending order: each goes to L
    // and merges its (pruned) U row into the list.
    int m = q(np1);
    for (; m < k; m = q(m)) {
      // Room is checked before the store: the next integer past ju is
      // beyond the workspace.
      if (nl + 1 > jlmax) {
        return 3 * n + k;
      }
      jl(++nl) = m;
      int from = m;
      const int last = im(m);
      for (int t = iu(m); t <= last; ++t) {
        const int x = ju(t);
        if (x == k) im(m) = t;
        while (q(from) < x) from = q(from);
        if (q(from) != x) {
          q(x) = q(from);
          q(from) = x;
        }
        from = x;
      }
    }

    // 5. The diagonal must be in the pattern.
    if (m != k) {
      return 5 * n + k;
    }

    // 6. Columns right of the diagonal go to U.
    for (int x = q(k); x != np1; x = q(x)) {
      if (nu + 1 > jumax) {
        return 6 * n + k;
      }
      ju(++nu) = x;
    }

    // 7. Row pointers; U row k is merged in full until a later row prunes it.
    im(k) = nu;
    il(k + 1) = nl + 1;
    iu(k + 1) = nu + 1;
  }
  return 0;
}

}  // namespace tp

namespace tp {

namespace {

// True when U row j is column j+1 followed by the whole pattern of U row j+1.
bool continues_group(View1<std::int32_t> iu, View1<std::int32_t> ju, int j) {
  const int len = iu(j + 1) - iu(j);
  const int next = iu(j + 2) - iu(j + 1);
  if (len != next + 1 || ju(iu(j)) != j + 1) return false;
  for (int t = 0; t < next; ++t)
    if (ju(iu(j) + 1 + t) != ju(iu(j + 1) + t)) return false;
  return true;
}

}  // namespace

// Groups of consecutive U rows with one shared pattern past the group, cut
// every kMaxGroup rows; fills last[1..n] with the last row of each row's
// group. Any run of consecutive rows inside a group is a group as well, so
// the numeric factorization may use a part of one.
void znsn(int n, View1<std::int32_t> iu, View1<std::int32_t> ju, View1<std::int32_t> last) {
  // First pass: the first row of each row's group, kept in last.
  int first = 1;
  for (int j = 1; j <= n; ++j) {
    if (j > first && (j - first == kMaxGroup || !continues_group(iu, ju, j - 1))) first = j;
    last(j) = first;
  }
  // Second pass, backward: the rows down to a group's first row share its
  // last row; the row before that first row ends the group below.
  int end = n;
  for (int j = n; j >= 1; --j) {
    const int start = last(j);
    last(j) = end;
    if (j == start) end = j - 1;
  }
}

}  // namespace tp
