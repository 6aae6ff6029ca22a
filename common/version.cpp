#include "common/version.hpp"

#ifndef THREEPHASE_VERSION
#define THREEPHASE_VERSION "unknown"
#endif
#ifndef THREEPHASE_BUILD_OPTIONS
#define THREEPHASE_BUILD_OPTIONS "unknown"
#endif

namespace tp {

const char* version_string() { return THREEPHASE_VERSION; }

const char* compiler_string() {
#if defined(__clang__)
  return "clang++ " __clang_version__;
#elif defined(__GNUC__)
  return "g++ " __VERSION__;
#else
  return "unknown compiler";
#endif
}

const char* build_options_string() { return THREEPHASE_BUILD_OPTIONS; }

}  // namespace tp
