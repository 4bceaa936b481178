// Decoding helpers shared by the decoder tests.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "codec/fax/fax_page.h"
#include "codec/fax/g3_decoder.h"
#include "codec/fax/mmr_decoder.h"
#include "support/real_pages.h"

namespace tamarind::test {

// Coded data written as text: '0' and '1' are bits (first bit in the most
// significant bit of the first byte), everything else is ignored; the last
// byte is padded with zeros.
inline std::vector<uint8_t> Bits(std::string_view text) {
  std::vector<uint8_t> bytes;
  int used = 8;
  for (char c : text) {
    if (c != '0' && c != '1') continue;
    if (used == 8) {
      bytes.push_back(0);
      used = 0;
    }
    if (c == '1') bytes.back() = static_cast<uint8_t>(bytes.back() | (0x80 >> used));
    ++used;
  }
  return bytes;
}

struct Decoded {
  FaxPage page;
  int result = 0;
};

inline Decoded DecodeG3(std::span<const uint8_t> data, int32_t width, int32_t lines, uint8_t bit_order = MsbFirst) {
  Decoded out;
  G3Decoder decoder(data, bit_order, kCodingG3OneDimensional, 0);
  decoder.SetPageSize(width, lines);
  out.result = decoder.DecodeG3Page(out.page);
  return out;
}

inline Decoded DecodeMmr(std::span<const uint8_t> data, int32_t width, int32_t lines, uint8_t bit_order = MsbFirst) {
  Decoded out;
  MmrDecoder decoder(data, bit_order, 0, 0, 3);
  decoder.SetPageSize(width, lines);
  out.result = decoder.DecodeMmrPage(out.page);
  return out;
}

// A decoded page's rows as text, '#' for black and '.' for white; the bits
// past the width left out.
inline std::vector<std::string> Pixels(const FaxPage& page) {
  std::vector<std::string> rows;
  if (page.height < 0 || page.bits.size() < static_cast<size_t>(page.height) * page.bytes_per_row)
    return {"(a bitmap short of its rows)"};
  for (int32_t y = 0; y < page.height; ++y) {
    std::string& row = rows.emplace_back();
    for (int32_t x = 0; x < page.width; ++x) row += (page.Row(y)[x / 8] >> (7 - x % 8)) & 1 ? '.' : '#';
  }
  return rows;
}

// One decoder rule on a small page: the coded bits, the page size asked
// for, and what the decoder must give back.
struct RuleCase {
  const char* name;
  int32_t width;
  int32_t lines;
  int result;
  std::vector<std::string> rows;  // all the page holds, '#' black
  std::string bits;
};

// The result, every row, and a bitmap that holds exactly those rows.
inline void ExpectRuleKept(const RuleCase& c, const Decoded& d) {
  EXPECT_EQ(d.result, c.result);
  EXPECT_EQ(Pixels(d.page), c.rows);
  EXPECT_EQ(d.page.bits.size(), c.rows.size() * static_cast<size_t>((c.width + 7) / 8));
}

// Room for every line the real pages hold.
inline constexpr int32_t kRealPageLines = 4000;

inline Decoded DecodeReal(const RealPage& page, std::span<const uint8_t> data, uint8_t bit_order = MsbFirst) {
  return page.coding == PageCoding::kGroup3 ? DecodeG3(data, page.width, kRealPageLines, bit_order)
                                            : DecodeMmr(data, page.width, kRealPageLines, bit_order);
}

}  // namespace tamarind::test
