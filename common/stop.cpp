#include "common/stop.hpp"

#include <cstdio>
#include <cstdlib>

#include "common/output.hpp"

namespace tp {

[[noreturn]] void stop(int code) {
  flush_all_units();
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

}  // namespace tp
