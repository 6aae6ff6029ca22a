// One analysis of a pattern serves every matrix of that pattern: the
// frequency curves and the plate tests factor many matrices after a single
// ordering and symbolic factorization, and must get the very bits a fresh
// analysis gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "common/structures.hpp"
#include "fem/global_numbering.hpp"
#include "fem/global_sist.hpp"
#include "sparse/own_solver.hpp"
#include "support/sample.hpp"

namespace {

using namespace tp;

constexpr int kNx = 9, kNy = 7;

// The system of a 9 by 7 element grid with the coefficients of `stream`:
// every stream gives other values on the same pattern.
struct GridSystem {
  System sys;
  tp::testing::CoefficientSet co;
  void assemble(unsigned stream, double omega) {
    co.size(kNx, kNy);
    co.fill_random(stream);
    size_system(sys, kNx, kNy);
    global_numbering(kNx, kNy, sys.xnod);
    global_sist(omega, CellGrid{kNx, kNy, 0.01}, co, sys);
  }
  SparseRows rows() { return SparseRows{sys.neq, sys.ia.view(), sys.ja.view(), sys.avec.view()}; }
};

// Factors and solves a with s (analysed already), returning the solution.
std::vector<cplx> factor_solve(OwnSolver& s, GridSystem& g) {
  EXPECT_EQ(own_factor(s, g.rows(), nullptr), 0);
  std::vector<cplx> z(g.sys.neq);
  own_solve(s, g.sys.rhs_m.view(), View1<cplx>{z.data()});
  return z;
}

bool same_bits(const std::vector<cplx>& a, const std::vector<cplx>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(cplx)) == 0;
}

// Three matrices of one pattern, in the legacy workspace and self-sized:
// each solution after the one kept analysis equals, bit for bit, the
// solution after an analysis of its own; the phases ran as often as asked.
TEST(OwnSolver, OneAnalysisServesThreeMatricesBitForBit) {
  for (const int nsp : {0, 600000}) {
    SCOPED_TRACE(nsp == 0 ? "self-sized" : "in a workspace");
    std::vector<cplx> shared_space(nsp), fresh_space(nsp);
    static GridSystem g;
    OwnSolver kept;
    g.assemble(1, 600.0);
    ASSERT_EQ(own_order(kept, g.rows(), shared_space.data(), nsp, nullptr), 0);
    ASSERT_EQ(own_analyse(kept, g.rows()), 0);
    const double omegas[] = {600.0, 6.0e4, 6.0};
    for (unsigned stream = 1; stream <= 3; ++stream) {
      g.assemble(stream, omegas[stream - 1]);
      const std::vector<cplx> reused = factor_solve(kept, g);
      OwnSolver fresh;
      ASSERT_EQ(own_order(fresh, g.rows(), fresh_space.data(), nsp, nullptr), 0);
      ASSERT_EQ(own_analyse(fresh, g.rows()), 0);
      const std::vector<cplx> own = factor_solve(fresh, g);
      EXPECT_TRUE(same_bits(reused, own)) << "matrix " << stream;
      double size = 0.0;
      for (const cplx& v : reused) size += std::abs(v);
      EXPECT_GT(size, 0.0) << "matrix " << stream;
    }
    EXPECT_EQ(kept.orderings, 1);
    EXPECT_EQ(kept.analyses, 1);
    EXPECT_EQ(kept.factorizations, 3);
  }
}

}  // namespace
