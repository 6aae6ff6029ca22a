#include "driver/memory_check.hpp"

#include <cstdio>
#include <cstdlib>

#include "common/capacity.hpp"
#include "common/stop.hpp"
#include "driver/stages.hpp"

namespace tp {

MemorySolver memory_solver(bool use_mumps, bool out_of_core) {
  if (!use_mumps) return MemorySolver::own;
  return out_of_core ? MemorySolver::mumps_out_of_core : MemorySolver::mumps;
}

MemoryVerdict run_memory_verdict(const Deck& d, MemorySolver solver) {
  MemoryVerdict v;
  v.limit = memory_limit();
  v.need = estimate_run_memory(d.nx, d.ny, solver);
  v.compared = d.nx > kLegacyCells || d.ny > kLegacyCells;
  v.fits = !v.compared || v.need.total <= v.limit;
  return v;
}

void refuse_beyond_memory(const Deck& d, MemorySolver solver) {
  const MemoryVerdict v = run_memory_verdict(d, solver);
  if (v.fits) return;
  const char* set = std::getenv("THREEPHASE_MAX_MEMORY");
  const bool by_user = set != nullptr && *set != '\0';
  const long long need = v.need.total, limit = v.limit;
  std::fprintf(stderr,
               "threephase: the run of %d by %d cells needs at least %s (%lld bytes: sample, "
               "coefficients, system, results and solver) but the limit is %s (%lld bytes, "
               "%s); use fewer cells along x or y (halving both divides the need by about "
               "five)%s\n",
               d.nx, d.ny, memory_text(need).c_str(), need, memory_text(limit).c_str(), limit,
               by_user ? "THREEPHASE_MAX_MEMORY" : "physical memory available",
               by_user ? " or raise THREEPHASE_MAX_MEMORY" : "");
  stop(kMemoryStopCode);
}

}  // namespace tp
