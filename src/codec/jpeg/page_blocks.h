// A one-bit fax page seen as the 8x8 blocks of the greyscale JPEG it
// becomes, read straight from its rows: rows repeated for square pixels
// are read again rather than copied, and the last column and row are
// repeated into the final partial blocks, as libjpeg pads an image.
//
// Block column j is byte j of each row. Eight block columns are classified
// with eight 64-bit loads: a group that is all white or all black in all
// eight rows is reported as a run without looking at its bytes.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codec/fax/fax_page.h"

namespace tamarind {

struct BlockGeometry {
  int64_t width = 0;       // pixels
  int64_t imageRows = 0;   // rows of the JPEG image: page rows x repeat
  int64_t repeat = 1;      // image rows per page row
  int64_t across = 0;      // blocks per block row
  int64_t down = 0;        // block rows
  int64_t wholeBytes = 0;  // bytes of a row that lie wholly inside the width
  int edgeBits = 0;        // pixels of the last, partial byte (0: none)
};

// The blocks of |page| with its rows repeated for square pixels
// (PageGeometry, as the temporary BMP repeats them). Null for a page the
// outputs refuse (over kMaxPageDimension or kMaxPagePixels after
// repetition, or a bitmap shorter than its geometry), and for an empty
// page, which libjpeg refuses.
std::optional<BlockGeometry> MeasureBlocks(const FaxPage& page);

// A block of eight rows' bytes as one pattern: row 0 in the most
// significant byte.
inline constexpr uint64_t kWhiteBlock = ~uint64_t{0};
inline constexpr uint64_t kBlackBlock = 0;

// White pixels of a block (population count by halves, quarters and
// bytes: the processors this is built for need not have an instruction for
// it).
inline int WhitePixels(uint64_t pattern) {
  pattern -= (pattern >> 1) & 0x5555555555555555u;
  pattern = (pattern & 0x3333333333333333u) + ((pattern >> 2) & 0x3333333333333333u);
  pattern = (pattern + (pattern >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<int>((pattern * 0x0101010101010101u) >> 56);
}

namespace page_blocks_detail {

inline uint64_t Load(const uint8_t* at) {
  uint64_t word;
  std::memcpy(&word, at, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;  // byte k of memory in bits 8k..8k+7
}

// The eight patterns of eight row words: pattern k is byte k (0 = lowest
// address) of each row. A transpose of 8 x 8 bytes.
inline void GatherAll(const uint64_t (&words)[8], uint64_t (&patterns)[8]) {
#if defined(__SSE2__)
  __m128i rows[8];
  for (int row = 0; row < 8; ++row) rows[row] = _mm_cvtsi64_si128(static_cast<long long>(words[row]));
  const __m128i pairs01 = _mm_unpacklo_epi8(rows[0], rows[1]), pairs23 = _mm_unpacklo_epi8(rows[2], rows[3]);
  const __m128i pairs45 = _mm_unpacklo_epi8(rows[4], rows[5]), pairs67 = _mm_unpacklo_epi8(rows[6], rows[7]);
  const __m128i low03 = _mm_unpacklo_epi16(pairs01, pairs23), high03 = _mm_unpackhi_epi16(pairs01, pairs23);
  const __m128i low47 = _mm_unpacklo_epi16(pairs45, pairs67), high47 = _mm_unpackhi_epi16(pairs45, pairs67);
  // Each 64-bit lane: one byte column, row 0 in its lowest byte.
  const __m128i columns[4] = {_mm_unpacklo_epi32(low03, low47), _mm_unpackhi_epi32(low03, low47),
                              _mm_unpacklo_epi32(high03, high47), _mm_unpackhi_epi32(high03, high47)};
  for (size_t i = 0; i < 4; ++i) {
    patterns[2 * i] = __builtin_bswap64(static_cast<uint64_t>(_mm_cvtsi128_si64(columns[i])));
    patterns[2 * i + 1] =
        __builtin_bswap64(static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(columns[i], columns[i]))));
  }
#else
  for (int k = 0; k < 8; ++k) {
    patterns[k] = 0;
    for (int row = 0; row < 8; ++row) patterns[k] = (patterns[k] << 8) | ((words[row] >> (8 * k)) & 0xFF);
  }
#endif
}

inline uint64_t GatherByte(const uint8_t* const (&rows)[8], int64_t j) {
  uint64_t pattern = 0;
  for (int row = 0; row < 8; ++row) pattern = (pattern << 8) | rows[row][j];
  return pattern;
}

// Each row's pixels past the first |keep| take the colour of its last
// pixel inside the width.
inline uint64_t ReplicateEdge(uint64_t pattern, int keep) {
  constexpr uint64_t kEachByte = 0x0101010101010101u;
  const uint64_t outside = (0xFFu >> keep) * kEachByte;
  const uint64_t lastInside = pattern & ((0x80u >> (keep - 1)) * kEachByte);
  // 0 or 1 per byte, times a byte-sized mask: no carry between bytes.
  return (pattern & ~outside) | ((lastInside >> (8 - keep)) * (0xFFu >> keep));
}

template <typename Visitor>
void Classify(uint64_t pattern, Visitor& visit) {
  if (pattern == kWhiteBlock) visit.Uniform(true, 1);
  else if (pattern == kBlackBlock) visit.Uniform(false, 1);
  else visit.Mixed(pattern);
}

template <typename Visitor>
void ScanBand(const uint8_t* const (&rows)[8], const BlockGeometry& g, Visitor& visit) {
  int64_t j = 0;
  for (; j + 8 <= g.wholeBytes; j += 8) {
    uint64_t words[8];
    uint64_t all = ~uint64_t{0}, any = 0;
    for (int row = 0; row < 8; ++row) {
      words[row] = Load(rows[row] + j);
      all &= words[row];
      any |= words[row];
    }
    if (all == ~uint64_t{0}) {
      visit.Uniform(true, 8);
    } else if (any == 0) {
      visit.Uniform(false, 8);
    } else {
      uint64_t patterns[8];
      GatherAll(words, patterns);
      for (int k = 0; k < 8; ++k) Classify(patterns[k], visit);
    }
  }
  for (; j < g.wholeBytes; ++j) Classify(GatherByte(rows, j), visit);
  if (g.edgeBits) Classify(ReplicateEdge(GatherByte(rows, j), g.edgeBits), visit);
}

}  // namespace page_blocks_detail

// Calls visit.Uniform(white, count) for runs of all-white or all-black
// blocks and visit.Mixed(pattern) for every other block, in the order the
// JPEG codes them (block rows top to bottom, left to right).
template <typename Visitor>
void ScanBlocks(const FaxPage& page, const BlockGeometry& g, Visitor& visit) {
  const uint8_t* rows[8];
  const auto stride = static_cast<size_t>(page.bytes_per_row);
  for (int64_t band = 0; band < g.down; ++band) {
    for (int i = 0; i < 8; ++i) {
      const int64_t imageRow = std::min(8 * band + i, g.imageRows - 1);
      rows[i] = page.bits.data() + static_cast<size_t>(imageRow / g.repeat) * stride;
    }
    page_blocks_detail::ScanBand(rows, g, visit);
  }
}

}  // namespace tamarind
