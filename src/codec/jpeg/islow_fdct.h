// libjpeg's accurate integer forward DCT ("islow": the Loeffler-Ligtenberg-
// Moschytz algorithm with 13-bit constants and 2 bits of extra precision
// between the passes) and libjpeg-turbo's quantisation, reproduced to the
// bit: the coefficients are exactly those the library codes for the same
// samples (its SIMD DCT and quantiser give the same numbers as its C ones).
//
// Limits: 8-bit samples only (IJG chose the scaling so that 32-bit
// intermediates never overflow for them), quantisation entries up to 8191
// (libjpeg-turbo holds the divisor, 8 x the entry, in 16 bits; libjpeg's
// own quality scaling of the standard tables never goes above 6050).
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "codec/jpeg/jpeg_tables.h"

namespace tamarind {

// One 8x8 block, row-major ("natural" order): transform results, and the
// quantised coefficients (which libjpeg keeps in 16 bits).
using DctBlock = std::array<int32_t, 64>;
using QuantisedBlock = std::array<int32_t, 64>;

// The transform of a bilevel block given as 64 bits: row r is byte 7 - r
// (row 0 the most significant byte), the most significant bit of a row its
// left pixel, 1 white (sample 255) and 0 black (sample 0). The results are
// 8 times the true DCT coefficients, as libjpeg leaves them for its
// quantiser. A row pass depends only on its byte, so it comes from a table.
DctBlock BilevelForwardDct(uint64_t pattern);

// The row pass of a bilevel block: a row of the table for each of its
// rows, never copied.
void BilevelRowPass(uint64_t pattern, const int32_t** rows);

class BlockQuantiser {
 public:
  // Null for a table with an entry above 8191 (see the limits above).
  static std::optional<BlockQuantiser> For(const QuantTable& table);

  // Divides each coefficient by 8 x its table entry, rounding halves away
  // from zero, with libjpeg-turbo's reciprocals.
  QuantisedBlock Quantise(const DctBlock& dct) const;

  // The divisors as libjpeg-turbo's quantiser holds them, per coefficient:
  // quotient = ((|value| + correction) * reciprocal) >> shift.
  const uint32_t* Reciprocals() const { return reciprocal_.data(); }
  const uint32_t* Corrections() const { return correction_.data(); }
  const uint32_t* Shifts() const { return shift_.data(); }

  // The quantised DC of a bilevel block with |white| white pixels: the DC
  // the transform gives is exactly the sum of the centred samples.
  int16_t BilevelDc(int white) const;

 private:
  BlockQuantiser() = default;

  std::array<uint32_t, 64> reciprocal_{};
  std::array<uint32_t, 64> correction_{};
  std::array<uint32_t, 64> shift_{};
};

}  // namespace tamarind
