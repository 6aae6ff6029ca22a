// The phases of the sparse solver on its factor object: where the orders,
// patterns and values live (a caller's workspace or storage sized from the
// symbolic factorization), and the calls of the kernels.
#include "sparse/zndrv.hpp"

#include <algorithm>

#include "sparse/zodrv.hpp"

namespace tp {

static_assert(sizeof(cplx) == 4 * sizeof(std::int32_t),
              "the workspace split assumes four integers per complex word");

namespace {

constexpr int kRatio = 4;  // 32-bit integers per complex word

// 1-based view starting at 1-based position `pos` of a view; positions are
// 64-bit, since 4 nsp integers can pass 2^31 in a large workspace.
template <class T>
View1<T> at(View1<T> v, std::int64_t pos) {
  return View1<T>{v.p + (pos - 1)};
}

View1<std::int32_t> ints_of(cplx* space) {
  return View1<std::int32_t>{reinterpret_cast<std::int32_t*>(space)};
}

// work_to from the patterns: row k eliminates with U row j for each of its L
// columns j, one multiply-add per entry of that row.
void count_work(SparseFactor& f) {
  const int n = f.n;
  f.work_to.assign(n + 1, 0);
  for (int k = 1; k <= n; ++k) {
    std::int64_t w = 0;
    for (int t = f.il(k); t < f.il(k + 1); ++t) {
      const int j = f.jl(t);
      w += f.iu(j + 1) - f.iu(j);
    }
    f.work_to[k] = f.work_to[k - 1] + w;
  }
}

// Symbolic factorization in the caller's workspace: half of what is left
// after the pointers and the two scratch lists goes to jl, the rest to a
// temporary ju reaching to the end; then ju moves down behind the final jl
// and the complex arrays are placed after it.
int analyse_in_workspace(SparseFactor& f, const SparseRows& a) {
  const int n = f.n;
  const int np1 = n + 1;
  const View1<std::int32_t> isp = ints_of(f.space);
  const std::int64_t il = 1;
  const std::int64_t iu = il + np1;
  const std::int64_t jl = iu + np1;
  const std::int64_t max = (kRatio * static_cast<std::int64_t>(f.nsp) + 1 - jl) - np1 - n;
  const std::int64_t jlmax = max / 2;
  const std::int64_t q = jl + jlmax;
  const std::int64_t im = q + np1;
  const std::int64_t jutmp = im + n;
  const std::int64_t jumax = kRatio * static_cast<std::int64_t>(f.nsp) + 1 - jutmp;
  f.esp = static_cast<int>(max / kRatio);
  if (jlmax <= 0 || jumax <= 0) return 10 * n + 1;
  f.il = at(isp, il);
  f.iu = at(isp, iu);
  f.jl = at(isp, jl);
  // The patterns along the elimination tree when the matrix allows it and
  // they fit; otherwise (and for the flags of a failure) by rows.
  PatternRoom tree{f.il,
                   f.iu,
                   f.jl,
                   at(isp, jutmp),
                   std::min(jlmax, kMaxPatternEntries),
                   std::min(jumax, kMaxPatternEntries)};
  int flag = zn_symbolic_tree(a, f.r, f.c, f.ic, tree);
  if (flag != 0)
    flag = znsf(a, f.r, f.ic, f.il, f.jl, static_cast<int>(std::min(jlmax, kMaxPatternEntries)),
                f.iu, at(isp, jutmp), static_cast<int>(std::min(jumax, kMaxPatternEntries)),
                at(isp, q), at(isp, im));
  if (flag != 0) return flag;
  // The target lies below the source: copying upward in increasing order
  // never overwrites unread entries.
  f.lnz = f.il(np1) - 1;
  f.unz = f.iu(np1) - 1;
  const std::int64_t ju = jl + f.lnz;
  for (std::int64_t j = 0; j < f.unz; ++j) isp(ju + j) = isp(jutmp + j);
  f.ju = at(isp, ju);

  // Complex arrays after the final integer patterns.
  const View1<cplx> rsp{f.space};
  const std::int64_t l = (ju + f.unz + 2) / kRatio + 1;
  const std::int64_t d = l + f.lnz;
  const std::int64_t u = d + n;
  const std::int64_t row = static_cast<std::int64_t>(f.nsp) + 1 - n;
  const std::int64_t tmp = row - n;
  f.lmax = f.lnz;
  f.umax = static_cast<int>(tmp - u);
  f.esp = f.umax - f.unz;
  f.l = at(rsp, l);
  f.d = at(rsp, d);
  f.u = at(rsp, u);
  f.row = at(rsp, row);
  f.tmp = at(rsp, tmp);
  return 0;
}

// The patterns the symbolic factorization left in own_jl and own_ju, cut to
// their lengths, with the room of the values that follow from them.
void keep_own_patterns(SparseFactor& f) {
  const int n = f.n;
  f.lnz = f.il(n + 1) - 1;
  f.unz = f.iu(n + 1) - 1;
  f.own_jl.resize(std::max(f.lnz, 1));
  f.own_ju.resize(std::max(f.unz, 1));
  f.own_jl.shrink_to_fit();
  f.own_ju.shrink_to_fit();
  f.jl = View1<std::int32_t>{f.own_jl.data()};
  f.ju = View1<std::int32_t>{f.own_ju.data()};
  f.lmax = f.lnz;
  f.umax = f.unz + (kFactorBlock - 1) * n;
  f.esp = f.umax - f.unz;
}

// Symbolic factorization in arrays of its own. Along the elimination tree
// the arrays grow as the patterns are found. By rows the fill is not known
// before it: jl and ju start at twice the size of A and both grow fourfold
// (the patterns of a structurally symmetric matrix fill alike) each time one
// runs out, up to the 32-bit limit of the positions.
int analyse_self_sized(SparseFactor& f, const SparseRows& a) {
  const int n = f.n;
  const std::int64_t nnz = a.ia(n + 1) - 1;
  std::int64_t room = std::min(std::max<std::int64_t>(2 * nnz, 16), kMaxPatternEntries);
  f.own_il.assign(n + 1, 0);
  f.own_iu.assign(n + 1, 0);
  f.il = View1<std::int32_t>{f.own_il.data()};
  f.iu = View1<std::int32_t>{f.own_iu.data()};
  f.esp = 0;
  f.own_ju.resize(room);
  PatternRoom tree{f.il, f.iu, {},        View1<std::int32_t>{f.own_ju.data()},
                   0,    room, &f.own_jl, &f.own_ju};
  if (zn_symbolic_tree(a, f.r, f.c, f.ic, tree) == 0) {
    keep_own_patterns(f);
    return 0;
  }
  std::vector<std::int32_t> q(n + 1), im(n);
  for (;;) {
    f.own_jl.resize(room);
    f.own_ju.resize(room);
    f.jl = View1<std::int32_t>{f.own_jl.data()};
    f.ju = View1<std::int32_t>{f.own_ju.data()};
    const int flag =
        znsf(a, f.r, f.ic, f.il, f.jl, static_cast<int>(room), f.iu, f.ju, static_cast<int>(room),
             View1<std::int32_t>{q.data()}, View1<std::int32_t>{im.data()});
    const bool full = (flag > 3 * n && flag <= 4 * n) || (flag > 6 * n && flag <= 7 * n);
    if (!full) {
      if (flag != 0) return flag;
      break;
    }
    if (room >= kMaxPatternEntries) {
      f.beyond_32bit = true;
      return flag;
    }
    room = std::min(4 * room, kMaxPatternEntries);
  }
  keep_own_patterns(f);
  return 0;
}

}  // namespace

FactorStorage factor_storage(std::int64_t n, std::int64_t lnz, std::int64_t unz) {
  FactorStorage s;
  s.ints = 3 * (n + 1) + lnz + unz;
  s.counts = n + 1;
  s.words = lnz + n + unz + (kFactorBlock - 1) * n + 2 * n;
  s.bytes = 4 * s.ints + 8 * s.counts + static_cast<std::int64_t>(sizeof(cplx)) * s.words;
  return s;
}

std::int64_t ordering_ints(std::int64_t n, std::int64_t nnz) { return 2 * (n + 2 * nnz + 2) + n; }

void zn_init(SparseFactor& f, int n, View1<std::int32_t> r, View1<std::int32_t> c,
             View1<std::int32_t> ic, cplx* space, int nsp) {
  f = SparseFactor{};
  f.n = n;
  f.r = r;
  f.c = c;
  f.ic = ic;
  f.space = nsp > 0 ? space : nullptr;
  f.nsp = nsp > 0 ? nsp : 0;
}

// In a workspace the lists take its first nsp integers, as they always have;
// on their own they get exactly the slots the graph can need, so the
// ordering never runs out.
int zn_order(const SparseRows& a, View1<std::int32_t> p, View1<std::int32_t> ip, cplx* space,
             int nsp, const Progress* progress) {
  int flag = 0;
  const View1<cplx> none{};
  if (nsp > 0) {
    zodrv(a.n, a.ia, a.ja, none, p, ip, nsp, ints_of(space), 1, flag, progress);
    return flag;
  }
  const std::int64_t need = ordering_ints(a.n, a.ia(a.n + 1) - 1);
  if (need > kMaxPatternEntries) return 9 * a.n + 1;
  std::vector<std::int32_t> lists(need);
  zodrv(a.n, a.ia, a.ja, none, p, ip, static_cast<int>(need), View1<std::int32_t>{lists.data()}, 1,
        flag, progress);
  return flag;
}

int zn_analyse(SparseFactor& f, const SparseRows& a) {
  const int flag = f.space != nullptr ? analyse_in_workspace(f, a) : analyse_self_sized(f, a);
  if (flag == 0) {
    count_work(f);
    f.group_last.assign(f.n + 1, 0);
    znsn(f.n, f.iu, f.ju, View1<std::int32_t>{f.group_last.data() + 1});
  }
  return flag;
}

std::int64_t zn_memory_bytes(const SparseFactor& f) {
  if (f.space != nullptr) return 12 * (static_cast<std::int64_t>(f.n) + 1);
  return factor_storage(f.n, f.lnz, f.unz).bytes;
}

// Self-sized storage is allocated here, once, at the size the symbolic
// factorization measured: l, d, u with its spare dense rows, row, tmp.
int zn_factor(SparseFactor& f, const SparseRows& a) {
  const int n = f.n;
  if (f.space != nullptr) {
    if (f.umax <= 0) return 10 * n + 1;
  } else {
    const FactorStorage s = factor_storage(n, f.lnz, f.unz);
    // Zeroed storage mapped on first touch: no clearing pass over the
    // factors before the elimination writes them. A solver that factors
    // again (the next frequency of a curve) keeps its storage: the
    // elimination writes every word it reads, so the words of the last
    // factorization change nothing, and the pages need not be mapped again.
    if (f.own_words.size() != s.words && !f.own_words.resize(s.words)) return 10 * n + 1;
    const View1<cplx> w{f.own_words.data()};
    f.l = w;
    f.d = at(w, 1 + static_cast<std::int64_t>(f.lnz));
    f.u = at(w, 1 + static_cast<std::int64_t>(f.lnz) + n);
    f.tmp = at(w, 1 + static_cast<std::int64_t>(f.lnz) + n + f.umax);
    f.row = at(w, 1 + static_cast<std::int64_t>(f.lnz) + 2 * n + f.umax);
  }
  return znnf(f, a);
}

void zn_solve(SparseFactor& f, View1<cplx> b, View1<cplx> z) { znns(f, b, z); }

void zn_solve_transposed(SparseFactor& f, View1<cplx> b, View1<cplx> z) { znnt(f, b, z); }

}  // namespace tp
