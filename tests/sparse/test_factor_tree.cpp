// The symbolic factorization along the elimination tree must give the
// patterns of the row merge entry for entry (the factors, the "ESP=" of a
// run and every result depend on them), and must leave every matrix it does
// not handle, with its flags, to the row merge.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "tests/sparse/test_factor_system.hpp"

namespace tp::testing {
namespace {

struct Patterns {
  std::vector<std::int32_t> il, iu, jl, ju;
  int flag = -999;
};

SparseRows rows_of(Csr& m) {
  return SparseRows{m.n, View1<std::int32_t>{m.ia.data()}, View1<std::int32_t>{m.ja.data()},
                    View1<cplx>{m.a.data()}};
}

View1<std::int32_t> view(std::vector<std::int32_t>& v) { return View1<std::int32_t>{v.data()}; }

// The row merge with all the room it can use.
Patterns by_rows(Csr& m, std::vector<std::int32_t>& r, std::vector<std::int32_t>& ic) {
  const int n = m.n;
  const int room = n * n;
  Patterns p{std::vector<std::int32_t>(n + 1), std::vector<std::int32_t>(n + 1),
             std::vector<std::int32_t>(room), std::vector<std::int32_t>(room)};
  std::vector<std::int32_t> q(n + 1), im(n);
  p.flag = znsf(rows_of(m), view(r), view(ic), view(p.il), view(p.jl), room, view(p.iu), view(p.ju),
                room, view(q), view(im));
  if (p.flag == 0) {
    p.jl.resize(p.il[n] - 1);
    p.ju.resize(p.iu[n] - 1);
  }
  return p;
}

// Along the tree, in vectors that grow from a deliberately small start.
Patterns by_tree(Csr& m, std::vector<std::int32_t>& r, std::vector<std::int32_t>& c,
                 std::vector<std::int32_t>& ic) {
  const int n = m.n;
  Patterns p{std::vector<std::int32_t>(n + 1),
             std::vector<std::int32_t>(n + 1),
             {},
             std::vector<std::int32_t>(1)};
  PatternRoom room{view(p.il), view(p.iu), {}, view(p.ju), 0, 1, &p.jl, &p.ju};
  p.flag = zn_symbolic_tree(rows_of(m), view(r), view(c), view(ic), room);
  if (p.flag == 0) {
    p.jl.resize(p.il[n] - 1);
    p.ju.resize(p.iu[n] - 1);
  }
  return p;
}

void expect_same_patterns(Csr m, const std::vector<std::int32_t>& order) {
  Workspace none(0);
  Solve s(m, none);
  s.order(order);
  const Patterns rows = by_rows(s.m, s.r, s.ic);
  const Patterns tree = by_tree(s.m, s.r, s.c, s.ic);
  ASSERT_EQ(rows.flag, 0);
  ASSERT_EQ(tree.flag, 0);
  EXPECT_EQ(tree.il, rows.il);
  EXPECT_EQ(tree.iu, rows.iu);
  EXPECT_EQ(tree.jl, rows.jl);
  EXPECT_EQ(tree.ju, rows.ju);
}

std::vector<std::int32_t> identity(int n) {
  std::vector<std::int32_t> p(n);
  for (int k = 1; k <= n; ++k) p[k - 1] = k;
  return p;
}

TEST(FactorTree, PatternsEqualTheRowMergeOnElementGridsInEveryOrder) {
  // Minimum degree (the program's order: long chains and wide groups), a
  // random order (a bushy tree with many children per node) and the natural
  // order (a banded fill).
  std::mt19937 gen(11);
  for (const auto& [nx, ny, dofs] :
       {std::tuple{6, 5, 2}, std::tuple{9, 3, 5}, std::tuple{1, 12, 3}}) {
    Csr m = grid_system(nx, ny, dofs, gen);
    expect_same_patterns(m, md_order(m));
    expect_same_patterns(m, random_permutation(m.n, gen));
    expect_same_patterns(m, identity(m.n));
  }
}

TEST(FactorTree, PatternsEqualTheRowMergeOnScatteredSymmetricCouplings) {
  // Random symmetric couplings give merges of several children with
  // interleaved columns, and rows of A whose upper part is unsorted.
  std::mt19937 gen(5);
  const int n = 60;
  std::vector<std::vector<bool>> on(n, std::vector<bool>(n, false));
  std::uniform_int_distribution<int> pick(0, n - 1);
  for (int t = 0; t < 90; ++t) {
    const int i = pick(gen), j = pick(gen);
    on[i][j] = on[j][i] = true;
  }
  std::vector<std::vector<Entry>> rows(n);
  for (int i = n - 1; i >= 0; --i) {
    for (int j = n - 1; j >= 0; --j)
      if (on[i][j] && i != j) rows[i].push_back({j + 1, random_value(gen)});
    rows[i].push_back({i + 1, cplx(50.0, 1.0)});
  }
  const Csr m = make_csr(rows);
  expect_same_patterns(m, identity(n));
  expect_same_patterns(m, random_permutation(n, gen));
}

// A small grid system with one change that the tree must refuse.
Csr grid_with(const std::function<void(std::vector<std::vector<Entry>>&)>& change) {
  std::mt19937 gen(3);
  const Csr m = grid_system(3, 3, 2, gen);
  std::vector<std::vector<Entry>> rows(m.n);
  for (int i = 0; i < m.n; ++i)
    for (int e = m.ia[i]; e < m.ia[i + 1]; ++e) rows[i].push_back({m.ja[e - 1], m.a[e - 1]});
  change(rows);
  return make_csr(rows);
}

TEST(FactorTree, MatricesOutsideItsReachGoToTheRowMergeWithTheirFlags) {
  const auto drop_entry = [](std::vector<std::vector<Entry>>& rows) {
    rows[4].erase(rows[4].begin());  // (5, w) stored, (w, 5) still there
  };
  const auto drop_diagonal = [](std::vector<std::vector<Entry>>& rows) { rows[6].pop_back(); };
  const auto repeat_column = [](std::vector<std::vector<Entry>>& rows) {
    rows[2].push_back(rows[2].front());
  };
  for (const auto& change :
       {std::function(drop_entry), std::function(drop_diagonal), std::function(repeat_column)}) {
    Csr m = grid_with(change);
    Workspace none(0);
    Solve s(m, none);
    EXPECT_EQ(by_tree(s.m, s.r, s.c, s.ic).flag, kNotSymmetric);
    // The phases then give the row merge's outcome: its flag, or a solution.
    const Patterns rows = by_rows(s.m, s.r, s.ic);
    s.analyse();
    EXPECT_EQ(s.flag, rows.flag);
  }
  // Rows and columns in different orders.
  std::mt19937 gen(8);
  Csr m = grid_system(3, 3, 2, gen);
  Workspace none(0);
  Solve s(m, none);
  s.order(random_permutation(m.n, gen), identity(m.n));
  EXPECT_EQ(by_tree(s.m, s.r, s.c, s.ic).flag, kNotSymmetric);
}

}  // namespace
}  // namespace tp::testing
