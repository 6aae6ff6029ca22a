#include "sparse/own_solver.hpp"

namespace tp {

int own_order(OwnSolver& s, const SparseRows& a, cplx* space, int nsp, const Progress* progress) {
  s.n = a.n;
  s.space = space;
  s.nsp = nsp;
  s.c.assign(static_cast<std::size_t>(a.n), 0);
  s.ic.assign(static_cast<std::size_t>(a.n), 0);
  ++s.orderings;
  return zn_order(a, View1<std::int32_t>{s.c.data()}, View1<std::int32_t>{s.ic.data()}, space, nsp,
                  progress);
}

int own_analyse(OwnSolver& s, const SparseRows& a) {
  // The same order permutes the rows and the columns.
  const View1<std::int32_t> c{s.c.data()}, ic{s.ic.data()};
  zn_init(s.f, s.n, c, c, ic, s.space, s.nsp);
  ++s.analyses;
  return zn_analyse(s.f, a);
}

int own_factor(OwnSolver& s, const SparseRows& a, const Progress* progress) {
  s.f.progress = progress;
  const int flag = zn_factor(s.f, a);
  s.f.progress = nullptr;
  ++s.factorizations;
  return flag;
}

void own_solve(OwnSolver& s, View1<cplx> b, View1<cplx> z) { zn_solve(s.f, b, z); }

void own_share_analysis(const OwnSolver& a, OwnSolver& w) {
  w.n = a.n;
  w.c = a.c;
  w.ic = a.ic;
  w.space = nullptr;
  w.nsp = 0;
  SparseFactor& f = w.f;
  const SparseFactor& g = a.f;
  f = SparseFactor{};
  f.n = g.n;
  f.r = f.c = View1<std::int32_t>{w.c.data()};
  f.ic = View1<std::int32_t>{w.ic.data()};
  f.il = g.il;
  f.iu = g.iu;
  f.jl = g.jl;
  f.ju = g.ju;
  f.lnz = g.lnz;
  f.unz = g.unz;
  // Self-sized numeric storage: L exactly, U with its spare dense rows.
  f.lmax = g.lnz;
  f.umax = g.unz + (kFactorBlock - 1) * g.n;
  f.esp = f.umax - f.unz;
  f.beyond_32bit = g.beyond_32bit;
  f.work_to = g.work_to;
  f.group_last = g.group_last;
  f.widest_kernels = g.widest_kernels;
}

long long own_factor_entries(const OwnSolver& s) {
  return static_cast<long long>(s.f.lnz) + s.f.unz + s.n;
}

}  // namespace tp
