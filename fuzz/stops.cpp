#include "fuzz/stops.hpp"

#include <cstdlib>
#include <cstring>

#include "common/output.hpp"
#include "common/stop.hpp"

namespace tp {

namespace {

// A message of the readers names a place ("standard input, line 7",
// "porosity.frac, line 3") and a problem; an empty one is a fault.
void check_message(const char* where, const char* what) {
  if (where == nullptr || what == nullptr || where[0] == '\0' || what[0] == '\0') std::abort();
  if (std::strchr(what, '\n') != nullptr) std::abort();
}

}  // namespace

[[noreturn]] void stop(int code) { throw fuzz::RunEnded{code}; }

[[noreturn]] void input_error(const char* where, const char* what) {
  check_message(where, what);
  throw fuzz::RunEnded{kInputErrorStatus};
}

[[noreturn]] void creation_error(const char* name, const char* what) {
  check_message(name, what);
  throw fuzz::RunEnded{kInputErrorStatus};
}

[[noreturn]] void output_error(const char* name, int) {
  check_message(name, "output");
  throw fuzz::RunEnded{kInputErrorStatus};
}

}  // namespace tp
