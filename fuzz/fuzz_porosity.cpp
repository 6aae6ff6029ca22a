// Fuzz target of the porosity-file reader: the first two bytes choose the
// grid (1..256 cells a side), the rest is the file "porosity.frac".
#include <cstdint>
#include <cstdio>

#include "common/output.hpp"
#include "fuzz/stops.hpp"
#include "model/porosity.hpp"

namespace {
tp::RealField phi;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int nx = data[0] + 1;
  const int ny = data[1] + 1;
  phi.resize(nx, ny);
  data += 2;
  size -= 2;
  std::FILE* f = size > 0 ? fmemopen(const_cast<std::uint8_t*>(data), size, "r")
                          : std::fopen("/dev/null", "r");
  if (f == nullptr) return 0;
  tp::LineSource frac;
  frac.f = f;
  frac.name = "porosity.frac";
  try {
    tp::read_porosity_field(frac, nx, ny, phi);
    // A field that is read holds water fractions only.
    for (int k = 1; k <= ny; ++k) {
      for (int j = 1; j <= nx; ++j) {
        if (!(phi(j, k) >= 0.0 && phi(j, k) <= 1.0)) __builtin_trap();
      }
    }
  } catch (const tp::RunEnded&) {
  }
  std::fclose(f);
  return 0;
}
