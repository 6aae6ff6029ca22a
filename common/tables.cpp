#include "common/tables.hpp"

#include <sys/mman.h>

#include <cstdint>
#include <cstdio>

namespace tp {

namespace {

// Tables from this size on are mapped in 2 MB pages where the system allows
// it: the solver's workspace, factors and matrix are written through once,
// and one fault per 2 MB page costs far less than 512 faults of 4 KB pages
// (a tenth of a 60 by 60 run went to those faults).
constexpr std::size_t kLargePageBytes = std::size_t{8} << 20;

void ask_large_pages([[maybe_unused]] void* p, [[maybe_unused]] std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  const std::uintptr_t step = std::uintptr_t{2} << 20;
  const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(p) + step - 1) & ~(step - 1);
  const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(step - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#endif
}

}  // namespace

[[noreturn]] void index_fault(long long index, long long size, const char* table) {
  std::fprintf(stderr, "threephase: %s index %lld outside 1..%lld\n", table, index, size);
  std::fflush(stderr);
  std::abort();
}

void* zeroed_storage(std::size_t n, std::size_t size) {
  if (n == 0) return nullptr;
  void* p = std::calloc(n, size);
  if (p != nullptr && n * size >= kLargePageBytes) ask_large_pages(p, n * size);
  return p;
}

bool size_coefficients(Coefficients& co, int nx, int ny) {
  RealField* all[] = {&co.lambda1, &co.lambda3, &co.mu1, &co.mu3, &co.mu13, &co.b1,
                      &co.b2,      &co.m,       &co.d3,  &co.p11, &co.p12,  &co.p13,
                      &co.p22,     &co.p23,     &co.p33, &co.f11, &co.f12,  &co.f22};
  bool ok = true;
  for (RealField* f : all) ok = f->resize(nx, ny) && ok;
  return ok;
}

}  // namespace tp
