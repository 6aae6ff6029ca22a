#include "fuzz/stops.hpp"

#include <cstdlib>
#include <cstring>

namespace tp {

namespace {

// A message of the readers names a place ("standard input, line 7",
// "porosity.frac, line 3") and a problem; an empty one is a fault.
void check_message(const char* where, const char* what) {
  if (where == nullptr || what == nullptr || where[0] == '\0' || what[0] == '\0') std::abort();
  if (std::strchr(what, '\n') != nullptr) std::abort();
}

}  // namespace

[[noreturn]] void stop(int code) { throw RunEnded(code, EndKind::stop); }

[[noreturn]] void input_error(const char* where, const char* what) {
  check_message(where, what);
  throw RunEnded(kInputErrorStatus, EndKind::input);
}

[[noreturn]] void creation_error(const char* name, const char* what) {
  check_message(name, what);
  throw RunEnded(kExitOutput, EndKind::creation);
}

[[noreturn]] void output_error(const char* name, int) {
  check_message(name, "output");
  throw RunEnded(kInputErrorStatus, EndKind::output);
}

}  // namespace tp
