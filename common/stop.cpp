#include "common/stop.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/output.hpp"

namespace tp {

namespace {

ExitStyle exit_style = ExitStyle::legacy;
int normal_end_status = 40;

struct StopCode {
  int code;
  const char* meaning;
};
// The meanings of deck/stop_codes.json (a test keeps them equal).
constexpr StopCode kStopCodes[] = {
    {3, "the factorization would need more memory than the limit"},
    {11, "ice model: phi_layer must stay below phi_a"},
    {222, "a cell's material number is outside 1..nmat"},
    {45678, "ice model: the ice fraction phi_a - phi leaves 0..1"},
    {555, "the volume fractions of a cell do not add up to 1"},
    {12345, "lambda1 of the first cell is not positive"},
    {12346, "lambda3 of the first cell is not positive"},
    {45687, "strain energy not positive definite (compressional part)"},
    {45688, "strain energy not positive definite (shear part)"},
    {99999, "friction matrix of the first cell not positive"},
    {99998, "friction matrix of the first cell not positive"},
    {2000, "non-positive plane-wave velocity vp1"},
    {2001, "non-positive plane-wave velocity vp2"},
    {2002, "non-positive plane-wave velocity vp3"},
    {2003, "non-positive plane-wave velocity vs1"},
    {2004, "non-positive plane-wave velocity vs2"},
    {9, "the ordering of the sparse system failed"},
    {99, "the factorization of the sparse system failed"},
};

}  // namespace

void set_exit_style(ExitStyle style) { exit_style = style; }

void set_normal_end_status(int status) { normal_end_status = status; }

const char* stop_meaning(int code) {
  for (const StopCode& s : kStopCodes) {
    if (s.code == code) return s.meaning;
  }
  return "";
}

[[noreturn]] void stop(int code) { throw RunEnded(code, EndKind::stop); }

int ended_status(const RunEnded& e) {
  flush_all_units();
  const OutputFault lost = first_output_fault();
  if (e.kind == EndKind::stop && lost.name != nullptr) {
    // The lines the stop would vouch for are incomplete: say which unit
    // failed, and keep the stop's code in the message only.
    std::fprintf(stderr,
                 "threephase: %s: cannot write the output (%s); the run was ending with code %d\n",
                 lost.name, std::strerror(lost.err), e.code);
    std::fflush(stderr);
    return exit_style == ExitStyle::legacy ? kInputErrorStatus : kExitOutput;
  }
  switch (e.kind) {
    case EndKind::input:
      return kInputErrorStatus;
    case EndKind::creation:
    case EndKind::output:
      return exit_style == ExitStyle::legacy ? kInputErrorStatus : kExitOutput;
    case EndKind::stop:
      break;
  }
  const int code = e.code;
  if (exit_style != ExitStyle::legacy) {
    if (code == 40) return kExitSuccess;
    std::fprintf(stderr, "threephase: the computation stopped with code %d: %s\n", code,
                 stop_meaning(code));
    std::fflush(stderr);
    if (exit_style == ExitStyle::check) return kExitBadInput;
    // The memory check stops with the code that is also the modern status.
    return code == kExitMemory ? kExitMemory : kExitStopped;
  }
  std::fprintf(stderr, "STOP %d\n", code);
  std::fflush(stderr);
  return code == 40 ? normal_end_status : code;
}

[[noreturn]] void end_process(const RunEnded& e) { std::exit(ended_status(e)); }

[[noreturn]] void input_error(const char* where, const char* what) {
  flush_all_units();
  std::fprintf(stderr, "threephase: %s: %s\n", where, what);
  std::fflush(stderr);
  throw RunEnded(kInputErrorStatus, EndKind::input);
}

[[noreturn]] void creation_error(const char* name, const char* what) {
  flush_all_units();
  std::fprintf(stderr, "threephase: %s: %s\n", name, what);
  std::fflush(stderr);
  throw RunEnded(kExitOutput, EndKind::creation);
}

[[noreturn]] void output_error(const char* name, int err) {
  std::fprintf(stderr, "threephase: %s: cannot write the output (%s)\n", name, std::strerror(err));
  std::fflush(stderr);
  // The other units still get their lines; the failing one fails again
  // quietly at the last flush.
  const int status = exit_style == ExitStyle::legacy ? kInputErrorStatus : kExitOutput;
  if (std::uncaught_exceptions() > 0) std::exit(status);
  throw RunEnded(status, EndKind::output);
}

}  // namespace tp
