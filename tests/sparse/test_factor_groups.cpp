// Groups of consecutive U rows with one shared pattern, found by the
// symbolic factorization, and the grouped elimination that uses them: the
// factors must be those of plain row-by-row elimination, bit for bit.
#include <gtest/gtest.h>

#include <cstring>

#include "sparse/zn_complex.hpp"
#include "tests/sparse/test_factor_system.hpp"

namespace tp::testing {
namespace {

// The factors of row-by-row elimination on the patterns the analysis left
// in f: row k takes the updates of the U rows of its L columns one after
// the other in ascending order, each product rounded on its parts.
struct Factors {
  std::vector<cplx> l, d, u;
};

Factors row_by_row(const SparseFactor& f, const Csr& m) {
  const int n = f.n;
  Factors out{std::vector<cplx>(f.lnz), std::vector<cplx>(n), std::vector<cplx>(f.unz)};
  std::vector<cplx> w(n + 1);
  for (int k = 1; k <= n; ++k) {
    std::fill(w.begin(), w.end(), cplx(0.0, 0.0));
    const int v = f.r(k);
    for (int e = m.ia[v - 1]; e < m.ia[v]; ++e) w[f.ic(m.ja[e - 1])] = m.a[e - 1];
    for (int t = f.il(k); t < f.il(k + 1); ++t) {
      const int j = f.jl(t);
      const cplx x = w[j];
      out.l[t - 1] = x;
      for (int p = f.iu(j); p < f.iu(j + 1); ++p) w[f.ju(p)] -= zn_mul(x, out.u[p - 1]);
    }
    out.d[k - 1] = cdiv(cplx(1.0, 0.0), w[k]);
    for (int p = f.iu(k); p < f.iu(k + 1); ++p) out.u[p - 1] = zn_mul(w[f.ju(p)], out.d[k - 1]);
  }
  return out;
}

bool same_bits(const cplx* x, const std::vector<cplx>& y) {
  return std::memcmp(x, y.data(), y.size() * sizeof(cplx)) == 0;
}

// Dense n by n system with a dominant diagonal.
Csr dense_system(int n, std::mt19937& gen) {
  std::vector<std::vector<Entry>> rows(n);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j)
      rows[i - 1].push_back({j, i == j ? cplx(2.0 * n, 1.0) : random_value(gen)});
  return make_csr(rows);
}

std::vector<std::int32_t> group_last(const Solve& s) {
  return std::vector<std::int32_t>(s.f.group_last.begin() + 1, s.f.group_last.end());
}

TEST(FactorGroups, DenseMatrixIsOneGroupCutEveryMaxGroupRows) {
  // Every U row of a dense matrix is the next column and then the next
  // row's pattern: one group, cut into kMaxGroup rows and the remainder.
  std::mt19937 gen(5);
  const int n = kMaxGroup + 3;
  Workspace ws(100000);
  Solve s(dense_system(n, gen), ws);
  s.analyse();
  ASSERT_EQ(s.flag, 0);
  std::vector<std::int32_t> expect(n, n);
  std::fill(expect.begin(), expect.begin() + kMaxGroup, kMaxGroup);
  EXPECT_EQ(group_last(s), expect);
}

TEST(FactorGroups, RowsWhosePatternsDifferPastTheNextColumnStayApart) {
  // Tridiagonal: U row j is {j+1} and U row j+1 is {j+2}, so no row is
  // column j+1 followed by its successor's pattern. Rows 6..8 form a dense
  // 3 by 3 corner: they group, and row 5 ({6} only) stays out.
  std::vector<std::vector<Entry>> rows(8);
  for (int i = 1; i <= 8; ++i)
    for (int j = std::max(1, i - 1); j <= std::min(8, i + 1); ++j)
      rows[i - 1].push_back({j, i == j ? cplx(4.0, 0.0) : cplx(1.0, 0.5)});
  for (int i : {6, 7, 8})
    for (int j : {6, 7, 8})
      if (std::abs(i - j) > 1) rows[i - 1].push_back({j, cplx(0.5, 0.0)});
  Workspace ws(10000);
  Solve s(make_csr(rows), ws);
  s.analyse();
  ASSERT_EQ(s.flag, 0);
  EXPECT_EQ(group_last(s), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 8, 8, 8}));
}

TEST(FactorGroups, GroupedEliminationGivesTheFactorsOfRowByRowEliminationBitForBit) {
  // Element patterns in minimum-degree order (groups of many sizes, rows
  // entering a group part way), and a dense matrix (groups past the block
  // of rows and past kMaxGroup), in a roomy workspace (eight rows at a
  // time), one with no spare words (one row at a time) and storage of the
  // factor's own, with the two-double kernels alone and with the wider ones.
  std::mt19937 gen(31);
  Csr fem = grid_system(9, 7, 3, gen);
  const std::vector<std::int32_t> order = md_order(fem);
  std::vector<std::int32_t> natural(kMaxGroup + 19);
  for (std::size_t k = 0; k < natural.size(); ++k) natural[k] = static_cast<std::int32_t>(k) + 1;
  const Csr full = dense_system(kMaxGroup + 19, gen);
  struct Case {
    const Csr& m;
    const std::vector<std::int32_t>& p;
  };
  for (const Case& c : {Case{fem, order}, Case{full, natural}}) {
    int longest = 0;
    for (int spare : {-1, 0, 1}) {
      Workspace probe(4000000);
      Solve s0(c.m, probe);
      s0.order(c.p);
      s0.analyse();
      ASSERT_EQ(s0.flag, 0);
      // spare -1: self-sized; 0: no spare words; 1: the roomy workspace.
      Workspace ws(spare < 0 ? 0 : spare == 0 ? 4000000 - s0.esp : 4000000);
      Solve s(c.m, ws);
      s.order(c.p);
      s.analyse();
      ASSERT_EQ(s.flag, 0);
      for (int j = 1; j <= c.m.n; ++j) longest = std::max(longest, s.f.group_last[j] - j + 1);
      for (KernelWidth width : {KernelWidth::octs, KernelWidth::quads, KernelWidth::pairs}) {
        s.analyse();
        s.f.widest_kernels = width;  // where the processor runs it, else the next narrower
        s.factor();
        ASSERT_EQ(s.flag, 0) << "spare " << spare;
        const Factors ref = row_by_row(s.f, c.m);
        EXPECT_TRUE(same_bits(&s.f.l(1), ref.l)) << "n " << c.m.n << " spare " << spare;
        EXPECT_TRUE(same_bits(&s.f.d(1), ref.d)) << "n " << c.m.n << " spare " << spare;
        EXPECT_TRUE(same_bits(&s.f.u(1), ref.u)) << "n " << c.m.n << " spare " << spare;
      }
    }
    EXPECT_GT(longest, kFactorBlock);  // groups wider than a block of rows
  }
}

}  // namespace
}  // namespace tp::testing
