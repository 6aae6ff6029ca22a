#pragma once
// Maps as .npy files, the array format NumPy reads with numpy.load (and
// which readers exist for in most languages). A file is:
//   - the magic bytes "\x93NUMPY", the format version 1.0 (two bytes 1, 0),
//     the length of the header as a little-endian 16-bit integer;
//   - the header: a Python dict literal in ASCII, e.g.
//       {'descr': '<f8', 'fortran_order': False, 'shape': (20, 30), }
//     padded with blanks and ended by '\n' so that the data start at a
//     multiple of 128 bytes;
//   - the data: rows * cols values in row-major (C) order, raw little-endian
//     IEEE float64 ('<f8').
// A cell map is written as an (ny, nx) array: element [k-1, j-1] is cell
// (j, k); row index k - 1 counts cells along y from the bottom, column
// index j - 1 along x from the left.
#include <cstdio>

namespace tp {

// The header of an array of `rows` by `cols` values of type descr ("<f8",
// "<c16"), padded to a multiple of 128 bytes; returns its length (0 if cap
// is too small).
int npy_header(char* out, int cap, const char* descr, int rows, int cols);

// Writes the cells j = 1..nx, k = 1..ny of a map as float64 to `path`, where
// value(j, k) gives the number of cell (j, k). False (errno set) when the
// file cannot be created or written.
template <class Value>
bool write_npy_map(const char* path, int nx, int ny, const Value& value) {
  std::FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  char head[256];
  const int n = npy_header(head, sizeof head, "<f8", ny, nx);
  bool ok = std::fwrite(head, 1, static_cast<std::size_t>(n), f) == static_cast<std::size_t>(n);
  // Rows of any length, through a buffer of a fixed size.
  constexpr int kChunk = 256;
  double chunk[kChunk];
  for (int k = 1; ok && k <= ny; ++k) {
    for (int j0 = 1; ok && j0 <= nx; j0 += kChunk) {
      const int n_in = nx - j0 + 1 < kChunk ? nx - j0 + 1 : kChunk;
      for (int i = 0; i < n_in; ++i) chunk[i] = static_cast<double>(value(j0 + i, k));
      ok = std::fwrite(chunk, sizeof(double), static_cast<std::size_t>(n_in), f) ==
           static_cast<std::size_t>(n_in);
    }
  }
  return std::fclose(f) == 0 && ok;
}

}  // namespace tp
