// Minimum-degree ordering and symmetric reordering: the hand-worked orders
// that fix tie-breaking, the workspace flags, and properties of random graphs
// (inverse permutations, minimum degree at every step).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "common/complex.hpp"
#include "common/tables.hpp"
#include "sparse/zodrv.hpp"

namespace {

using tp::cplx;
using tp::View1;

// A pattern in compressed sparse rows; a(j) = j + i*row so moved entries
// can be traced.
struct Pattern {
  int n = 0;
  std::vector<std::int32_t> ia, ja;
  std::vector<cplx> a;
};

Pattern from_rows(const std::vector<std::vector<int>>& rows) {
  Pattern m;
  m.n = static_cast<int>(rows.size());
  m.ia.push_back(1);
  for (int i = 0; i < m.n; ++i) {
    for (int c : rows[i]) {
      m.ja.push_back(c);
      m.a.push_back(cplx(static_cast<double>(m.ja.size()), i + 1.0));
    }
    m.ia.push_back(static_cast<std::int32_t>(m.ja.size()) + 1);
  }
  m.ja.push_back(0);
  m.a.push_back(0.0);
  return m;
}

// Rows holding the diagonal and both directions of every edge (or only the
// upper one), columns in the order given by the edge list.
Pattern from_edges(int n, const std::vector<std::pair<int, int>>& edges,
                   bool both_triangles) {
  std::vector<std::vector<int>> rows(n);
  for (int i = 1; i <= n; ++i) rows[i - 1].push_back(i);
  for (auto [i, j] : edges) {
    rows[std::min(i, j) - 1].push_back(std::max(i, j));
    if (both_triangles) rows[std::max(i, j) - 1].push_back(std::min(i, j));
  }
  return from_rows(rows);
}

std::array<std::int32_t, 400000> g_isp;

struct Order {
  std::vector<std::int32_t> p, ip;
  int flag = -1;
};

Order run(Pattern& m, int path, int nsp = 400000,
          std::vector<std::int32_t> p0 = {}, std::vector<std::int32_t> ip0 = {}) {
  Order o;
  o.p = p0.empty() ? std::vector<std::int32_t>(m.n + 1, -7) : p0;
  o.ip = ip0.empty() ? std::vector<std::int32_t>(m.n + 1, -7) : ip0;
  tp::zodrv(m.n, View1<std::int32_t>{m.ia.data()}, View1<std::int32_t>{m.ja.data()},
            View1<cplx>{m.a.data()}, View1<std::int32_t>{o.p.data()},
            View1<std::int32_t>{o.ip.data()}, nsp, View1<std::int32_t>{g_isp.data()},
            path, o.flag);
  o.p.resize(m.n);
  o.ip.resize(m.n);
  return o;
}

std::vector<std::int32_t> iota1(int n) {
  std::vector<std::int32_t> v(n);
  for (int i = 0; i < n; ++i) v[i] = i + 1;
  return v;
}

void expect_inverse_pair(const Order& o, int n) {
  std::vector<int> seen(n + 1, 0);
  for (int k = 1; k <= n; ++k) {
    ASSERT_GE(o.p[k - 1], 1);
    ASSERT_LE(o.p[k - 1], n);
    ++seen[o.p[k - 1]];
    EXPECT_EQ(o.ip[o.p[k - 1] - 1], k);
  }
  for (int i = 1; i <= n; ++i) EXPECT_EQ(seen[i], 1) << "vertex " << i;
}

// 3 by 3 grid numbered row by row; each row holds its diagonal and its
// horizontal and vertical neighbours in increasing column order.
std::vector<std::vector<int>> grid_rows(int side) {
  std::vector<std::vector<int>> rows(side * side);
  for (int r = 0; r < side; ++r)
    for (int c = 0; c < side; ++c) {
      const int i = r * side + c + 1;
      auto& row = rows[i - 1];
      if (r > 0) row.push_back(i - side);
      if (c > 0) row.push_back(i - 1);
      row.push_back(i);
      if (c + 1 < side) row.push_back(i + 1);
      if (r + 1 < side) row.push_back(i + side);
    }
  return rows;
}

TEST(Ordering, VerticesWithoutNeighboursComeInReverse) {
  Pattern m = from_edges(7, {}, true);
  Order o = run(m, 1);
  ASSERT_EQ(o.flag, 0);
  EXPECT_EQ(o.p, (std::vector<std::int32_t>{7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(o.ip, (std::vector<std::int32_t>{7, 6, 5, 4, 3, 2, 1}));
}

TEST(Ordering, TridiagonalIsEatenFromTheLastEnd) {
  // 5 and 1 both start with degree 1; 5 heads the list, and each updated
  // neighbour is pushed in front of 1.
  Pattern m = from_edges(5, {{1, 2}, {2, 3}, {3, 4}, {4, 5}}, true);
  Order o = run(m, 1);
  ASSERT_EQ(o.flag, 0);
  EXPECT_EQ(o.p, (std::vector<std::int32_t>{5, 4, 3, 2, 1}));
  EXPECT_EQ(o.ip, (std::vector<std::int32_t>{5, 4, 3, 2, 1}));
}

TEST(Ordering, GridOfThreeByThreeHasItsFixedOrder) {
  Pattern m = from_rows(grid_rows(3));
  Order o = run(m, 1);
  ASSERT_EQ(o.flag, 0);
  EXPECT_EQ(o.p, (std::vector<std::int32_t>{9, 7, 3, 1, 2, 6, 5, 4, 8}));
  EXPECT_EQ(o.ip, (std::vector<std::int32_t>{4, 5, 3, 8, 7, 6, 2, 9, 1}));
}

TEST(Ordering, OnlyTheStrictUpperTriangleCounts) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 20; ++trial) {
    const int n = 5 + trial * 7;
    std::set<std::pair<int, int>> edges;
    std::uniform_int_distribution<int> pick(1, n);
    for (int e = 0; e < 2 * n; ++e) {
      const int i = pick(rng), j = pick(rng);
      if (i != j) edges.insert({std::min(i, j), std::max(i, j)});
    }
    std::vector<std::pair<int, int>> list(edges.begin(), edges.end());
    std::shuffle(list.begin(), list.end(), rng);
    Pattern full = from_edges(n, list, true);
    Pattern upper = from_edges(n, list, false);
    // the lower triangle alone carries no adjacency at all
    std::vector<std::vector<int>> lower_rows(n);
    for (auto [i, j] : list) lower_rows[j - 1].push_back(i);
    Pattern lower = from_rows(lower_rows);
    Order of = run(full, 1), ou = run(upper, 1), ol = run(lower, 1);
    ASSERT_EQ(of.flag, 0);
    ASSERT_EQ(ou.flag, 0);
    EXPECT_EQ(of.p, ou.p);
    EXPECT_EQ(of.ip, ou.ip);
    std::vector<std::int32_t> reversed(n);
    for (int k = 0; k < n; ++k) reversed[k] = n - k;
    EXPECT_EQ(ol.p, reversed);
  }
}

TEST(Ordering, RepeatedColumnEntersTheAdjacencyOnce) {
  // The ordering must stay a permutation even if a row repeats a column.
  auto rows = grid_rows(3);
  Pattern clean = from_rows(rows);
  rows[0].push_back(2);
  rows[4].push_back(8);
  rows[4].push_back(8);
  Pattern repeated = from_rows(rows);
  Order oc = run(clean, 1), orp = run(repeated, 1);
  ASSERT_EQ(orp.flag, 0);
  EXPECT_EQ(orp.p, oc.p);
  EXPECT_EQ(orp.ip, oc.ip);
}

TEST(OrderingFlags, PathOutsideOneToFiveTouchesNothing) {
  Pattern m = from_rows(grid_rows(3));
  for (int path : {0, 6, -1}) {
    std::vector<std::int32_t> p0(10, 42), ip0(10, 43);
    Order o = run(m, path, 400000, p0, ip0);
    EXPECT_EQ(o.flag, 11 * 9 + 1);
    EXPECT_EQ(o.p, std::vector<std::int32_t>(9, 42));
    EXPECT_EQ(o.ip, std::vector<std::int32_t>(9, 43));
  }
}

TEST(OrderingFlags, ListStorageRunsOutAtTheRowThatOverflows) {
  // Tridiagonal of order 5: 4 upper entries need n + 2K = 13 slots; with
  // nsp = n + 2 max, max = 13 fits and max = 12 fails in row 4.
  Pattern m = from_edges(5, {{1, 2}, {2, 3}, {3, 4}, {4, 5}}, true);
  EXPECT_EQ(run(m, 1, 5 + 2 * 13).flag, 0);
  EXPECT_EQ(run(m, 1, 5 + 2 * 13 + 1).flag, 0);
  EXPECT_EQ(run(m, 1, 5 + 2 * 12 + 1).flag, 9 * 5 + 4);
  EXPECT_EQ(run(m, 1, 5 + 2 * 11).flag, 9 * 5 + 4);
  EXPECT_EQ(run(m, 1, 5 + 2 * 10).flag, 9 * 5 + 3);
  EXPECT_EQ(run(m, 1, 5 + 2 * 6).flag, 9 * 5 + 1);
}

TEST(OrderingFlags, WorkspaceBelowTheVertexCountIsRefused) {
  Pattern m = from_edges(5, {}, true);
  EXPECT_EQ(run(m, 1, 5 + 2 * 5).flag, 0);  // max = n: enough without edges
  for (int path : {1, 2, 4}) EXPECT_EQ(run(m, path, 5 + 2 * 4 + 1).flag, 10 * 5 + 1);
  EXPECT_EQ(run(m, 1, 3).flag, 10 * 5 + 1);
}

TEST(OrderingFlags, ReorderingNeedsRoomForItsWorkArrays) {
  // paths 3 and 5 need n + nnz words; paths 2 and 4 also the ordering's
  Pattern base = from_edges(5, {{1, 2}, {2, 3}, {3, 4}, {4, 5}}, false);
  const int nnz = 9;
  for (int path : {3, 5}) {
    Pattern m = base;
    EXPECT_EQ(run(m, path, 5 + nnz - 1, iota1(5), iota1(5)).flag, 10 * 5 + 1);
    m = base;
    EXPECT_EQ(run(m, path, 5 + nnz, iota1(5), iota1(5)).flag, 0);
  }
  Pattern m = base;
  EXPECT_EQ(run(m, 2, 5 + 2 * 13).flag, 0);
}

// Elimination-graph check: every vertex, when its turn comes, has the least
// degree among the vertices not yet eliminated (mass elimination keeps this).
void expect_minimum_degree(const Pattern& m, const Order& o) {
  const int n = m.n;
  std::vector<std::vector<char>> adj(n + 1, std::vector<char>(n + 1, 0));
  for (int i = 1; i <= n; ++i)
    for (int j = m.ia[i - 1]; j < m.ia[i]; ++j) {
      const int c = m.ja[j - 1];
      if (c > i) adj[i][c] = adj[c][i] = 1;
    }
  std::vector<char> gone(n + 1, 0);
  std::vector<int> deg(n + 1, 0);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) deg[i] += adj[i][j];
  for (int k = 1; k <= n; ++k) {
    const int vk = o.p[k - 1];
    int dmin = n;
    for (int u = 1; u <= n; ++u)
      if (!gone[u]) dmin = std::min(dmin, deg[u]);
    ASSERT_EQ(deg[vk], dmin) << "step " << k << " vertex " << vk;
    std::vector<int> nb;
    for (int u = 1; u <= n; ++u)
      if (!gone[u] && adj[vk][u]) nb.push_back(u);
    gone[vk] = 1;
    for (int u : nb) {
      adj[u][vk] = 0;
      --deg[u];
    }
    for (int a : nb)
      for (int b : nb)
        if (a != b && !adj[a][b]) {
          adj[a][b] = 1;
          ++deg[a];
        }
  }
}

TEST(OrderingRandom, GivesInversePermutationsOfLeastDegree) {
  std::mt19937 rng(2024);
  for (int trial = 0; trial < 60; ++trial) {
    const int n = 1 + static_cast<int>(rng() % 160);
    const double density = 0.5 + (rng() % 8);
    std::uniform_int_distribution<int> pick(1, n);
    std::set<std::pair<int, int>> edges;
    for (int e = 0; e < static_cast<int>(density * n); ++e) {
      const int i = pick(rng), j = pick(rng);
      if (i != j) edges.insert({std::min(i, j), std::max(i, j)});
    }
    std::vector<std::pair<int, int>> list(edges.begin(), edges.end());
    std::shuffle(list.begin(), list.end(), rng);
    Pattern m = from_edges(n, list, trial % 2 == 0);
    Order o = run(m, 1);
    ASSERT_EQ(o.flag, 0) << "trial " << trial;
    expect_inverse_pair(o, n);
    expect_minimum_degree(m, o);
  }
}

TEST(OrderingRandom, BlocksOfCoupledUnknownsKeepLeastDegree) {
  // Finite-element-like patterns: several unknowns per node, all coupled
  // within each cell, so that many vertices are indistinguishable and the
  // prototype, duplicate and mass-elimination paths are all taken.
  for (auto [nx, ny, dofs] : {std::tuple{3, 3, 2}, std::tuple{4, 3, 3},
                              std::tuple{5, 5, 2}, std::tuple{2, 6, 4},
                              std::tuple{6, 4, 1}}) {
    const int nodes = (nx + 1) * (ny + 1);
    const int n = nodes * dofs;
    std::vector<std::set<int>> rows(n + 1);
    for (int k = 0; k < ny; ++k)
      for (int j = 0; j < nx; ++j) {
        const int corner[4] = {k * (nx + 1) + j, k * (nx + 1) + j + 1,
                               (k + 1) * (nx + 1) + j + 1, (k + 1) * (nx + 1) + j};
        for (int a : corner)
          for (int b : corner)
            for (int da = 1; da <= dofs; ++da)
              for (int db = 1; db <= dofs; ++db)
                rows[a * dofs + da].insert(b * dofs + db);
      }
    std::vector<std::vector<int>> r(n);
    for (int i = 1; i <= n; ++i) r[i - 1].assign(rows[i].begin(), rows[i].end());
    Pattern m = from_rows(r);
    Order o = run(m, 1);
    ASSERT_EQ(o.flag, 0);
    expect_inverse_pair(o, n);
    expect_minimum_degree(m, o);
  }
}

// The stored entries of a one-triangle matrix as (min, max, value) triples.
std::multiset<std::tuple<int, int, double, double>> entries(const Pattern& m) {
  std::multiset<std::tuple<int, int, double, double>> s;
  for (int i = 1; i <= m.n; ++i)
    for (int j = m.ia[i - 1]; j < m.ia[i]; ++j) {
      const int c = m.ja[j - 1];
      s.insert({std::min(i, c), std::max(i, c), m.a[j - 1].real(), m.a[j - 1].imag()});
    }
  return s;
}

TEST(Reordering, EntriesMoveToTheUpperTriangleOfTheNewOrder) {
  // Reverse order on an upper-stored tridiagonal: every off-diagonal entry
  // moves to the row of its column; rows keep the storage order.
  Pattern m = from_edges(4, {{1, 2}, {2, 3}, {3, 4}}, false);
  // rows: 1: (1,1) (1,2); 2: (2,2) (2,3); 3: (3,3) (3,4); 4: (4,4)
  const auto before = entries(m);
  std::vector<std::int32_t> p = {4, 3, 2, 1, 0}, ip = {4, 3, 2, 1, 0};
  Order o = run(m, 3, 400000, p, ip);
  ASSERT_EQ(o.flag, 0);
  EXPECT_EQ(o.p, (std::vector<std::int32_t>{4, 3, 2, 1}));
  EXPECT_EQ(std::vector<std::int32_t>(m.ia.begin(), m.ia.end()),
            (std::vector<std::int32_t>{1, 2, 4, 6, 8}));
  EXPECT_EQ(std::vector<std::int32_t>(m.ja.begin(), m.ja.begin() + 7),
            (std::vector<std::int32_t>{1, 1, 2, 2, 3, 3, 4}));
  // values travel with their columns: (2,1) is the old (1,2), entry 2
  EXPECT_EQ(m.a[1], cplx(2.0, 1.0));
  EXPECT_EQ(m.a[2], cplx(3.0, 2.0));
  EXPECT_EQ(entries(m), before);
}

TEST(Reordering, DiagonalFirstPutsEachDiagonalAtItsRowStart) {
  Pattern m = from_edges(4, {{1, 2}, {2, 3}, {3, 4}}, false);
  std::vector<std::int32_t> p = {4, 3, 2, 1, 0}, ip = {4, 3, 2, 1, 0};
  Order o = run(m, 5, 400000, p, ip);
  ASSERT_EQ(o.flag, 0);
  EXPECT_EQ(std::vector<std::int32_t>(m.ja.begin(), m.ja.begin() + 7),
            (std::vector<std::int32_t>{1, 2, 1, 3, 2, 4, 3}));
  EXPECT_EQ(m.a[1], cplx(3.0, 2.0));  // (2,2)
  EXPECT_EQ(m.a[2], cplx(2.0, 1.0));  // (2,1), the old (1,2)
}

TEST(Reordering, OrderThenReorderKeepsEveryEntryAboveTheNewDiagonal) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 30; ++trial) {
    const int n = 2 + static_cast<int>(rng() % 60);
    std::uniform_int_distribution<int> pick(1, n);
    std::set<std::pair<int, int>> edges;
    for (int e = 0; e < 3 * n; ++e) {
      const int i = pick(rng), j = pick(rng);
      if (i != j) edges.insert({std::min(i, j), std::max(i, j)});
    }
    std::vector<std::pair<int, int>> list(edges.begin(), edges.end());
    std::shuffle(list.begin(), list.end(), rng);
    // store each edge in a random triangle
    std::vector<std::vector<int>> rows(n);
    for (int i = 1; i <= n; ++i) rows[i - 1].push_back(i);
    for (auto [i, j] : list) {
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
      EXPECT_EQ(o.p, path1.p);  // the same order as path 1, then the move
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
