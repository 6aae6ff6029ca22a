#include "results/npy.hpp"

#include <bit>
#include <cstring>

namespace tp {

static_assert(std::endian::native == std::endian::little,
              "the .npy writer copies doubles as they lie in memory: little-endian only");

int npy_header(char* out, int cap, const char* descr, int rows, int cols) {
  char dict[160];
  const int nd = std::snprintf(dict, sizeof dict,
                               "{'descr': '%s', 'fortran_order': False, 'shape': (%d, %d), }",
                               descr, rows, cols);
  // magic (6) + version (2) + length (2) + dict + blanks + '\n'
  const int total = (10 + nd + 1 + 127) / 128 * 128;
  if (total > cap) return 0;
  const int hlen = total - 10;
  std::memcpy(out, "\x93NUMPY\x01\x00", 8);
  out[8] = static_cast<char>(hlen & 0xff);
  out[9] = static_cast<char>(hlen >> 8);
  std::memcpy(out + 10, dict, static_cast<std::size_t>(nd));
  std::memset(out + 10 + nd, ' ', static_cast<std::size_t>(total - 10 - nd - 1));
  out[total - 1] = '\n';
  return total;
}

}  // namespace tp
