// Minimum-degree ordering and symmetric reordering: the hand-worked orders
// that fix tie-breaking, the workspace flags, and properties of random graphs
// (inverse permutations, least degree at every step, entries kept).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "common/complex.hpp"
#include "common/tables.hpp"
#include "sparse/zodrv.hpp"

namespace {

using tp::cplx;
using tp::View1;
using Ints = std::vector<std::int32_t>;
using Rows = std::vector<std::vector<int>>;

// A pattern in compressed sparse rows; entry j holds j + i*row, so that
// moved entries can be traced.
struct Pattern {
  int n = 0;
  Ints ia{1}, ja;
  std::vector<cplx> a;
};

Pattern from_rows(const Rows& rows) {
  Pattern m;
  m.n = static_cast<int>(rows.size());
  for (int i = 0; i < m.n; ++i) {
    for (int c : rows[i]) {
      m.ja.push_back(c);
      m.a.emplace_back(static_cast<double>(m.ja.size()), i + 1.0);
    }
    m.ia.push_back(static_cast<std::int32_t>(m.ja.size()) + 1);
  }
  m.ja.push_back(0);
  m.a.emplace_back(0.0);
  return m;
}

// Diagonal plus each edge (i, j) in row min(i, j), and in row max(i, j) too
// when both triangles are stored.
Rows edge_rows(int n, const std::vector<std::pair<int, int>>& edges, bool both) {
  Rows rows(n);
  for (int i = 1; i <= n; ++i) rows[i - 1].push_back(i);
  for (auto [i, j] : edges) {
    rows[std::min(i, j) - 1].push_back(std::max(i, j));
    if (both) rows[std::max(i, j) - 1].push_back(std::min(i, j));
  }
  return rows;
}

std::vector<std::pair<int, int>> random_edges(std::mt19937& rng, int n, int count) {
  std::uniform_int_distribution<int> pick(1, n);
  std::set<std::pair<int, int>> edges;
  for (int e = 0; e < count; ++e) {
    const int i = pick(rng), j = pick(rng);
    if (i != j) edges.insert({std::min(i, j), std::max(i, j)});
  }
  std::vector<std::pair<int, int>> list(edges.begin(), edges.end());
  std::shuffle(list.begin(), list.end(), rng);
  return list;
}

// side by side grid numbered row by row: each row holds its diagonal and
// its horizontal and vertical neighbours, in increasing column order
Rows grid_rows(int side) {
  Rows rows(side * side);
  for (int i = 1; i <= side * side; ++i) {
    const bool up = i > side, down = i <= side * (side - 1);
    const bool left = (i - 1) % side > 0, right = i % side > 0;
    for (auto [j, ok] :
         {std::pair{i - side, up}, {i - 1, left}, {i, true}, {i + 1, right}, {i + side, down}})
      if (ok) rows[i - 1].push_back(j);
  }
  return rows;
}

Ints reversed(int n) {
  Ints v(n);
  for (int k = 0; k < n; ++k) v[k] = n - k;
  return v;
}

std::array<std::int32_t, 400000> g_isp;

struct Order {
  Ints p, ip;
  int flag = -1;
};

// zodrv on m; p and ip start as given (or -7) and come back with n entries.
Order run(Pattern& m, int path, int nsp = 400000, Ints p0 = {}, Ints ip0 = {}) {
  Order o{p0.empty() ? Ints(m.n + 1, -7) : p0, ip0.empty() ? Ints(m.n + 1, -7) : ip0};
  tp::zodrv(m.n, View1<std::int32_t>{m.ia.data()}, View1<std::int32_t>{m.ja.data()},
            View1<cplx>{m.a.data()}, View1<std::int32_t>{o.p.data()},
            View1<std::int32_t>{o.ip.data()}, nsp, View1<std::int32_t>{g_isp.data()}, path, o.flag);
  o.p.resize(m.n);
  o.ip.resize(m.n);
  return o;
}

TEST(Ordering, VerticesWithoutNeighboursComeInReverse) {
  Pattern m = from_rows(edge_rows(7, {}, true));
  Order o = run(m, 1);
  ASSERT_EQ(o.flag, 0);
  EXPECT_EQ(o.p, reversed(7));
  EXPECT_EQ(o.ip, reversed(7));
}

TEST(Ordering, TridiagonalIsEatenFromTheLastEnd) {
  // 5 and 1 both start with degree 1; 5 heads the list, and each updated
  // neighbour is pushed in front of 1.
  Pattern m = from_rows(edge_rows(5, {{1, 2}, {2, 3}, {3, 4}, {4, 5}}, true));
  Order o = run(m, 1);
  ASSERT_EQ(o.flag, 0);
  EXPECT_EQ(o.p, reversed(5));
  EXPECT_EQ(o.ip, reversed(5));
}

TEST(Ordering, GridOfThreeByThreeHasItsFixedOrder) {
  Pattern m = from_rows(grid_rows(3));
  ASSERT_EQ(m.ia.back(), 9 + 2 * 12 + 1);
  Order o = run(m, 1);
  ASSERT_EQ(o.flag, 0);
  EXPECT_EQ(o.p, (Ints{9, 7, 3, 1, 2, 6, 5, 4, 8}));
  EXPECT_EQ(o.ip, (Ints{4, 5, 3, 8, 7, 6, 2, 9, 1}));
}

TEST(Ordering, OnlyTheStrictUpperTriangleCounts) {
  std::mt19937 rng(11);
  for (int n = 5; n < 150; n += 7) {
    const auto edges = random_edges(rng, n, 2 * n);
    Pattern full = from_rows(edge_rows(n, edges, true));
    Pattern upper = from_rows(edge_rows(n, edges, false));
    Rows lower_rows(n);  // the lower triangle alone: no adjacency at all
    for (auto [i, j] : edges) lower_rows[j - 1].push_back(i);
    Pattern lower = from_rows(lower_rows);
    Order of = run(full, 1), ou = run(upper, 1), ol = run(lower, 1);
    ASSERT_EQ(of.flag, 0);
    EXPECT_EQ(of.p, ou.p);
    EXPECT_EQ(of.ip, ou.ip);
    EXPECT_EQ(ol.p, reversed(n));
  }
}

TEST(Ordering, RepeatedColumnEntersTheAdjacencyOnce) {
  // Otherwise the degrees count the edge twice and p is no permutation.
  Rows rows = grid_rows(3);
  Pattern clean = from_rows(rows);
  rows[0].push_back(2);
  rows[4].insert(rows[4].end(), {8, 8});
  Pattern repeated = from_rows(rows);
  Order oc = run(clean, 1), orp = run(repeated, 1);
  ASSERT_EQ(orp.flag, 0);
  EXPECT_EQ(orp.p, oc.p);
  EXPECT_EQ(orp.ip, oc.ip);
}

TEST(OrderingFlags, PathOutsideOneToFiveTouchesNothing) {
  Pattern m = from_rows(grid_rows(3));
  for (int path : {0, 6, -1}) {
    Order o = run(m, path, 400000, Ints(10, 42), Ints(10, 43));
    EXPECT_EQ(o.flag, 11 * 9 + 1);
    EXPECT_EQ(o.p, Ints(9, 42));
    EXPECT_EQ(o.ip, Ints(9, 43));
  }
}

TEST(OrderingFlags, WorkspaceLimitsAreExact) {
  // Tridiagonal of order 5: 4 upper entries need max >= n + 2K = 13, with
  // max = (nsp - n)/2; the flag names the row whose entry does not fit.
  Pattern m = from_rows(edge_rows(5, {{1, 2}, {2, 3}, {3, 4}, {4, 5}}, true));
  EXPECT_EQ(run(m, 1, 5 + 2 * 13).flag, 0);
  EXPECT_EQ(run(m, 1, 5 + 2 * 12 + 1).flag, 9 * 5 + 4);
  EXPECT_EQ(run(m, 1, 5 + 2 * 10).flag, 9 * 5 + 3);
  EXPECT_EQ(run(m, 1, 5 + 2 * 6).flag, 9 * 5 + 1);
  // max < n is refused before any list is built
  Pattern d = from_rows(edge_rows(5, {}, true));
  EXPECT_EQ(run(d, 1, 5 + 2 * 5).flag, 0);
  for (int path : {1, 2, 4}) EXPECT_EQ(run(d, path, 5 + 2 * 4 + 1).flag, 10 * 5 + 1);
  // the reordering needs n + nnz words at the top of the workspace
  for (int path : {3, 5}) {
    Pattern u = from_rows(edge_rows(5, {{1, 2}, {2, 3}, {3, 4}, {4, 5}}, false));
    EXPECT_EQ(run(u, path, 5 + 9 - 1, reversed(5), reversed(5)).flag, 10 * 5 + 1);
    EXPECT_EQ(run(u, path, 5 + 9, reversed(5), reversed(5)).flag, 0);
  }
}

// Elimination-graph check: every vertex, when its turn comes, has the least
// degree among those left (exact degrees and mass elimination keep this).
void expect_least_degree(const Pattern& m, const Order& o) {
  const int n = m.n;
  std::vector<std::vector<char>> adj(n + 1, std::vector<char>(n + 1, 0));
  std::vector<int> deg(n + 1, 0);
  for (int i = 1; i <= n; ++i)
    for (int j = m.ia[i - 1]; j < m.ia[i]; ++j)
      if (const int c = m.ja[j - 1]; c > i && !adj[i][c]) {
        adj[i][c] = adj[c][i] = 1;
        ++deg[i], ++deg[c];
      }
  std::vector<char> seen(n + 1, 0), gone(n + 1, 0);
  for (int k = 1; k <= n; ++k) {
    const int vk = o.p[k - 1];
    ASSERT_TRUE(vk >= 1 && vk <= n && !seen[vk]) << "p is no permutation";
    seen[vk] = 1;
    ASSERT_EQ(o.ip[vk - 1], k);
    int least = n;
    for (int u = 1; u <= n; ++u)
      if (!gone[u]) least = std::min(least, deg[u]);
    ASSERT_EQ(deg[vk], least) << "step " << k << " vertex " << vk;
    std::vector<int> nb;
    for (int u = 1; u <= n; ++u)
      if (!gone[u] && adj[vk][u]) nb.push_back(u), --deg[u], adj[u][vk] = 0;
    gone[vk] = 1;
    for (int a : nb)
      for (int b : nb)
        if (a != b && !adj[a][b]) adj[a][b] = 1, ++deg[a];
  }
}

TEST(OrderingRandom, GivesInversePermutationsOfLeastDegree) {
  std::mt19937 rng(2024);
  for (int trial = 0; trial < 60; ++trial) {
    const int n = 1 + static_cast<int>(rng() % 160);
    Pattern m =
        from_rows(edge_rows(n, random_edges(rng, n, (rng() % 8) * n + n / 2), trial % 2 == 0));
    Order o = run(m, 1);
    ASSERT_EQ(o.flag, 0) << "trial " << trial;
    expect_least_degree(m, o);
  }
}

TEST(OrderingRandom, CoupledUnknownsOfCellsKeepLeastDegree) {
  // Finite-element patterns, several unknowns per node all coupled within
  // each cell: many vertices are indistinguishable, so the prototype,
  // duplicate, outmatched and mass-elimination paths are all taken.
  for (auto [nx, ny, dofs] :
       {std::tuple{3, 3, 2}, std::tuple{4, 3, 3}, std::tuple{5, 5, 2}, std::tuple{2, 6, 4}}) {
    const int n = (nx + 1) * (ny + 1) * dofs;
    std::vector<std::set<int>> coupled(n);
    for (int k = 0; k < ny; ++k)
      for (int j = 0; j < nx; ++j) {
        const int b = k * (nx + 1) + j;
        for (int a : {b, b + 1, b + nx + 2, b + nx + 1})
          for (int c : {b, b + 1, b + nx + 2, b + nx + 1})
            for (int da = 1; da <= dofs; ++da)
              for (int dc = 1; dc <= dofs; ++dc) coupled[a * dofs + da - 1].insert(c * dofs + dc);
      }
    Rows rows(n);
    for (int i = 0; i < n; ++i) rows[i].assign(coupled[i].begin(), coupled[i].end());
    Pattern m = from_rows(rows);
    Order o = run(m, 1);
    ASSERT_EQ(o.flag, 0);
    expect_least_degree(m, o);
  }
}

// The stored entries of a one-triangle matrix as (min, max, value).
std::multiset<std::tuple<int, int, double, double>> entries(const Pattern& m) {
  std::multiset<std::tuple<int, int, double, double>> s;
  for (int i = 1; i <= m.n; ++i)
    for (int j = m.ia[i - 1]; j < m.ia[i]; ++j) {
      const int c = m.ja[j - 1];
      s.insert({std::min(i, c), std::max(i, c), m.a[j - 1].real(), m.a[j - 1].imag()});
    }
  return s;
}

TEST(Reordering, EntriesFollowTheNewOrderAndKeepTheirStorageOrder) {
  // Reverse order on the upper-stored tridiagonal of order 4 (rows 1: 1 2,
  // 2: 2 3, 3: 3 4, 4: 4): each off-diagonal entry moves to its column's row.
  Pattern m = from_rows(edge_rows(4, {{1, 2}, {2, 3}, {3, 4}}, false));
  const auto before = entries(m);
  ASSERT_EQ(run(m, 3, 400000, reversed(4), reversed(4)).flag, 0);
  EXPECT_EQ(m.ia, (Ints{1, 2, 4, 6, 8}));
  EXPECT_EQ(Ints(m.ja.begin(), m.ja.begin() + 7), (Ints{1, 1, 2, 2, 3, 3, 4}));
  EXPECT_EQ(m.a[1], cplx(2.0, 1.0));  // (2,1) is the old (1,2), entry 2
  EXPECT_EQ(m.a[2], cplx(3.0, 2.0));  // (2,2)
  EXPECT_EQ(entries(m), before);
  // with the diagonal first, the rest of each row keeps its order
  Pattern d = from_rows(edge_rows(4, {{1, 2}, {2, 3}, {3, 4}}, false));
  ASSERT_EQ(run(d, 5, 400000, reversed(4), reversed(4)).flag, 0);
  EXPECT_EQ(Ints(d.ja.begin(), d.ja.begin() + 7), (Ints{1, 2, 1, 3, 2, 4, 3}));
  EXPECT_EQ(d.a[1], cplx(3.0, 2.0));
  EXPECT_EQ(d.a[2], cplx(2.0, 1.0));
}

TEST(Reordering, OrderThenReorderPutsEveryEntryAboveTheNewDiagonal) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 30; ++trial) {
    const int n = 2 + static_cast<int>(rng() % 60);
    Rows rows(n);  // each edge stored once, in either triangle, rows shuffled
    for (int i = 1; i <= n; ++i) rows[i - 1].push_back(i);
    for (auto [i, j] : random_edges(rng, n, 3 * n)) {
      if (rng() % 2) std::swap(i, j);
      rows[i - 1].push_back(j);
    }
    for (auto& r : rows) std::shuffle(r.begin(), r.end(), rng);
    Pattern original = from_rows(rows);
    const Order path1 = run(original, 1);
    for (int path : {2, 4}) {
      Pattern m = from_rows(rows);
      const auto before = entries(m);
      Order o = run(m, path);
      ASSERT_EQ(o.flag, 0);
      EXPECT_EQ(o.p, path1.p);
      EXPECT_EQ(entries(m), before);
      for (int i = 1; i <= n; ++i) {
        for (int j = m.ia[i - 1]; j < m.ia[i]; ++j) {
          EXPECT_LE(o.ip[i - 1], o.ip[m.ja[j - 1] - 1]);
        }
        if (path == 4) {
          EXPECT_EQ(m.ja[m.ia[i - 1] - 1], i);
        }
      }
    }
  }
}

}  // namespace
