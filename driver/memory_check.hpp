#pragma once
// The memory check before the first large allocation of a run: the
// estimate of every table of the run against THREEPHASE_MAX_MEMORY or the
// physical memory available.
#include <cstdint>

#include "common/memory_estimate.hpp"
#include "common/structures.hpp"

namespace tp {

// The estimate of a deck's run against the limit. Grids within the legacy
// size (60 by 60 cells) keep their fixed tables and are not compared, as
// they never were; the limit is read (and a bad THREEPHASE_MAX_MEMORY
// refused) all the same.
struct MemoryVerdict {
  RunMemory need;
  std::int64_t limit = 0;
  bool compared = false;  // the grid passes the legacy size
  bool fits = true;       // not compared, or need.total <= limit
};

// The memory solver of a run's choice of solver.
MemorySolver memory_solver(bool use_mumps, bool out_of_core);

// The verdict for deck d run with `solver`. A THREEPHASE_MAX_MEMORY that
// is not a size ends the run as bad input (status 2).
MemoryVerdict run_memory_verdict(const Deck& d, MemorySolver solver);

// Stops the run with kMemoryStopCode and a message on standard error giving
// the grid, the need and the limit when the verdict says it does not fit.
// Called before the first large table is allocated (size_tables calls it
// with MemorySolver::any, which counts what every run holds; the driver
// calls it with the run's solver once it is chosen).
void refuse_beyond_memory(const Deck& d, MemorySolver solver);

}  // namespace tp
