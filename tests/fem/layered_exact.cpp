#include "layered_exact.hpp"

#include <algorithm>
#include <cmath>

namespace tp::platetest {
namespace {

using Matrix = std::vector<std::vector<cplx>>;

Matrix zeros(int rows, int cols) { return Matrix(rows, std::vector<cplx>(cols, cplx(0.0, 0.0))); }

// Solves a x = b by Gaussian elimination with partial pivoting (a and b are
// spoiled); x comes back in b.
void solve_dense(Matrix& a, std::vector<cplx>& b) {
  const int n = static_cast<int>(b.size());
  for (int c = 0; c < n; ++c) {
    int p = c;
    for (int r = c + 1; r < n; ++r) {
      if (std::abs(a[r][c]) > std::abs(a[p][c])) p = r;
    }
    std::swap(a[c], a[p]);
    std::swap(b[c], b[p]);
    for (int r = c + 1; r < n; ++r) {
      const cplx f = a[r][c] / a[c][c];
      for (int k = c; k < n; ++k) a[r][k] -= f * a[c][k];
      b[r] -= f * b[c];
    }
  }
  for (int c = n - 1; c >= 0; --c) {
    for (int k = c + 1; k < n; ++k) b[c] -= a[c][k] * b[k];
    b[c] /= a[c][c];
  }
}

// The layer's D and F (see the header) for the test.
struct LayerMatrices {
  int n = 0;
  Matrix d, f;
};

LayerMatrices layer_matrices(const testing::CellCoefficients& c, LayeredTest test) {
  LayerMatrices m;
  if (test == LayeredTest::vertical) {
    m.n = 3;
    const double e1 = c.lambda1 + 2 * c.mu1, e3 = c.lambda3 + 2 * c.mu3, e13 = c.d3 + c.mu13;
    m.d = {{e1, e13, c.b1}, {e13, e3, c.b2}, {c.b1, c.b2, c.m}};
    m.f = {{c.f11, -c.f11, -c.f12}, {-c.f11, c.f11, c.f12}, {-c.f12, c.f12, c.f22}};
  } else {
    m.n = 2;
    const double fe = c.f11 - c.f12 * c.f12 / c.f22;
    m.d = {{c.mu1, 0.5 * c.mu13}, {0.5 * c.mu13, c.mu3}};
    m.f = {{fe, -fe}, {-fe, fe}};
  }
  return m;
}

// The modes of one layer: the common motion n0 and the diffusive
// eigenvectors v[i] with their wave numbers k[i] (Re k > 0).
struct Modes {
  int n = 0;
  std::vector<cplx> n0;
  std::vector<std::vector<cplx>> v;
  std::vector<cplx> k;
};

// Null vector of the singular n by n matrix a (n = 2 or 3).
std::vector<cplx> null_vector(const Matrix& a, int n) {
  auto norm = [](const std::vector<cplx>& x) {
    double s = 0.0;
    for (const cplx& e : x) s += std::norm(e);
    return s;
  };
  std::vector<std::vector<cplx>> candidates;
  if (n == 2) {
    candidates = {{-a[0][1], a[0][0]}, {a[1][1], -a[1][0]}};
  } else {
    for (int p = 0; p < 3; ++p) {
      const auto& r = a[p];
      const auto& s = a[(p + 1) % 3];
      candidates.push_back(
          {r[1] * s[2] - r[2] * s[1], r[2] * s[0] - r[0] * s[2], r[0] * s[1] - r[1] * s[0]});
    }
  }
  return *std::max_element(candidates.begin(), candidates.end(),
                           [&](const auto& x, const auto& y) { return norm(x) < norm(y); });
}

Modes layer_modes(const LayerMatrices& lm, double omega) {
  const int n = lm.n;
  // M = D^-1 F, column by column.
  Matrix m = zeros(n, n);
  for (int col = 0; col < n; ++col) {
    Matrix d = lm.d;
    std::vector<cplx> x(n);
    for (int r = 0; r < n; ++r) x[r] = lm.f[r][col];
    solve_dense(d, x);
    for (int r = 0; r < n; ++r) m[r][col] = x[r];
  }
  // det M = 0: the other eigenvalues solve l^2 - tr l + c2 = 0 (n = 3) or
  // are the trace (n = 2).
  cplx trace(0.0, 0.0);
  for (int r = 0; r < n; ++r) trace += m[r][r];
  std::vector<cplx> lambdas;
  if (n == 2) {
    lambdas = {trace};
  } else {
    const cplx c2 = m[0][0] * m[1][1] - m[0][1] * m[1][0] + m[0][0] * m[2][2] - m[0][2] * m[2][0] +
                    m[1][1] * m[2][2] - m[1][2] * m[2][1];
    const cplx root = std::sqrt(trace * trace - 4.0 * c2);
    lambdas = {0.5 * (trace + root), 0.5 * (trace - root)};
  }
  Modes md;
  md.n = n;
  md.n0 = n == 2 ? std::vector<cplx>{1.0, 1.0} : std::vector<cplx>{1.0, 1.0, 0.0};
  for (const cplx& l : lambdas) {
    Matrix a = zeros(n, n);
    for (int r = 0; r < n; ++r) {
      for (int c = 0; c < n; ++c) a[r][c] = lm.f[r][c] - l * lm.d[r][c];
    }
    md.v.push_back(null_vector(a, n));
    md.k.push_back(std::sqrt(cplx(0.0, omega) * l));
  }
  return md;
}

// Displacement (derivative = false) or its y-derivative at s (0..t) in
// the layer, per unit of each of the layer's 2n coefficients
// [a, b, p_1..p_{n-1}, q_1..q_{n-1}]:
//   U = a n0 + b s n0 + sum p_i v_i exp(-k_i s) + sum q_i v_i exp(-k_i (t - s)).
Matrix mode_values(const Modes& md, double s, double t, bool derivative) {
  const int n = md.n;
  Matrix u = zeros(n, 2 * n);
  for (int r = 0; r < n; ++r) {
    u[r][0] = derivative ? 0.0 : md.n0[r];
    u[r][1] = derivative ? md.n0[r] : s * md.n0[r];
    for (int i = 0; i < n - 1; ++i) {
      const cplx k = md.k[i];
      const cplx up = std::exp(-k * s), down = std::exp(-k * (t - s));
      u[r][2 + i] = md.v[i][r] * (derivative ? -k * up : up);
      u[r][1 + n + i] = md.v[i][r] * (derivative ? k * down : down);
    }
  }
  return u;
}

Matrix times(const Matrix& a, const Matrix& b) {
  Matrix c = zeros(static_cast<int>(a.size()), static_cast<int>(b[0].size()));
  for (size_t r = 0; r < a.size(); ++r) {
    for (size_t k = 0; k < b.size(); ++k) {
      for (size_t col = 0; col < b[0].size(); ++col) c[r][col] += a[r][k] * b[k][col];
    }
  }
  return c;
}

// Writes block (sign times) into rows row0.. and the columns of layer i.
void put(Matrix& g, int row0, int col0, const Matrix& block, double sign) {
  for (size_t r = 0; r < block.size(); ++r) {
    for (size_t c = 0; c < block[0].size(); ++c) g[row0 + r][col0 + c] += sign * block[r][c];
  }
}

}  // namespace

LayeredModulus layered_modulus(const std::vector<Layer>& stack, double omega, LayeredTest test) {
  const int layers = static_cast<int>(stack.size());
  std::vector<LayerMatrices> lm;
  std::vector<Modes> modes;
  LayeredModulus out;
  out.diffusion_length = 1e300;
  double height = 0.0, scale = 0.0;
  for (const Layer& l : stack) {
    lm.push_back(layer_matrices(l.c, test));
    modes.push_back(layer_modes(lm.back(), omega));
    for (const cplx& k : modes.back().k) {
      out.diffusion_length = std::min(out.diffusion_length, 1.0 / k.real());
    }
    height += l.thickness;
    scale = std::max(scale, std::abs(lm.back().d[0][0]));
  }
  const int n = lm[0].n, w = 2 * n;
  Matrix g = zeros(w * layers, w * layers);
  std::vector<cplx> rhs(w * layers, cplx(0.0, 0.0));
  // Bottom held; interfaces: U and sigma (scaled to the order of U's rows)
  // continuous; top moved.
  put(g, 0, 0, mode_values(modes[0], 0.0, stack[0].thickness, false), 1.0);
  for (int i = 0; i + 1 < layers; ++i) {
    const double t = stack[i].thickness, t1 = stack[i + 1].thickness;
    const int row = n + 2 * n * i;
    put(g, row, w * i, mode_values(modes[i], t, t, false), 1.0);
    put(g, row, w * (i + 1), mode_values(modes[i + 1], 0.0, t1, false), -1.0);
    put(g, row + n, w * i, times(lm[i].d, mode_values(modes[i], t, t, true)), 1.0 / scale);
    put(g, row + n, w * (i + 1), times(lm[i + 1].d, mode_values(modes[i + 1], 0.0, t1, true)),
        -1.0 / scale);
  }
  const int last = layers - 1;
  const double t = stack[last].thickness;
  put(g, w * layers - n, w * last, mode_values(modes[last], t, t, false), 1.0);
  rhs[w * layers - n] = height;
  rhs[w * layers - n + 1] = height;
  solve_dense(g, rhs);
  const Matrix sigma = times(lm[last].d, mode_values(modes[last], t, t, true));
  out.modulus = cplx(0.0, 0.0);
  for (int c = 0; c < w; ++c) out.modulus += (sigma[0][c] + sigma[1][c]) * rhs[w * last + c];
  return out;
}

}  // namespace tp::platetest
