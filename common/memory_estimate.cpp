#include "common/memory_estimate.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/capacity.hpp"

namespace tp {

namespace {

constexpr std::int64_t kInt = 4, kReal = 8, kComplex = 16;

// Fill of the own order against n log2 n, below every measurement (18 at
// 60 cells a side, 21 at 240).
constexpr double kFillPerUnknownLog = 12.0;

// Stored entries per unknown well inside a grid (41.5 measured at 60 by 60);
// the edges store fewer, so the floor is taken.
constexpr std::int64_t kStoredPerUnknown = 40;

}  // namespace

std::int64_t stored_entries_estimate(std::int64_t nx, std::int64_t ny) {
  return kStoredPerUnknown * table_sizes(nx, ny).neq;
}

// Minimum degree on a strip eliminates across its narrow side: the fill per
// unknown is then about the band of a row of nodes of that side, 6 unknowns
// per node and 5 more, on each side of the diagonal (39.5 entries an unknown
// measured on 2 by 300 cells, 34 taken).
std::int64_t factor_entries_estimate(std::int64_t nx, std::int64_t ny) {
  const std::int64_t n = table_sizes(nx, ny).neq;
  const double by_order = kFillPerUnknownLog * static_cast<double>(n) * std::log2(double(n));
  const double by_band = 2.0 * static_cast<double>(n) * (6.0 * double(std::min(nx, ny)) + 5.0);
  return static_cast<std::int64_t>(std::min(by_order, by_band));
}

RunMemory estimate_run_memory(std::int64_t nx, std::int64_t ny, MemorySolver solver) {
  const TableSizes t = table_sizes(nx, ny);
  const std::int64_t cells = t.cells, neq = t.neq, room = t.room;
  RunMemory m;
  m.sample = (kInt + kReal) * cells;
  m.coefficients = 18 * kReal * cells;
  m.system = kInt * kLocalDofs * cells + kInt * (neq + 1) + (kInt + kComplex) * room +
             2 * kComplex * neq + 2 * kInt * neq;
  m.results = 6 * kComplex * cells + 2 * kReal * cells;
  // sorted_global, sorted_local and the incidence lists (20 per element),
  // the incidence starts, the pattern sources and one bit per column.
  m.assembly = 3 * kInt * kLocalDofs * cells + 2 * kInt * neq + kReal * (neq / 64 + 2);
  m.workspace = kComplex * t.words;
  const std::int64_t nnz = stored_entries_estimate(nx, ny);
  const std::int64_t entries = factor_entries_estimate(nx, ny);
  switch (solver) {
    case MemorySolver::any:
      break;
    case MemorySolver::own:
      // Two lists of n + 2 nnz + 2 slots and n heads; in the workspace when
      // there is one.
      if (t.words == 0) m.ordering = kInt * (2 * (neq + 2 * nnz + 2) + neq);
      // A column index and a complex value per entry; per unknown the row
      // starts, the multiply-add counts, the pivots, the spare dense rows of
      // the blocked elimination and two work rows.
      if (t.words == 0)
        m.factor = (kInt + kComplex) * entries + (3 * kInt + kReal + 10 * kComplex) * neq;
      break;
    case MemorySolver::mumps:
      m.mumps_rows = kInt * nnz;
      m.factor = (kInt + kComplex) * entries;
      break;
    case MemorySolver::mumps_out_of_core:
      // The factors go to disk; their working front stays, not estimated.
      m.mumps_rows = kInt * nnz;
      break;
  }
  const std::int64_t lasting = m.sample + m.coefficients + m.system + m.results + m.workspace;
  m.total = lasting + std::max({m.assembly, m.ordering, m.factor + m.mumps_rows});
  return m;
}

std::string memory_text(std::int64_t bytes) {
  char text[32];
  const double b = static_cast<double>(bytes);
  if (b >= 1024.0 * 1024.0 * 1024.0)
    std::snprintf(text, sizeof text, "%.1f GiB", b / (1024.0 * 1024.0 * 1024.0));
  else
    std::snprintf(text, sizeof text, "%.1f MiB", b / (1024.0 * 1024.0));
  return text;
}

}  // namespace tp
