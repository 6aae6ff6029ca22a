// Numeric LU factorization on the patterns of znsf, row by row, into the
// factor's l, d and u. Returns 0, 4n+1 (l too short), 7n+1 (u too short) or
// 8n+k (zero pivot).
#include <algorithm>
#include <climits>

#include "sparse/zn_complex.hpp"
#include "sparse/zn_group_kernels.hpp"
#include "sparse/zndrv.hpp"

namespace tp {

namespace {

// Rows eliminated together: each U row read from memory serves every row of
// the block that needs it while it is still in the cache.
constexpr int kBlock = kFactorBlock;

// Blocks of rows between two progress reports.
constexpr int kBlocksPerReport = 64;

// A multiplier x of the one-U-row elimination as the two pairs (xr, xr)
// and (-xi, xi): then
//   (xr, xr) (ur, ui) + (-xi, xi) (ui, ur) = (xr ur - xi ui, xr ui + xi ur),
// the rounding of the complex product x u, since a + (-b) is a - b exactly.
struct Multiplier {
  Pair re, im;
};

inline Multiplier multiplier(const cplx& x) {
  return {Pair{x.real(), x.real()}, Pair{-x.imag(), x.imag()}};
}

// w(col) = w(col) - x u(t) for the entries t = first..last of one U row, in
// each of the m dense rows w[0..m-1] with its own multiplier x[0..m-1]; the
// U entry is read once for all of them. w holds column col at w[2 col - 2],
// w[2 col - 1].
template <int m>
inline void eliminate(double* const* w, const Multiplier* x, const double* uw,
                      const std::int32_t* jup, const int first, const int last) {
  for (int tu = first; tu <= last; ++tu) {
    const long off = 2L * (jup[tu - 1] - 1);
    const Pair uv = load(uw + 2 * (tu - 1));
    const Pair us = {uv[1], uv[0]};  // (ui, ur)
    for (int i = 0; i < m; ++i) {
      double* e = w[i] + off;
      store(e, load(e) - (x[i].re * uv + x[i].im * us));
    }
  }
}

// The dense rows of a block whose next L column lies in the group of U rows
// j..e, all finished before the block. Row i enters it at its next column
// s_i and then holds every column s_i..e in L (each U row of the group
// brings in the next). Triangular step, per row: the multipliers x = w(jj)
// for jj = s_i..e, each after the updates of the U rows before it inside
// the group; rectangular step: the shared pattern, rows with one entry
// point together.
struct GroupStep {
  const SparseFactor& f;
  double* const* dense;  // dense row i at dense[i], column c at 2c-2
  int* next;             // next L position of each row
  const int* end;        // end of each row's L positions
  GroupKernels kernels;  // of the widest vectors allowed and run here
};

void eliminate_group(const GroupStep& g, const int from, const int nb, const int j, const int e) {
  const auto iu = g.f.iu, jl = g.f.jl;
  const auto l = g.f.l;
  const double* uw = zn_parts(g.f.u(1));
  const std::int32_t* jup = &g.f.ju(1);
  double xs[kBlock][2 * kMaxGroup];  // row i's multipliers, real and imaginary parts
  const double* urow[kMaxGroup];     // U row jj's shared part at urow[jj - j]
  for (int jj = j; jj <= e; ++jj) urow[jj - j] = uw + 2L * (iu(jj) + (e - jj) - 1);
  // The U rows of the group lie far apart: fetch the heads that the
  // triangular step and the first tiles read, while the rows are set up.
  for (int jj = j; jj <= e; ++jj)
    for (const double* p = uw + 2L * (iu(jj) - 1); p < urow[jj - j] + 2 * kAhead; p += 8)
      __builtin_prefetch(p);
  int start[kBlock];
  int pending = 0;  // rows still to update
  for (int i = from; i < nb; ++i) {
    start[i] = 0;
    if (g.next[i] == g.end[i] || jl(g.next[i]) > e) continue;
    start[i] = jl(g.next[i]);
    ++pending;
  }
  // Triangular step, U row after U row across the rows (independent chains
  // of updates the processor overlaps). Inside the group U row jj holds
  // columns jj+1..e first, side by side in u as in the dense row.
  for (int jj = j; jj <= e; ++jj) {
    const double* ut = uw + 2L * (iu(jj) - 1);
    for (int i = from; i < nb; ++i) {
      if (start[i] == 0 || start[i] > jj) continue;
      double* w = g.dense[i];
      const Pair xv = load(w + 2 * jj - 2);
      l(g.next[i]++) = cplx(xv[0], xv[1]);
      double* x = xs[i] + 2 * (jj - start[i]);
      store(x, xv);
      g.kernels.row_update(w + 2 * jj, x, ut, e - jj);
    }
  }
  const std::int32_t* cols = jup + iu(e) - 1;
  const int nt = iu(e + 1) - iu(e);
  while (pending > 0) {
    // The rows entering at the first remaining entry point, four, two or one
    // at a time.
    int s = INT_MAX;
    for (int i = from; i < nb; ++i)
      if (start[i] != 0) s = std::min(s, start[i]);
    double* ws[kBlock];
    const double* xp[kBlock];
    int m = 0;
    for (int i = from; i < nb; ++i) {
      if (start[i] != s) continue;
      ws[m] = g.dense[i];
      xp[m] = xs[i];
      ++m;
      start[i] = 0;
    }
    pending -= m;
    g.kernels.rectangle(GroupBlock{ws, xp, m, urow + (s - j), e - s + 1, cols, nt});
  }
}

}  // namespace

// The rows are eliminated in blocks of up to kBlock consecutive rows, each in
// its own dense row, walking the union of their L patterns in ascending
// column order. Every row still takes its updates in ascending column order
// with multipliers read after all earlier updates, exactly as one row at a
// time would, so the factors and the solution are the same bit for bit; a
// row of the block is finished (pivot, U row) as soon as its L pattern is
// exhausted, before any later row of the block can need its U row. The
// dense rows beyond the first sit in the words to spare after U; with fewer
// spare words the blocks are shorter, down to one row at a time.
int znnf(SparseFactor& f, const SparseRows& a) {
  const int n = f.n;
  // The views by value: the stores into the dense rows cannot then change
  // them, so they stay in registers.
  const auto r = f.r, ic = f.ic, ia = a.ia, ja = a.ja;
  const auto il = f.il, jl = f.jl, iu = f.iu, ju = f.ju;
  const auto l = f.l, d = f.d, u = f.u, row = f.row;
  const auto av = a.a;
  const int umax = f.umax;
  if (f.lmax < il(n + 1) - 1) return 4 * n + 1;
  const int nu = iu(n + 1) - 1;
  if (umax < nu) return 7 * n + 1;

  // Dense rows of a block: row itself, then rows in the spare words.
  const long long spare = static_cast<long long>(umax) - nu;
  const int block = static_cast<int>(std::min<long long>(kBlock, 1 + spare / n));
  cplx* dense[kBlock];
  dense[0] = &row(1);
  for (int i = 1; i < block; ++i) dense[i] = &u(nu + 1) + static_cast<long long>(i - 1) * n;

  double* parts[kBlock];
  for (int i = 0; i < block; ++i) parts[i] = zn_parts(*dense[i]);

  const double* uw = zn_parts(u(1));  // u(t) at uw[2t-2], uw[2t-1]
  const std::int32_t* jup = &ju(1);   // ju(t) at jup[t-1]
  const std::int32_t* group_last = f.group_last.data();
  const GroupKernels kernels = group_kernels(kernel_width(f.widest_kernels));

  for (int k0 = 1; k0 <= n; k0 += block) {
    if (f.progress != nullptr && (k0 - 1) % (kBlocksPerReport * block) == 0)
      (*f.progress)(static_cast<double>(f.work_to[k0 - 1]), static_cast<double>(f.work_to[n]));
    const int nb = std::min(block, n - k0 + 1);
    int next[kBlock], end[kBlock];  // L positions of each row still to do
    const GroupStep step{f, parts, next, end, kernels};
    for (int i = 0; i < nb; ++i) {
      const int k = k0 + i;
      const View1<cplx> w{dense[i]};
      // Clear the dense row only on the pattern of row k.
      for (int t = il(k); t < il(k + 1); ++t) w(jl(t)) = 0.0;
      w(k) = 0.0;
      for (int t = iu(k); t < iu(k + 1); ++t) w(ju(t)) = 0.0;
      // Scatter row r(k) of A in the new column numbers.
      const int v = r(k);
      for (int e = ia(v); e < ia(v + 1); ++e) w(ic(ja(e))) = av(e);
      next[i] = il(k);
      end[i] = il(k + 1);
    }

    int done = 0;  // rows of the block already finished
    for (;;) {
      // Finish, in order, the rows whose L pattern is exhausted.
      while (done < nb && next[done] == end[done]) {
        const int k = k0 + done;
        const View1<cplx> w{dense[done]};
        // No pivoting: only an exactly zero pivot stops the factorization.
        const cplx pivot = w(k);
        if (pivot.real() == 0.0 && pivot.imag() == 0.0) return 8 * n + k;
        const cplx dk = cdiv(cplx(1.0, 0.0), pivot);
        d(k) = dk;
        for (int t = iu(k); t < iu(k + 1); ++t) u(t) = zn_mul(w(ju(t)), dk);
        ++done;
      }
      if (done == nb) break;

      // The next column of the union of the L patterns, and the rows that
      // hold it. Each multiplier is the entry of L. The rows needing U row
      // j go through it eight, four, two or one at a time.
      int j = INT_MAX;
      for (int i = done; i < nb; ++i)
        if (next[i] < end[i]) j = std::min(j, jl(next[i]));
      // U rows j..e finished before the block and sharing one pattern go
      // through the grouped kernels.
      const int e = std::min(group_last[j], k0 - 1);
      if (e > j) {
        eliminate_group(step, done, nb, j, e);
        continue;
      }
      const int first = iu(j);
      const int last = iu(j + 1) - 1;
      double* ws[kBlock];
      Multiplier xs[kBlock];
      int m = 0;
      for (int i = done; i < nb; ++i) {
        if (next[i] == end[i] || jl(next[i]) != j) continue;
        const cplx x = dense[i][j - 1];
        l(next[i]) = x;
        ++next[i];
        ws[m] = parts[i];
        xs[m] = multiplier(x);
        ++m;
      }
      int g = 0;
      for (; g + 8 <= m; g += 8) eliminate<8>(ws + g, xs + g, uw, jup, first, last);
      for (; g + 4 <= m; g += 4) eliminate<4>(ws + g, xs + g, uw, jup, first, last);
      if (g + 2 <= m) {
        eliminate<2>(ws + g, xs + g, uw, jup, first, last);
        g += 2;
      }
      if (g < m) eliminate<1>(ws + g, xs + g, uw, jup, first, last);
    }
  }

  return 0;
}

}  // namespace tp
