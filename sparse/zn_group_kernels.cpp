// Kernels of the grouped elimination in two-, four- and eight-double
// vectors; the wider ones are compiled for AVX and AVX-512F alone and
// chosen at run time, so the program still runs on any x86-64 processor.
//
// Why the widths agree bit for bit: a lane holds the real or the imaginary
// part of one complex entry and computes w - (xr u + xi us), us being
// (-ui, ur), as three separately rounded operations (two products, their
// sum, the difference), exactly the operations of the two-double kernels in
// the same order. No fused multiply-add exists in these instruction sets as
// used here (the build keeps -ffp-contract=off and no fma intrinsic
// appears), and a tile only decides which entries share a vector, never
// the order in which one entry receives its updates: U row after U row,
// ascending.
#include "sparse/zn_group_kernels.hpp"

#if defined(__x86_64__) || defined(__i386__)
// g++ 12 warns about the deliberately undefined upper lanes inside some of
// its own AVX-512 intrinsics once they are inlined here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

namespace tp {

namespace {

// The complex word (ur, ui) at p as (-ui, ur), read part by part (the
// negation only flips a sign bit).
inline Pair swap_signed(const double* p) { return Pair{-p[1], p[0]}; }

// Entries of a group's shared pattern updated together by the two-double
// kernels.
constexpr int kTile = 2;

// Columns q..q+p-1 of the pattern for the rows h..h+m-1 of b: each dense
// entry is loaded and stored once while every U row of the group passes
// through it in ascending order.
template <int m, int p>
inline void tile_pairs(const GroupBlock& b, const int h, const int q) {
  double* const* w = b.w + h;
  const double* const* x = b.x + h;
  long off[p];
  Pair acc[m][p];
  for (int c = 0; c < p; ++c) off[c] = 2L * (b.cols[q + c] - 1);
  for (int i = 0; i < m; ++i)
    for (int c = 0; c < p; ++c) acc[i][c] = load(w[i] + off[c]);
  for (int t = 0; t < b.s; ++t) {
    Pair uv[p], us[p];
    for (int c = 0; c < p; ++c) {
      uv[c] = load(b.urow[t] + 2 * (q + c));
      us[c] = swap_signed(b.urow[t] + 2 * (q + c));
    }
    for (int i = 0; i < m; ++i) {
      const Pair xr = {x[i][2 * t], x[i][2 * t]}, xi = {x[i][2 * t + 1], x[i][2 * t + 1]};
      for (int c = 0; c < p; ++c) acc[i][c] = acc[i][c] - (xr * uv[c] + xi * us[c]);
    }
  }
  for (int i = 0; i < m; ++i)
    for (int c = 0; c < p; ++c) store(w[i] + off[c], acc[i][c]);
}

// Columns q0..nt-1 of b, two at a time, each tile through all the rows
// four, two or one at a time while its U entries are in the first-level
// cache.
void columns_pairs(const GroupBlock& b, const int q0) {
  int q = q0;
  for (; q + kTile <= b.nt; q += kTile) {
    for (int t = 0; t < b.s; ++t) __builtin_prefetch(b.urow[t] + 2 * (q + kAhead));
    int h = 0;
    for (; h + 4 <= b.m; h += 4) tile_pairs<4, kTile>(b, h, q);
    if (h + 2 <= b.m) {
      tile_pairs<2, kTile>(b, h, q);
      h += 2;
    }
    if (h < b.m) tile_pairs<1, kTile>(b, h, q);
  }
  for (; q < b.nt; ++q)
    for (int h = 0; h < b.m; ++h) tile_pairs<1, 1>(b, h, q);
}

void rectangle_pairs(const GroupBlock& b) { columns_pairs(b, 0); }

// w(c) = w(c) - x u(c), c = 0..len-1, one complex word at a time.
void row_update_pairs(double* w, const double* x, const double* u, const int len) {
  const Pair xr = {x[0], x[0]}, xi = {x[1], x[1]};
  for (int c = 0; c < len; ++c) {
    const Pair uv = load(u + 2 * c), us = swap_signed(u + 2 * c);
    store(w + 2 * c, load(w + 2 * c) - (xr * uv + xi * us));
  }
}

#if defined(__x86_64__) || defined(__i386__)
#define TP_QUADS __attribute__((target("avx")))
#define TP_OCTS __attribute__((target("avx512f")))

// Arithmetic on the vectors is written with the operators, which round
// each operation on its own; the intrinsics only move data (and flip signs).

// ---- Four doubles (AVX): two complex words a vector.
typedef __m256d Quad;

// (ur, ui, ...) -> (-ui, ur, ...).
TP_QUADS inline Quad swap_signed(const Quad& u) {
  return _mm256_xor_pd(_mm256_permute_pd(u, 0x5), _mm256_set_pd(0.0, -0.0, 0.0, -0.0));
}

// The complex words at a and b as one vector, and back.
TP_QUADS inline Quad two_words(const double* a, const double* b) {
  return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(a)), _mm_loadu_pd(b), 1);
}

TP_QUADS inline void store_two_words(double* a, double* b, const Quad v) {
  _mm_storeu_pd(a, _mm256_castpd256_pd128(v));
  _mm_storeu_pd(b, _mm256_extractf128_pd(v, 1));
}

// Columns q..q+3 of the pattern for the rows h..h+m-1 (see tile_pairs).
template <int m>
TP_QUADS inline void tile_quads(const GroupBlock& b, const int h, const int q) {
  double* const* w = b.w + h;
  const double* const* x = b.x + h;
  long off[4];
  Quad acc[m][2];
  for (int c = 0; c < 4; ++c) off[c] = 2L * (b.cols[q + c] - 1);
  for (int i = 0; i < m; ++i)
    for (int c = 0; c < 2; ++c) acc[i][c] = two_words(w[i] + off[2 * c], w[i] + off[2 * c + 1]);
  for (int t = 0; t < b.s; ++t) {
    Quad uv[2], us[2];
    for (int c = 0; c < 2; ++c) {
      uv[c] = _mm256_loadu_pd(b.urow[t] + 2 * q + 4 * c);
      us[c] = swap_signed(uv[c]);
    }
    for (int i = 0; i < m; ++i) {
      const Quad xr = _mm256_broadcast_sd(x[i] + 2 * t), xi = _mm256_broadcast_sd(x[i] + 2 * t + 1);
      for (int c = 0; c < 2; ++c) acc[i][c] = acc[i][c] - (xr * uv[c] + xi * us[c]);
    }
  }
  for (int i = 0; i < m; ++i)
    for (int c = 0; c < 2; ++c)
      store_two_words(w[i] + off[2 * c], w[i] + off[2 * c + 1], acc[i][c]);
}

// Columns in tiles of four, as columns_pairs, the last few by the
// two-double kernels.
TP_QUADS void rectangle_quads(const GroupBlock& b) {
  int q = 0;
  for (; q + 4 <= b.nt; q += 4) {
    for (int t = 0; t < b.s; ++t) __builtin_prefetch(b.urow[t] + 2 * (q + kAhead));
    int h = 0;
    for (; h + 4 <= b.m; h += 4) tile_quads<4>(b, h, q);
    if (h + 2 <= b.m) {
      tile_quads<2>(b, h, q);
      h += 2;
    }
    if (h < b.m) tile_quads<1>(b, h, q);
  }
  columns_pairs(b, q);
}

// row_update_pairs two complex words at a time.
TP_QUADS void row_update_quads(double* w, const double* x, const double* u, const int len) {
  const Quad xr = _mm256_broadcast_sd(x), xi = _mm256_broadcast_sd(x + 1);
  int c = 0;
  for (; c + 2 <= len; c += 2) {
    const Quad uv = _mm256_loadu_pd(u + 2 * c);
    _mm256_storeu_pd(w + 2 * c, _mm256_loadu_pd(w + 2 * c) - (xr * uv + xi * swap_signed(uv)));
  }
  if (c < len) row_update_pairs(w + 2 * c, x, u + 2 * c, len - c);
}

// ---- Eight doubles (AVX-512F): four complex words a vector.
typedef __m512d Oct;

TP_OCTS inline Oct swap_signed(const Oct& u) {
  const __m512i sign = _mm512_set_epi64(0, INT64_MIN, 0, INT64_MIN, 0, INT64_MIN, 0, INT64_MIN);
  return _mm512_castsi512_pd(
      _mm512_xor_si512(_mm512_castpd_si512(_mm512_permute_pd(u, 0x55)), sign));
}

// The complex words at w + off[0..3] as one vector, and back: a single
// load or store when they lie side by side, as the columns of one element
// often do.
TP_OCTS inline Oct four_words(const double* w, const long* off) {
  if (off[3] - off[0] == 6) return _mm512_loadu_pd(w + off[0]);
  const __m256d lo = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(w + off[0])),
                                          _mm_loadu_pd(w + off[1]), 1);
  const __m256d hi = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(w + off[2])),
                                          _mm_loadu_pd(w + off[3]), 1);
  return _mm512_insertf64x4(_mm512_castpd256_pd512(lo), hi, 1);
}

TP_OCTS inline void store_four_words(double* w, const long* off, const Oct v) {
  if (off[3] - off[0] == 6) {
    _mm512_storeu_pd(w + off[0], v);
    return;
  }
  const __m256d lo = _mm512_castpd512_pd256(v), hi = _mm512_extractf64x4_pd(v, 1);
  _mm_storeu_pd(w + off[0], _mm256_castpd256_pd128(lo));
  _mm_storeu_pd(w + off[1], _mm256_extractf128_pd(lo, 1));
  _mm_storeu_pd(w + off[2], _mm256_castpd256_pd128(hi));
  _mm_storeu_pd(w + off[3], _mm256_extractf128_pd(hi, 1));
}

// Columns q..q+3 of the pattern for the rows h..h+m-1 (see tile_pairs), one
// vector a row: each U vector serves every row of the block and each
// multiplier, spread over a vector by the load itself, four columns.
template <int m>
TP_OCTS inline void tile_octs(const GroupBlock& b, const int h, const int q) {
  double* const* w = b.w + h;
  const double* const* x = b.x + h;
  long off[4];
  Oct acc[m];
  for (int c = 0; c < 4; ++c) off[c] = 2L * (b.cols[q + c] - 1);
  for (int i = 0; i < m; ++i) acc[i] = four_words(w[i], off);
  for (int t = 0; t < b.s; ++t) {
    // The U rows of a group lie far apart, too many streams for the
    // processor to foresee: fetch each kAhead columns ahead of the tile.
    __builtin_prefetch(b.urow[t] + 2 * (q + kAhead));
    const Oct uv = _mm512_loadu_pd(b.urow[t] + 2 * q), us = swap_signed(uv);
    for (int i = 0; i < m; ++i) {
      const Oct xr = _mm512_set1_pd(x[i][2 * t]), xi = _mm512_set1_pd(x[i][2 * t + 1]);
      acc[i] = acc[i] - (xr * uv + xi * us);
    }
  }
  for (int i = 0; i < m; ++i) store_four_words(w[i], off, acc[i]);
}

// Columns in tiles of four, every row of the block in one tile (the block
// has at most eight), the last few columns by the two-double kernels.
TP_OCTS void rectangle_octs(const GroupBlock& b) {
  int q = 0;
  for (; q + 4 <= b.nt; q += 4) {
    int h = 0;
    for (; h + 8 <= b.m; h += 8) tile_octs<8>(b, h, q);
    switch (b.m - h) {
      case 7:
        tile_octs<7>(b, h, q);
        break;
      case 6:
        tile_octs<6>(b, h, q);
        break;
      case 5:
        tile_octs<5>(b, h, q);
        break;
      case 4:
        tile_octs<4>(b, h, q);
        break;
      case 3:
        tile_octs<3>(b, h, q);
        break;
      case 2:
        tile_octs<2>(b, h, q);
        break;
      case 1:
        tile_octs<1>(b, h, q);
        break;
      default:
        break;
    }
  }
  columns_pairs(b, q);
}

// row_update_pairs four complex words at a time, the last ones under a mask
// (the lanes masked off are neither read nor written).
TP_OCTS void row_update_octs(double* w, const double* x, const double* u, const int len) {
  const Oct xr = _mm512_set1_pd(x[0]), xi = _mm512_set1_pd(x[1]);
  int c = 0;
  for (; c + 4 <= len; c += 4) {
    const Oct uv = _mm512_loadu_pd(u + 2 * c);
    _mm512_storeu_pd(w + 2 * c, _mm512_loadu_pd(w + 2 * c) - (xr * uv + xi * swap_signed(uv)));
  }
  if (c < len) {
    const __mmask8 k = static_cast<__mmask8>((1u << (2 * (len - c))) - 1);
    const Oct uv = _mm512_maskz_loadu_pd(k, u + 2 * c);
    const Oct wv = _mm512_maskz_loadu_pd(k, w + 2 * c);
    _mm512_mask_storeu_pd(w + 2 * c, k, wv - (xr * uv + xi * swap_signed(uv)));
  }
}

bool runs(const KernelWidth width) {
  if (width == KernelWidth::octs) return __builtin_cpu_supports("avx512f");
  if (width == KernelWidth::quads) return __builtin_cpu_supports("avx");
  return true;
}
#else
bool runs(const KernelWidth width) { return width == KernelWidth::pairs; }
#endif

}  // namespace

KernelWidth kernel_width(const KernelWidth most) {
  for (const KernelWidth w : {KernelWidth::octs, KernelWidth::quads})
    if (static_cast<int>(w) <= static_cast<int>(most) && runs(w)) return w;
  return KernelWidth::pairs;
}

GroupKernels group_kernels(const KernelWidth width) {
#if defined(__x86_64__) || defined(__i386__)
  if (width == KernelWidth::octs) return {rectangle_octs, row_update_octs};
  if (width == KernelWidth::quads) return {rectangle_quads, row_update_quads};
#endif
  (void)width;
  return {rectangle_pairs, row_update_pairs};
}

}  // namespace tp
