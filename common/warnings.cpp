#include "common/warnings.hpp"

#include <cstdarg>
#include <cstdio>

namespace tp {

void add_warning(Warnings& list, const char* format, ...) {
  if (list.n == kMaxWarnings) return;
  std::va_list args;
  va_start(args, format);
  std::vsnprintf(list.w[list.n], kWarningLength, format, args);
  va_end(args);
  ++list.n;
}

void print_warnings(const Warnings& list, int first) {
  for (int i = first; i < list.n; ++i) std::fprintf(stderr, "threephase: warning: %s\n", list.w[i]);
  std::fflush(stderr);
}

}  // namespace tp
