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

long long own_factor_entries(const OwnSolver& s) {
  return static_cast<long long>(s.f.lnz) + s.f.unz + s.n;
}

}  // namespace tp
