// The .npy writer: a header NumPy accepts and the values in row order.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "results/npy.hpp"
#include "support/testing.hpp"

namespace tp {
namespace {

TEST(Npy, HeaderIsPaddedToWholeBlocksAndEndsWithANewline) {
  char head[256];
  for (int rows : {1, 60, 12345}) {
    const int n = npy_header(head, sizeof head, "<f8", rows, 7);
    ASSERT_EQ(n % 128, 0);
    EXPECT_EQ(std::memcmp(head, "\x93NUMPY\x01\x00", 8), 0);
    EXPECT_EQ((unsigned char)head[8] | (unsigned char)head[9] << 8, n - 10);
    EXPECT_EQ(head[n - 1], '\n');
    const std::string dict(head + 10, static_cast<std::size_t>(n - 10));
    EXPECT_EQ(dict.rfind("{'descr': '<f8', 'fortran_order': False, 'shape': (" +
                             std::to_string(rows) + ", 7), }",
                         0),
              0u);
  }
}

TEST(Npy, RowsLongerThanTheWriteBufferKeepCellOrder) {
  // 700 cells along x cross the writer's buffer of 256 twice per row.
  const std::string path = testing::fresh_dir("npy") + "/wide.npy";
  const int nx = 700, ny = 3;
  ASSERT_TRUE(write_npy_map(path.c_str(), nx, ny, [](int j, int k) { return 1000.0 * k + j; }));
  const std::string bytes = testing::read_file(path);
  const std::size_t data = 10 + ((unsigned char)bytes[8] | (unsigned char)bytes[9] << 8);
  ASSERT_EQ(bytes.size(), data + 8u * nx * ny);
  for (int k = 1; k <= ny; ++k)
    for (int j : {1, 256, 257, 513, 700}) {
      double v = 0;
      std::memcpy(&v, bytes.data() + data + 8u * ((k - 1) * nx + (j - 1)), 8);
      EXPECT_EQ(v, 1000.0 * k + j) << j << "," << k;
    }
}

}  // namespace
}  // namespace tp
