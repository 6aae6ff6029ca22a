#pragma once
// Small complex systems in compressed sparse rows for the factorization
// tests, a workspace seen as complex words and as integers, and a dense
// reference solve to check against.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "common/complex.hpp"
#include "common/tables.hpp"
#include "sparse/zndrv.hpp"

namespace tp::testing {

// A(i, j) entries kept row by row in the order they are stored.
struct Entry {
  int col;
  cplx value;
};

struct Csr {
  int n = 0;
  std::vector<std::int32_t> ia, ja;
  std::vector<cplx> a;
};

inline Csr make_csr(const std::vector<std::vector<Entry>>& rows) {
  Csr m;
  m.n = static_cast<int>(rows.size());
  m.ia.push_back(1);
  for (const auto& row : rows) {
    for (const auto& e : row) {
      m.ja.push_back(e.col);
      m.a.push_back(e.value);
    }
    m.ia.push_back(static_cast<std::int32_t>(m.ja.size()) + 1);
  }
  m.ja.push_back(0);  // keep data() valid for an all-empty matrix
  m.a.push_back(0.0);
  return m;
}

// Dense copy, dense(i)(j) = A(i+1, j+1).
inline std::vector<std::vector<cplx>> dense(const Csr& m) {
  std::vector<std::vector<cplx>> full(m.n, std::vector<cplx>(m.n, 0.0));
  for (int i = 0; i < m.n; ++i)
    for (int e = m.ia[i]; e < m.ia[i + 1]; ++e) full[i][m.ja[e - 1] - 1] = m.a[e - 1];
  return full;
}

// Gaussian elimination with partial pivoting on a dense copy.
inline std::vector<cplx> dense_solve(std::vector<std::vector<cplx>> m, std::vector<cplx> b) {
  const int n = static_cast<int>(b.size());
  for (int k = 0; k < n; ++k) {
    int p = k;
    for (int i = k + 1; i < n; ++i)
      if (std::abs(m[i][k]) > std::abs(m[p][k])) p = i;
    std::swap(m[k], m[p]);
    std::swap(b[k], b[p]);
    for (int i = k + 1; i < n; ++i) {
      const cplx f = cdiv(m[i][k], m[k][k]);
      for (int j = k; j < n; ++j) m[i][j] -= f * m[k][j];
      b[i] -= f * b[k];
    }
  }
  std::vector<cplx> x(n);
  for (int k = n - 1; k >= 0; --k) {
    cplx s = b[k];
    for (int j = k + 1; j < n; ++j) s -= m[k][j] * x[j];
    x[k] = cdiv(s, m[k][k]);
  }
  return x;
}

inline std::vector<std::vector<cplx>> transpose(const std::vector<std::vector<cplx>>& m) {
  std::vector<std::vector<cplx>> t(m.size(), std::vector<cplx>(m.size()));
  for (std::size_t i = 0; i < m.size(); ++i)
    for (std::size_t j = 0; j < m.size(); ++j) t[j][i] = m[i][j];
  return t;
}

// The solver's workspace: nsp complex words, and one guard word behind them
// that the solver must never touch. nsp = 0: the factor sizes its own.
struct Workspace {
  explicit Workspace(int words) : nsp(words), store(words + 1, cplx(7.5, -7.5)) {}
  View1<cplx> rsp() { return View1<cplx>{store.data()}; }
  View1<std::int32_t> isp() {
    return View1<std::int32_t>{reinterpret_cast<std::int32_t*>(store.data())};
  }
  bool guard_intact() const { return store[nsp] == cplx(7.5, -7.5); }
  int nsp;
  std::vector<cplx> store;
};

// The solver's phases on a system with row order r, column order c, in the
// workspace ws (or, with a workspace of 0 words, in storage of its own).
struct Solve {
  Csr m;
  std::vector<std::int32_t> r, c, ic;
  Workspace& ws;
  std::vector<cplx> z;
  SparseFactor f;
  int esp = -999;
  int flag = -999;

  Solve(const Csr& matrix, Workspace& w) : m(matrix), ws(w), z(matrix.n + 1, cplx(-1.0, -1.0)) {
    for (int k = 1; k <= m.n; ++k) r.push_back(k);
    c = r;
    ic = r;
  }
  // r = c = p, ic its inverse.
  void order(const std::vector<std::int32_t>& p) { order(p, p); }
  void order(const std::vector<std::int32_t>& rows, const std::vector<std::int32_t>& cols) {
    r = rows;
    c = cols;
    ic.assign(m.n, 0);
    for (int k = 1; k <= m.n; ++k) ic[c[k - 1] - 1] = k;
  }
  SparseRows rows() {
    return SparseRows{m.n, View1<std::int32_t>{m.ia.data()}, View1<std::int32_t>{m.ja.data()},
                      View1<cplx>{m.a.data()}};
  }
  // Analyse; flag and esp as the phase leaves them.
  void analyse() {
    zn_init(f, m.n, View1<std::int32_t>{r.data()}, View1<std::int32_t>{c.data()},
            View1<std::int32_t>{ic.data()}, ws.store.data(), ws.nsp);
    flag = zn_analyse(f, rows());
    esp = f.esp;
  }
  void factor() {
    flag = zn_factor(f, rows());
    esp = f.esp;
  }
  const std::vector<cplx>& solve(std::vector<cplx> b, bool transposed = false) {
    b.push_back(0.0);
    if (transposed)
      zn_solve_transposed(f, View1<cplx>{b.data()}, View1<cplx>{z.data()});
    else
      zn_solve(f, View1<cplx>{b.data()}, View1<cplx>{z.data()});
    return z;
  }
  // All three phases, stopping at the first nonzero flag.
  const std::vector<cplx>& run(std::vector<cplx> b) {
    analyse();
    if (flag == 0) factor();
    if (flag == 0) solve(std::move(b));
    return z;
  }
  std::vector<cplx> solution() const { return std::vector<cplx>(z.begin(), z.begin() + m.n); }
};

// Largest difference of z from ref relative to ref's largest entry.
inline double max_diff(const std::vector<cplx>& z, const std::vector<cplx>& ref) {
  double scale = 0.0, diff = 0.0;
  for (std::size_t i = 0; i < ref.size(); ++i) {
    scale = std::max(scale, std::abs(ref[i]));
    diff = std::max(diff, std::abs(z[i] - ref[i]));
  }
  return diff / scale;
}

inline std::vector<std::int32_t> random_permutation(int n, std::mt19937& gen) {
  std::vector<std::int32_t> p(n);
  for (int k = 0; k < n; ++k) p[k] = k + 1;
  std::shuffle(p.begin(), p.end(), gen);
  return p;
}

inline cplx random_value(std::mt19937& gen) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const double re = u(gen);
  return {re, u(gen)};
}

inline std::vector<cplx> random_vector(int n, std::mt19937& gen) {
  std::vector<cplx> v(n);
  for (auto& x : v) x = random_value(gen);
  return v;
}

// A system with the coupling pattern of bilinear elements on an nx by ny
// cell grid, dofs unknowns per node: every unknown of a cell's four nodes
// meets every other. Random complex entries with a dominant diagonal, so
// that it needs no pivoting in any order.
inline Csr grid_system(int nx, int ny, int dofs, std::mt19937& gen) {
  const int nodes = (nx + 1) * (ny + 1);
  std::vector<std::vector<Entry>> rows(nodes * dofs);
  auto unknown = [&](int i, int j, int d) { return (j * (nx + 1) + i) * dofs + d + 1; };
  for (int j = 0; j <= ny; ++j) {
    for (int i = 0; i <= nx; ++i) {
      for (int d = 0; d < dofs; ++d) {
        auto& row = rows[unknown(i, j, d) - 1];
        double off = 0.0;
        for (int jj = std::max(0, j - 1); jj <= std::min(ny, j + 1); ++jj)
          for (int ii = std::max(0, i - 1); ii <= std::min(nx, i + 1); ++ii)
            for (int dd = 0; dd < dofs; ++dd) {
              if (ii == i && jj == j && dd == d) continue;
              row.push_back({unknown(ii, jj, dd), random_value(gen)});
              off += std::abs(row.back().value);
            }
        row.push_back({unknown(i, j, d), cplx(1.0 + off, 0.5)});
      }
    }
  }
  return make_csr(rows);
}

// Minimum-degree order of m in storage of the orderer's own.
inline std::vector<std::int32_t> md_order(Csr& m) {
  std::vector<std::int32_t> p(m.n), ip(m.n);
  const SparseRows a{m.n, View1<std::int32_t>{m.ia.data()}, View1<std::int32_t>{m.ja.data()},
                     View1<cplx>{m.a.data()}};
  EXPECT_EQ(zn_order(a, View1<std::int32_t>{p.data()}, View1<std::int32_t>{ip.data()}, nullptr, 0,
                     nullptr),
            0);
  return p;
}

}  // namespace tp::testing
