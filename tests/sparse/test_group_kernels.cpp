// The grouped elimination's kernels at every vector width the processor
// runs: each must round every entry as the plain scalar update
// w - (xr ur - xi ui, xr ui + xi ur), U row after U row, touch nothing
// outside its entries, and the whole factorization must come out the same
// bit for bit whichever width it may use.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "sparse/zn_group_kernels.hpp"
#include "tests/sparse/test_factor_system.hpp"

namespace tp::testing {
namespace {

constexpr double kGuard = 12345.5;  // value of the words a kernel must not touch

std::vector<KernelWidth> widths_run_here() {
  std::vector<KernelWidth> out{KernelWidth::pairs};
  for (const KernelWidth w : {KernelWidth::quads, KernelWidth::octs})
    if (kernel_width(w) == w) out.push_back(w);
  return out;
}

// Random parts with signed zeros among them, whose signs the products and
// differences must carry exactly as the scalar operations do.
double random_part(std::mt19937& gen) {
  std::uniform_real_distribution<double> v(-1.0, 1.0);
  const double r = v(gen);
  if (r > 0.9) return 0.0;
  if (r < -0.9) return -0.0;
  return r;
}

// w - x u on two doubles, the reference of every lane.
void scalar_update(double* w, const double* x, const double* u) {
  const double re = x[0] * u[0] - x[1] * u[1];
  const double im = x[0] * u[1] + x[1] * u[0];
  w[0] = w[0] - re;
  w[1] = w[1] - im;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// m dense rows of n columns (with guard words around each), s U rows of a
// group whose shared pattern is cols, multipliers x.
struct Rectangle {
  int m, s, n;
  std::vector<std::int32_t> cols;
  std::vector<double> dense, u, x;
  std::vector<double*> w;
  std::vector<const double*> xp, urow;

  Rectangle(int rows, int group, std::vector<std::int32_t> pattern, int columns, std::mt19937& gen)
      : m(rows), s(group), n(columns), cols(std::move(pattern)) {
    dense.assign(2L * (n + 2) * m, kGuard);
    for (int i = 0; i < m; ++i)
      for (const int c : cols) {
        dense[2L * (n + 2) * i + 2 * c] = random_part(gen);
        dense[2L * (n + 2) * i + 2 * c + 1] = random_part(gen);
      }
    const int nt = static_cast<int>(cols.size());
    u.resize(2L * s * nt + 2);
    for (double& d : u) d = random_part(gen);
    x.resize(2L * m * s);
    for (double& d : x) d = random_part(gen);
    bind();
  }
  Rectangle(const Rectangle& o)
      : m(o.m), s(o.s), n(o.n), cols(o.cols), dense(o.dense), u(o.u), x(o.x) {
    bind();
  }
  // The row, multiplier and U-row pointers into this copy's own storage.
  void bind() {
    w.clear();
    xp.clear();
    urow.clear();
    for (int i = 0; i < m; ++i) {
      w.push_back(dense.data() + 2L * (n + 2) * i + 2);  // column c at 2c-2
      xp.push_back(x.data() + 2L * s * i);
    }
    for (int t = 0; t < s; ++t) urow.push_back(u.data() + 2L * static_cast<long>(cols.size()) * t);
  }
  GroupBlock block() {
    return GroupBlock{
        w.data(), xp.data(), m, urow.data(), s, cols.data(), static_cast<int>(cols.size())};
  }
  // The reference: entry after entry, U row after U row.
  void scalar() {
    for (int i = 0; i < m; ++i)
      for (std::size_t q = 0; q < cols.size(); ++q)
        for (int t = 0; t < s; ++t)
          scalar_update(w[i] + 2 * (cols[q] - 1), xp[i] + 2 * t, urow[t] + 2 * q);
  }
};

// Patterns of nt columns from column 2 or 3: side by side (kind 0), spread
// (1), or side by side but for a gap after every third (2), so that some
// runs of four columns nearly fit one vector.
std::vector<std::int32_t> pattern(int nt, int kind) {
  std::vector<std::int32_t> cols;
  for (int q = 0; q < nt; ++q)
    cols.push_back(kind == 0 ? 3 + q : kind == 1 ? 2 + 3 * q + q % 2 : 3 + q + q / 3);
  return cols;
}

TEST(GroupKernels, RectangleRoundsEveryEntryAsTheScalarUpdateAtEveryWidth) {
  // Every count of rows of a block (1..8, so every tile height and the
  // rows left over), short and full groups, pattern lengths that leave
  // every remainder of the four- and eight-column tiles, columns side by
  // side (one load a tile), spread or nearly side by side (gathered): bit
  // for bit the scalar update, and the guard words between the columns
  // untouched.
  std::mt19937 gen(3);
  for (const KernelWidth width : widths_run_here()) {
    const GroupKernels k = group_kernels(width);
    for (int m = 1; m <= kFactorBlock; ++m)
      for (const int s : {1, 3, kMaxGroup})
        for (const int nt : {0, 1, 2, 3, 4, 5, 7, 8, 9, 13})
          for (const int kind : {0, 1, 2}) {
            Rectangle ref(m, s, pattern(nt, kind), 3 * nt + 4, gen);
            Rectangle mine(ref);
            ref.scalar();
            k.rectangle(mine.block());
            EXPECT_TRUE(same_bits(mine.dense, ref.dense))
                << "width " << static_cast<int>(width) << " m " << m << " s " << s << " nt " << nt
                << " pattern kind " << kind;
          }
  }
}

TEST(GroupKernels, RowUpdateOfTheTriangularStepStopsAtItsLastColumn) {
  // Every length of a group's row (the masked tail of the eight-double
  // kernel, the odd word of the four-double one), every count of rows:
  // the scalar update's bits on the len words, the guard words after them
  // untouched.
  std::mt19937 gen(11);
  for (const KernelWidth width : widths_run_here()) {
    const GroupKernels k = group_kernels(width);
    for (int m = 1; m <= kFactorBlock; ++m)
      for (int len = 0; len < kMaxGroup; ++len) {
        std::vector<double> rows(2L * m * (len + 4), kGuard), x(2L * m), u(2L * len);
        for (int i = 0; i < m; ++i)
          for (int c = 0; c < 2 * len; ++c) rows[2L * (len + 4) * i + c] = random_part(gen);
        for (double& d : x) d = random_part(gen);
        for (double& d : u) d = random_part(gen);
        std::vector<double> ref = rows;
        std::vector<double*> w;
        std::vector<const double*> xp;
        for (int i = 0; i < m; ++i) {
          for (int c = 0; c < len; ++c)
            scalar_update(ref.data() + 2L * (len + 4) * i + 2 * c, x.data() + 2 * i,
                          u.data() + 2 * c);
          w.push_back(rows.data() + 2L * (len + 4) * i);
          xp.push_back(x.data() + 2 * i);
        }
        for (int i = 0; i < m; ++i) k.row_update(w[i], xp[i], u.data(), len);
        EXPECT_TRUE(same_bits(rows, ref))
            << "width " << static_cast<int>(width) << " m " << m << " len " << len;
      }
  }
}

TEST(GroupKernels, EveryWidthGivesTheSameFactorsAndSolutionBitForBit) {
  // The element pattern of a grid in minimum-degree order has groups of
  // every size met by blocks whose rows enter them at different U rows;
  // factored in the program's workspace with each width allowed in turn
  // (where the processor lacks one, the next narrower runs), the factors
  // and the solution must not change by a bit.
  std::mt19937 gen(17);
  Csr m = grid_system(14, 11, 4, gen);
  const std::vector<std::int32_t> order = md_order(m);
  const std::vector<cplx> b = random_vector(m.n, gen);
  std::vector<cplx> l0, d0, u0, z0;
  for (const KernelWidth width : {KernelWidth::pairs, KernelWidth::quads, KernelWidth::octs}) {
    Workspace ws(3000000);
    Solve s(m, ws);
    s.order(order);
    s.analyse();
    ASSERT_EQ(s.flag, 0);
    s.f.widest_kernels = width;
    s.factor();
    ASSERT_EQ(s.flag, 0);
    s.solve(b);
    const std::vector<cplx> l(&s.f.l(1), &s.f.l(1) + s.f.lnz), d(&s.f.d(1), &s.f.d(1) + m.n),
        u(&s.f.u(1), &s.f.u(1) + s.f.unz), z = s.solution();
    if (width == KernelWidth::pairs) {
      l0 = l;
      d0 = d;
      u0 = u;
      z0 = z;
      continue;
    }
    const auto same = [](const std::vector<cplx>& a, const std::vector<cplx>& c) {
      return std::memcmp(a.data(), c.data(), a.size() * sizeof(cplx)) == 0;
    };
    EXPECT_TRUE(same(l, l0) && same(d, d0) && same(u, u0)) << "width " << static_cast<int>(width);
    EXPECT_TRUE(same(z, z0)) << "width " << static_cast<int>(width);
    EXPECT_TRUE(ws.guard_intact());
  }
  EXPECT_LT(max_diff(z0, dense_solve(dense(m), b)), 1e-10);
}

}  // namespace
}  // namespace tp::testing
