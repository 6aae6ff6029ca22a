#include "common/tables.hpp"

#include <cstdio>

namespace tp {

[[noreturn]] void index_fault(long long index, long long size, const char* table) {
  std::fprintf(stderr, "threephase: %s index %lld outside 1..%lld\n", table, index, size);
  std::fflush(stderr);
  std::abort();
}

void* zeroed_storage(std::size_t n, std::size_t size) {
  if (n == 0) return nullptr;
  return std::calloc(n, size);
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
