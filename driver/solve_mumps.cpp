// The MUMPS path of the run: options from the environment, the three phases
// with their stops, the memory check between analysis and factorization,
// and the backward-error check of the solution.
#include "driver/solve_mumps.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/output.hpp"
#include "common/stop.hpp"

namespace tp {

namespace {

// Value of an environment variable, or "" when unset.
std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// A whole number within lo..hi, or bad input naming the variable.
int env_int(const char* name, int lo, int hi) {
  const std::string s = env(name);
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (end == s.c_str() || *end != '\0' || v < lo || v > hi)
    input_error(name, "expected a whole number in the allowed range");
  return static_cast<int>(v);
}

// Prints the library's status as the report's lines and the sentence on
// standard error, then stops with code.
[[noreturn]] void mumps_stop(const char* phase, const MumpsCounts& c, int code) {
  FreeLine(std_out()) << "MUMPS INFOG(1)=" << c.infog1;
  FreeLine(std_out()) << "MUMPS INFOG(2)=" << c.infog2;
  std::fprintf(stderr, "threephase: %s: %s\n", phase, mumps_message(c.infog1, c.infog2).c_str());
  stop(code);
}

}  // namespace

bool mumps_requested() {
  const std::string s = env("THREEPHASE_SOLVER");
  if (s.empty() || s == "own") return false;
  if (s != "mumps") input_error("THREEPHASE_SOLVER", "expected own or mumps");
  if (!kHaveMumps) input_error("THREEPHASE_SOLVER", "this build has no MUMPS (own solver only)");
  return true;
}

MumpsRunOptions mumps_options_from_environment() {
  MumpsRunOptions o;
  const std::string order = env("THREEPHASE_MUMPS_ORDER");
  if (order == "metis") {
    if (!kHaveMetis) input_error("THREEPHASE_MUMPS_ORDER", "this build has no METIS");
    o.solver.order = MumpsOrder::metis;
  } else if (!order.empty() && order != "amd") {
    input_error("THREEPHASE_MUMPS_ORDER", "expected amd or metis");
  }
  const std::string ooc = env("THREEPHASE_MUMPS_OOC");
  if (!ooc.empty()) o.solver.out_of_core = env_int("THREEPHASE_MUMPS_OOC", 0, 1) == 1;
  if (!env("THREEPHASE_MUMPS_WORKSPACE").empty())
    o.solver.workspace_percent = env_int("THREEPHASE_MUMPS_WORKSPACE", 0, 100000);
  if (!env("THREEPHASE_MUMPS_MEMORY_CAP").empty())
    o.solver.memory_cap_mb = env_int("THREEPHASE_MUMPS_MEMORY_CAP", 1, 1 << 30);
  return o;
}

MumpsCounts solve_with_mumps(const int& neq, System& sys, const MumpsRunOptions& opt) {
  const std::int32_t* ia = sys.ia.data();
  const std::int32_t* ja = sys.ja.data();
  const cplx* a = sys.avec.data();
  MumpsFactor f;

  // 1. Pattern and order; the analysis estimates the factorization's memory.
  if (mumps_analyse(f, neq, ia, ja, a, opt.solver) != 0)
    mumps_stop("MUMPS analysis", f.counts, 9);

  // 2. Refuse a factorization that would pass the memory limit, before it
  // starts: the factors on disk need only the out-of-core working memory.
  const long long need =
      opt.solver.out_of_core ? f.counts.memory_out_of_core : f.counts.memory_in_core;
  const long long limit = memory_limit();
  if (need > limit) {
    mumps_release(f);
    std::fprintf(stderr,
                 "threephase: the MUMPS factorization of the %d unknowns needs about %.1f MiB "
                 "but the limit is %.1f MiB (THREEPHASE_MAX_MEMORY, or the physical memory "
                 "available); use fewer cells along x or y%s\n",
                 neq, need / 1048576.0, limit / 1048576.0,
                 opt.solver.out_of_core ? "" : ", or out-of-core factors (THREEPHASE_MUMPS_OOC=1)");
    stop(kMemoryStopCode);
  }

  // 3. Numeric factorization, then the solve in place of a copy of the load.
  if (mumps_factor(f) != 0) mumps_stop("MUMPS factorization", f.counts, 99);
  cplx* z = sys.z.data();
  const cplx* b = sys.rhs_m.data();
  std::memcpy(static_cast<void*>(z), b, sizeof(cplx) * neq);
  if (mumps_solve(f, z) != 0) mumps_stop("MUMPS solve", f.counts, 99);

  // 4. A pivoting LU leaves a backward error near the rounding unit; a
  // larger one means the solution cannot be trusted.
  const double berr = backward_error(neq, ia, ja, a, z, b);
  if (!(berr <= opt.max_backward_error)) {
    FmtLine(std_out()) << "MUMPS backward error=" << e_edit(berr, 12, 4);
    std::fprintf(stderr, "threephase: MUMPS solution refused: backward error %.3e above %.1e\n",
                 berr, opt.max_backward_error);
    stop(99);
  }
  FmtLine(std_out()) << " solver MUMPS: factor entries=" << e_edit(f.counts.factor_entries, 12, 4)
                     << " flops=" << e_edit(f.counts.flops, 12, 4)
                     << " estimated memory MB=" << e_edit(double(need) / 1e6, 12, 4)
                     << " backward error=" << e_edit(berr, 12, 4);
  return f.counts;
}

}  // namespace tp
