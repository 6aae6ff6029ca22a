#include "common/stop.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/output.hpp"

namespace tp {

[[noreturn]] void stop(int code) {
  flush_all_units();
  const OutputFault lost = first_output_fault();
  if (lost.name != nullptr) {
    // The lines the stop would vouch for are incomplete: say which unit
    // failed, and keep the stop's code in the message only.
    std::fprintf(stderr,
                 "threephase: %s: cannot write the output (%s); the run was ending with code %d\n",
                 lost.name, std::strerror(lost.err), code);
    std::fflush(stderr);
    std::exit(kInputErrorStatus);
  }
  std::fprintf(stderr, "STOP %d\n", code);
  std::fflush(stderr);
  std::exit(code);
}

[[noreturn]] void input_error(const char* where, const char* what) {
  flush_all_units();
  std::fprintf(stderr, "threephase: %s: %s\n", where, what);
  std::fflush(stderr);
  std::exit(kInputErrorStatus);
}

[[noreturn]] void output_error(const char* name, int err) {
  std::fprintf(stderr, "threephase: %s: cannot write the output (%s)\n", name,
               std::strerror(err));
  std::fflush(stderr);
  // The other units still get their lines; the failing one fails again
  // quietly at the exit's flush.
  std::exit(kInputErrorStatus);
}

}  // namespace tp
