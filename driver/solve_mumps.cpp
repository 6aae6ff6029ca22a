// The MUMPS path of the run: options from the environment, the three phases
// with their stops, the memory check between analysis and factorization,
// and the backward-error check of the solution.
#include "driver/solve_mumps.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/capacity.hpp"
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

// The solver a name asks for; `who` names the source in a refusal.
bool mumps_named(const std::string& name, const char* who) {
  if (name == "own") return false;
  if (name != "mumps") input_error(who, "expected own or mumps");
  if (!kHaveMumps) input_error(who, "this build has no MUMPS (own solver only)");
  return true;
}

// The fill-reducing order a name asks for; `who` names the source.
MumpsOrder mumps_order_named(const std::string& name, const char* who) {
  if (name == "amd") return MumpsOrder::amd;
  if (name != "metis") input_error(who, "expected amd or metis");
  if (!kHaveMetis) input_error(who, "this build has no METIS");
  return MumpsOrder::metis;
}

// Bytes the numeric factorization will take by the analysis's estimate:
// the factors on disk need only the out-of-core working memory.
long long factorization_need(const MumpsFactor& f, const MumpsRunOptions& opt) {
  return mumps_factor_memory(f.counts, opt.solver.out_of_core);
}

}  // namespace

// Prints the library's status as the report's lines and the sentence on
// standard error, then stops with code.
[[noreturn]] void mumps_stop(const char* phase, const MumpsCounts& c, int code) {
  FreeLine(std_out()) << "MUMPS INFOG(1)=" << c.infog1;
  FreeLine(std_out()) << "MUMPS INFOG(2)=" << c.infog2;
  std::fprintf(stderr, "threephase: %s: %s\n", phase, mumps_message(c.infog1, c.infog2).c_str());
  stop(code);
}

bool mumps_chosen(const char* command_line, SolverChoice deck_choice, const Deck& d) {
  if (command_line != nullptr && command_line[0] != '\0')
    return mumps_named(command_line, "--solver");
  if (deck_choice != SolverChoice::automatic)
    return mumps_named(deck_choice == SolverChoice::mumps ? "mumps" : "own", "[run] solver");
  const std::string s = env("THREEPHASE_SOLVER");
  if (!s.empty()) return mumps_named(s, "THREEPHASE_SOLVER");
  // Beyond the legacy tables the own solver's order does about three times
  // the elimination work of MUMPS's: MUMPS when the build has it.
  const bool large = d.nx > kLegacyCells || d.ny > kLegacyCells;
  return large && kHaveMumps;
}

MumpsRunOptions mumps_options(const char* order, bool out_of_core) {
  MumpsRunOptions o;
  const std::string env_order = env("THREEPHASE_MUMPS_ORDER");
  if (!env_order.empty()) o.solver.order = mumps_order_named(env_order, "THREEPHASE_MUMPS_ORDER");
  if (order != nullptr && order[0] != '\0')
    o.solver.order = mumps_order_named(order, "--mumps-order");
  const std::string ooc = env("THREEPHASE_MUMPS_OOC");
  if (!ooc.empty()) o.solver.out_of_core = env_int("THREEPHASE_MUMPS_OOC", 0, 1) == 1;
  if (out_of_core) o.solver.out_of_core = true;
  if (!env("THREEPHASE_MUMPS_WORKSPACE").empty())
    o.solver.workspace_percent = env_int("THREEPHASE_MUMPS_WORKSPACE", 0, 100000);
  if (!env("THREEPHASE_MUMPS_MEMORY_CAP").empty())
    o.solver.memory_cap_mb = env_int("THREEPHASE_MUMPS_MEMORY_CAP", 1, 1 << 30);
  return o;
}

void mumps_analyse_system(const int& neq, const System& sys, const MumpsRunOptions& opt,
                          MumpsFactor& f) {
  // 1. Pattern and order; the analysis estimates the factorization's memory.
  if (mumps_analyse(f, neq, sys.ia.data(), sys.ja.data(), sys.avec.data(), opt.solver) != 0)
    mumps_stop("MUMPS analysis", f.counts, 9);

  // 2. Refuse a factorization that would pass the memory limit, before it
  // starts: the factors on disk need only the out-of-core working memory.
  const long long need = factorization_need(f, opt);
  const long long limit = memory_limit();
  if (need > limit) {
    mumps_release(f);
    std::fprintf(stderr,
                 "threephase: the MUMPS factorization of the %d unknowns needs about %.1f MiB "
                 "but the limit is %.1f MiB (THREEPHASE_MAX_MEMORY, or the physical memory "
                 "available); use fewer cells along x or y%s\n",
                 neq, need / 1048576.0, limit / 1048576.0,
                 opt.solver.out_of_core ? "" : ", or out-of-core factors (--out-of-core)");
    stop(kMemoryStopCode);
  }
}

void mumps_factor_and_solve(const int& neq, System& sys, const MumpsRunOptions& opt, MumpsFactor& f,
                            bool report) {
  const std::int32_t* ia = sys.ia.data();
  const std::int32_t* ja = sys.ja.data();
  const cplx* a = sys.avec.data();
  // 3. Numeric factorization of the system's values, then the solve in
  // place of a copy of the load.
  if (mumps_factor(f, a) != 0) mumps_stop("MUMPS factorization", f.counts, 99);
  cplx* z = sys.z.data();
  const cplx* b = sys.rhs_m.data();
  std::memcpy(static_cast<void*>(z), b, sizeof(cplx) * neq);
  if (mumps_solve(f, z) != 0) mumps_stop("MUMPS solve", f.counts, 99);

  // 4. A pivoting LU leaves a backward error near the rounding unit; a
  // larger one means the solution cannot be trusted.
  const double berr = backward_error(neq, ia, ja, a, z, b);
  if (!(berr <= opt.max_backward_error)) {
    if (report) FmtLine(std_out()) << "MUMPS backward error=" << e_edit(berr, 12, 4);
    std::fprintf(stderr, "threephase: MUMPS solution refused: backward error %.3e above %.1e\n",
                 berr, opt.max_backward_error);
    stop(99);
  }
  if (!report) return;
  FmtLine(std_out()) << " solver MUMPS: factor entries=" << e_edit(f.counts.factor_entries, 12, 4)
                     << " flops=" << e_edit(f.counts.flops, 12, 4) << " estimated memory MB="
                     << e_edit(double(factorization_need(f, opt)) / 1e6, 12, 4)
                     << " backward error=" << e_edit(berr, 12, 4);
}

MumpsCounts solve_with_mumps(const int& neq, System& sys, const MumpsRunOptions& opt) {
  MumpsFactor f;
  mumps_analyse_system(neq, sys, opt, f);
  mumps_factor_and_solve(neq, sys, opt, f);
  return f.counts;
}

}  // namespace tp
