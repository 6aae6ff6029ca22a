// Global assembly of the complex system: the one-entry insertion and the
// pattern-first assembly that reproduces it.
#include "fem/global_sist.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "fem/local_sys.hpp"

namespace tp {
namespace {

// Pattern work area of the fast assembly, sized from the grid once per
// assembly.
// sorted_global(t, e), t = 1..20: the global unknowns of element e in
// increasing order; sorted_local(t, e) the local unknown each comes from.
// The elements holding global unknown g are incidence(incidence_start(g) ..
// incidence_start(g+1) - 1), in increasing order.
// column_bits(1..neq/64+1): the columns of the row being built, one bit per
// unknown (bit (c - 1) % 64 of word (c - 1) / 64 + 1 for column c); all
// zero between rows.
// pattern_source(g): the first unknown whose row has the same pattern as row
// g (the unknowns of one node share it).
struct PatternWork {
  Array2<std::int32_t> sorted_global, sorted_local;
  Array1<std::int32_t> incidence_start, incidence, pattern_source;
  Array1<std::uint64_t> column_bits;
  int column_words = 0;
  bool size(int nel, int neq) {
    column_words = neq / 64 + 1;
    bool ok = sorted_global.resize(kLocalDofs, nel);
    ok = sorted_local.resize(kLocalDofs, nel) && ok;
    ok = incidence_start.resize(std::int64_t{neq} + 1) && ok;
    ok = incidence.resize(std::int64_t{nel} * kLocalDofs) && ok;
    ok = pattern_source.resize(neq) && ok;
    return column_bits.resize(column_words) && ok;
  }
};

// Adds one element matrix into the global matrix.
using ElementAdder = void (*)(int ne, const ElementMatrix& a, const PatternWork& w, System& sys);

// Sorts each element's global unknowns and lists the elements of every
// unknown (a counting sort over the unknowns).
void index_elements(int nel, int neq, const XnodTable& xnod, PatternWork& w) {
  auto& sorted_global = w.sorted_global;
  auto& sorted_local = w.sorted_local;
  auto& incidence_start = w.incidence_start;
  auto& incidence = w.incidence;
  for (int g = 1; g <= neq + 1; ++g) incidence_start(g) = 0;
  for (int e = 1; e <= nel; ++e) {
    // Insertion sort of the 20 numbers, carrying their local indices along.
    for (int l = 1; l <= kLocalDofs; ++l) {
      const int g = xnod(e, l);
      int t = l;
      while (t > 1 && sorted_global(t - 1, e) > g) {
        sorted_global(t, e) = sorted_global(t - 1, e);
        sorted_local(t, e) = sorted_local(t - 1, e);
        --t;
      }
      sorted_global(t, e) = g;
      sorted_local(t, e) = l;
      ++incidence_start(g + 1);
    }
  }
  incidence_start(1) = 1;
  for (int g = 1; g <= neq; ++g) incidence_start(g + 1) += incidence_start(g);
  // Fill with a moving cursor per unknown, then move the cursors back.
  for (int e = 1; e <= nel; ++e) {
    for (int t = 1; t <= kLocalDofs; ++t) {
      const int g = sorted_global(t, e);
      incidence(incidence_start(g)) = e;
      ++incidence_start(g);
    }
  }
  for (int g = neq; g >= 1; --g) incidence_start(g + 1) = incidence_start(g);
  incidence_start(1) = 1;
}

// True when unknowns g - 1 and g belong to the same elements (the four
// values of a node always do), so their rows share one pattern.
bool same_elements(int g, const PatternWork& w) {
  const auto& incidence_start = w.incidence_start;
  const auto& incidence = w.incidence;
  const int n = incidence_start(g + 1) - incidence_start(g);
  if (g == 1 || incidence_start(g) - incidence_start(g - 1) != n) return false;
  for (int i = 0; i < n; ++i) {
    if (incidence(incidence_start(g - 1) + i) != incidence(incidence_start(g) + i)) return false;
  }
  return true;
}

// The pattern: row g is the union of the unknowns of the elements that hold
// g, sorted. The columns are marked in a bit table and read back in order
// over the few words between the row's smallest and largest column. Fills
// ia(1..neq+1) and ja(1..nnz).
void build_pattern(int nel, int neq, PatternWork& work, System& sys) {
  index_elements(nel, neq, sys.xnod, work);
  auto& ia = sys.ia;
  auto& ja = sys.ja;
  const auto& sorted_global = work.sorted_global;
  const auto& incidence_start = work.incidence_start;
  const auto& incidence = work.incidence;
  auto& column_bits = work.column_bits;
  auto& pattern_source = work.pattern_source;
  for (int w = 1; w <= work.column_words; ++w) column_bits(w) = 0;
  int pos = 1;
  ia(1) = 1;
  for (int g = 1; g <= neq; ++g) {
    if (same_elements(g, work)) {
      pattern_source(g) = pattern_source(g - 1);
      for (int p = ia(g - 1); p < ia(g); ++p) ja(pos++) = ja(p);
    } else {
      pattern_source(g) = g;
      int lo = neq + 1;
      int hi = 0;
      for (int i = incidence_start(g); i < incidence_start(g + 1); ++i) {
        const int e = incidence(i);
        for (int t = 1; t <= kLocalDofs; ++t) {
          const int c = sorted_global(t, e) - 1;
          column_bits(c / 64 + 1) |= std::uint64_t{1} << (c % 64);
        }
        lo = std::min(lo, sorted_global(1, e));
        hi = std::max(hi, sorted_global(kLocalDofs, e));
      }
      if (hi > 0) {
        for (int w = (lo - 1) / 64 + 1; w <= (hi - 1) / 64 + 1; ++w) {
          std::uint64_t bits = column_bits(w);
          column_bits(w) = 0;
          while (bits != 0) {
            ja(pos++) = (w - 1) * 64 + std::countr_zero(bits) + 1;
            bits &= bits - 1;
          }
        }
      }
    }
    ia(g + 1) = pos;
  }
}

// Adds element ne into the finished pattern. Its sorted columns are a subset
// of each of its rows, so one forward walk along a row finds their offsets
// from the row start; rows of one pattern (the four values of a corner)
// share the walk.
void add_into_pattern(int ne, const ElementMatrix& a, const PatternWork& work, System& sys) {
  const auto& xnod = sys.xnod;
  const auto& ia = sys.ia;
  const auto& ja = sys.ja;
  auto& avec = sys.avec;
  const auto& sorted_global = work.sorted_global;
  const auto& sorted_local = work.sorted_local;
  const auto& pattern_source = work.pattern_source;
  int source[kLocalDofs];
  int offset[kLocalDofs][kLocalDofs];
  int walked = 0;
  for (int il = 1; il <= kLocalDofs; ++il) {
    const int row = xnod(ne, il);
    const int start = ia(row);
    int w = 0;
    while (w < walked && source[w] != pattern_source(row)) ++w;
    if (w == walked) {
      source[walked++] = pattern_source(row);
      int p = start;
      for (int t = 1; t <= kLocalDofs; ++t) {
        const int col = sorted_global(t, ne);
        while (ja(p) < col) ++p;
        offset[w][t - 1] = p - start;
      }
    }
    for (int t = 1; t <= kLocalDofs; ++t) {
      avec(start + offset[w][t - 1]) += a(il, sorted_local(t, ne));
    }
  }
}

void add_by_insertion(int ne, const ElementMatrix& a, const PatternWork&, System& sys) {
  const auto& xnod = sys.xnod;
  for (int il = 1; il <= kLocalDofs; ++il) {
    for (int jl = 1; jl <= kLocalDofs; ++jl) {
      contribucion_yale(xnod(ne, jl), xnod(ne, il), a(il, jl), sys.neq, sys.ia, sys.ja, sys.avec);
    }
  }
}

// The cell loop both assemblies share: j outer, k inner, each element matrix
// handed to `add`, each element load summed into rhs_m.
void assemble_cells(ElementAdder add, const PatternWork& work, const double& omega,
                    const CellGrid& g, const Coefficients& co, System& sys) {
  auto& rhs_m = sys.rhs_m;
  const auto& xnod = sys.xnod;
  for (int q = 1; q <= sys.neq; ++q) rhs_m(q) = cplx(0.0, 0.0);
  ElementMatrix a;
  ElementVector b;
  for (int j = 1; j <= g.nx; ++j) {
    for (int k = 1; k <= g.ny; ++k) {
      local_sys(g, j, k, omega, co, a, b);
      const int ne = (k - 1) * g.nx + j;
      add(ne, a, work, sys);
      for (int l = 1; l <= kLocalDofs; ++l) rhs_m(xnod(ne, l)) += b(l);
    }
  }
}

}  // namespace

// Fast assembly: pattern first, then the element matrices summed into it.
int global_sist(const double& omega, const CellGrid& g, const Coefficients& co, System& sys) {
  const int neq = sys.neq;
  PatternWork work;
  if (!work.size(g.nx * g.ny, neq)) return 1;
  build_pattern(g.nx * g.ny, neq, work, sys);
  const int nnz = sys.ia(neq + 1) - 1;
  // Every stored position starts at -0, the exact identity of IEEE addition
  // (-0 + x is x for every x, signed zeros included), so after its first
  // contribution it holds that value exactly as the insertion stores it.
  for (int p = 1; p <= nnz; ++p) sys.avec(p) = cplx(-0.0, -0.0);
  for (int p = nnz + 1; p <= sys.room; ++p) {
    sys.avec(p) = cplx(0.0, 0.0);
    sys.ja(p) = 0;
  }
  assemble_cells(add_into_pattern, work, omega, g, co, sys);
  return 0;
}

// The pattern of the fast assembly, without its values.
int global_pattern(const CellGrid& g, System& sys) {
  PatternWork work;
  if (!work.size(g.nx * g.ny, sys.neq)) return 1;
  build_pattern(g.nx * g.ny, sys.neq, work, sys);
  return 0;
}

// Reference assembly: every element entry through the one-entry insertion.
void global_sist_insertion(const double& omega, const CellGrid& g, const Coefficients& co,
                           System& sys) {
  for (int p = 1; p <= sys.room; ++p) {
    sys.avec(p) = cplx(0.0, 0.0);
    sys.ja(p) = 0;
  }
  for (int q = 1; q <= sys.neq + 1; ++q) sys.ia(q) = 1;
  const PatternWork none;
  assemble_cells(add_by_insertion, none, omega, g, co, sys);
}

// Adds value at (row, column), inserting the position in sorted place if new.
void contribucion_yale(const int& column, const int& row, const cplx& value, const int& neq,
                       RowStarts& ia, ColumnIndices& ja, MatrixValues& avec) {
  const int start = ia(row);
  const int finish = ia(row + 1) - 1;
  int count = 0;  // stored columns of the row left of `column`
  for (int p = start; p <= finish; ++p) {
    if (ja(p) == column) {
      avec(p) += value;
      return;
    }
    if (ja(p) < column) ++count;
  }
  const int q = start + count;
  const int last = ia(neq + 1) - 1;
  for (int p = last; p >= q; --p) {
    avec(p + 1) = avec(p);
    ja(p + 1) = ja(p);
  }
  avec(q) = value;
  ja(q) = column;
  for (int r = row + 1; r <= neq + 1; ++r) ++ia(r);
}

}  // namespace tp
