// Symbolic factorization of a matrix whose pattern is symmetric, along its
// elimination tree: the patterns of znsf, found in time proportional to the
// fill instead of one linked-list walk per merged U row.
#include <algorithm>
#include <vector>

#include "sparse/zndrv.hpp"

namespace tp {

namespace {

// True when rows and columns are reordered alike: then the reordered matrix
// has a symmetric pattern exactly when A has.
bool same_order(const int n, View1<std::int32_t> r, View1<std::int32_t> c) {
  for (int k = 1; k <= n; ++k)
    if (r(k) != c(k)) return false;
  return true;
}

// True when every row of A holds its diagonal, no column twice, and the
// pattern is symmetric: (v, w) stored exactly when (w, v) is. A row-stamp
// catches the repeats; the transposed pattern, row by row, is then the
// columns, and each column must hold exactly the entries of its row.
bool symmetric_pattern(const SparseRows& a) {
  const int n = a.n;
  const auto &ia = a.ia, &ja = a.ja;
  std::vector<std::int32_t> stamp(n + 1, 0), start(n + 2, 0);
  for (int v = 1; v <= n; ++v) {
    bool diagonal = false;
    for (int e = ia(v); e < ia(v + 1); ++e) {
      const int w = ja(e);
      if (w < 1 || w > n || stamp[w] == v) return false;
      stamp[w] = v;
      diagonal = diagonal || w == v;
      ++start[w + 1];
    }
    if (!diagonal) return false;
  }
  for (int w = 1; w <= n; ++w) {
    if (start[w + 1] != ia(w + 1) - ia(w)) return false;
    start[w + 1] += start[w];
  }
  std::vector<std::int32_t> rows_of(static_cast<std::size_t>(ia(n + 1) - 1));
  for (int v = 1; v <= n; ++v)
    for (int e = ia(v); e < ia(v + 1); ++e) rows_of[start[ja(e)]++] = v;
  // start[w] now ends column w; column w begins where column w-1 ended.
  for (int w = 1; w <= n; ++w) {
    for (int e = ia(w); e < ia(w + 1); ++e) stamp[ja(e)] = -w;
    for (int t = start[w - 1]; t < start[w]; ++t)
      if (stamp[rows_of[t]] != -w) return false;
  }
  return true;
}

// out = the union of the sorted lists x and y, sorted, each column once.
int merge_sorted(const std::int32_t* x, int nx, const std::int32_t* y, int ny, std::int32_t* out) {
  int i = 0, j = 0, m = 0;
  while (i < nx && j < ny) {
    const std::int32_t a = x[i], b = y[j];
    out[m++] = a < b ? a : b;
    i += a <= b;
    j += b <= a;
  }
  while (i < nx) out[m++] = x[i++];
  while (j < ny) out[m++] = y[j++];
  return m;
}

}  // namespace

// U row j of the reordered matrix M: the columns right of j in row j of M,
// merged with the U rows of j's children in the elimination tree (the rows
// whose first U column is j), each without that first column. With the same
// order for rows and columns the pattern of L is the transpose of that of U,
// so L row k lists, in ascending order, the rows j whose U row holds k.
int zn_symbolic_tree(const SparseRows& a, View1<std::int32_t> r, View1<std::int32_t> c,
                     View1<std::int32_t> ic, PatternRoom& room) {
  const int n = a.n;
  if (!same_order(n, r, c) || !symmetric_pattern(a)) return kNotSymmetric;
  const auto &ia = a.ia, &ja = a.ja;
  std::vector<std::int32_t> first_child(n + 1, 0), next_child(n + 1, 0);
  std::vector<std::int32_t> merged(n), other(n);
  std::int64_t nu = 0;
  room.iu(1) = 1;
  for (int j = 1; j <= n; ++j) {
    // Columns right of the diagonal in row j of M, sorted by insertion (a
    // row of A holds a few dozen entries).
    int len = 0;
    const int v = r(j);
    for (int e = ia(v); e < ia(v + 1); ++e) {
      const int x = ic(ja(e));
      if (x <= j) continue;
      int p = len++;
      for (; p > 0 && merged[p - 1] > x; --p) merged[p] = merged[p - 1];
      merged[p] = x;
    }
    // Every child but the last merged into the buffers, the last straight
    // into ju.
    int last_child = 0;
    for (int ch = first_child[j]; ch != 0; ch = next_child[ch]) {
      if (last_child != 0) {
        len = merge_sorted(merged.data(), len, &room.ju(room.iu(last_child) + 1),
                           room.iu(last_child + 1) - room.iu(last_child) - 1, other.data());
        merged.swap(other);
      }
      last_child = ch;
    }
    const int tail_len = last_child == 0 ? 0 : room.iu(last_child + 1) - room.iu(last_child) - 1;
    if (nu + len + tail_len > room.jumax) {
      const std::int64_t need = nu + len + tail_len;
      if (room.grow_ju == nullptr || need > kMaxPatternEntries) return kNoRoom;
      room.grow_ju->resize(std::min<std::int64_t>(std::max(2 * nu, need), kMaxPatternEntries));
      room.ju = View1<std::int32_t>{room.grow_ju->data()};
      room.jumax = static_cast<std::int64_t>(room.grow_ju->size());
    }
    std::int32_t* const row = &room.ju(static_cast<int>(nu + 1));
    if (last_child != 0)
      len = merge_sorted(merged.data(), len, &room.ju(room.iu(last_child) + 1), tail_len, row);
    else
      std::copy(merged.begin(), merged.begin() + len, row);
    nu += len;
    room.iu(j + 1) = static_cast<std::int32_t>(nu + 1);
    if (len > 0) {
      next_child[j] = first_child[row[0]];
      first_child[row[0]] = j;
    }
  }

  // L by rows, the transpose of U: as many entries, counted per column of U.
  if (nu > room.jlmax) {
    if (room.grow_jl == nullptr) return kNoRoom;
    room.grow_jl->resize(std::max<std::int64_t>(nu, 1));
    room.jl = View1<std::int32_t>{room.grow_jl->data()};
    room.jlmax = nu;
  }
  // U row i is column i+1 followed by U row i+1 exactly when its first
  // column is i+1 and U row i+1 is one entry shorter: a parent's row holds
  // its child's row without the first column, so equal counts mean equal
  // sets. In a run j..e of such rows U row i holds i+1..e and then U row e:
  // L row k (j < k <= e) takes j..k-1 from the run and each column of U row
  // e takes j..e, so L is written a run of consecutive rows at a time.
  const auto run_end = [&room, n](int j) {
    int e = j;
    while (e < n && room.iu(e + 1) > room.iu(e) && room.ju(room.iu(e)) == e + 1 &&
           room.iu(e + 2) - room.iu(e + 1) == room.iu(e + 1) - room.iu(e) - 1)
      ++e;
    return e;
  };
  std::vector<std::int32_t>& fill = other;  // entries, then next free place, of each L row
  std::fill(fill.begin(), fill.end(), 0);
  for (int j = 1, e = 0; j <= n; j = e + 1) {
    e = run_end(j);
    for (int k = j + 1; k <= e; ++k) fill[k - 1] += k - j;
    for (int t = room.iu(e); t < room.iu(e + 1); ++t) fill[room.ju(t) - 1] += e - j + 1;
  }
  room.il(1) = 1;
  for (int k = 1; k <= n; ++k) {
    room.il(k + 1) = room.il(k) + fill[k - 1];
    fill[k - 1] = room.il(k);
  }
  for (int j = 1, e = 0; j <= n; j = e + 1) {
    e = run_end(j);
    for (int k = j + 1; k <= e; ++k)
      for (int i = j; i < k; ++i) room.jl(fill[k - 1]++) = i;
    for (int t = room.iu(e); t < room.iu(e + 1); ++t) {
      std::int32_t* const to = &room.jl(fill[room.ju(t) - 1]);
      for (int i = j; i <= e; ++i) to[i - j] = i;
      fill[room.ju(t) - 1] += e - j + 1;
    }
  }
  return 0;
}

}  // namespace tp
