// The loops of a block's transform, quantisation and symbol sizes, for
// the two files whose vector-built functions (see vector_clones.h) inline
// them. Internal to the JPEG encoder.
#pragma once

#include <cstdint>
#include <cstring>

namespace tamarind::block_kernels {

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;

// The constants of libjpeg's jfdctint.c: round(x * 2^13).
constexpr int32_t kFix0_298631336 = 2446;
constexpr int32_t kFix0_390180644 = 3196;
constexpr int32_t kFix0_541196100 = 4433;
constexpr int32_t kFix0_765366865 = 6270;
constexpr int32_t kFix0_899976223 = 7373;
constexpr int32_t kFix1_175875602 = 9633;
constexpr int32_t kFix1_501321110 = 12299;
constexpr int32_t kFix1_847759065 = 15137;
constexpr int32_t kFix1_961570560 = 16069;
constexpr int32_t kFix2_053119869 = 16819;
constexpr int32_t kFix2_562915447 = 20995;
constexpr int32_t kFix3_072711026 = 25172;

// Right shift with rounding (arithmetic, as the library's RIGHT_SHIFT).
constexpr int32_t Descale(int32_t x, int n) { return (x + (int32_t{1} << (n - 1))) >> n; }

// The column pass: the row pass's butterflies down all eight columns at
// once, removing the extra precision and leaving the results 8 times the
// true coefficients.
// |rows| are the row pass's results, row by row; |d| may be one of them.
// Inlined into each of its callers' builds.
[[gnu::always_inline]] inline void ColumnPass(const int32_t* const* rows, int32_t* d) {
  int32_t tmp0[8], tmp1[8], tmp2[8], tmp3[8], tmp4[8], tmp5[8], tmp6[8], tmp7[8];
  for (int c = 0; c < 8; ++c) {
    tmp0[c] = rows[0][c] + rows[7][c];
    tmp7[c] = rows[0][c] - rows[7][c];
    tmp1[c] = rows[1][c] + rows[6][c];
    tmp6[c] = rows[1][c] - rows[6][c];
    tmp2[c] = rows[2][c] + rows[5][c];
    tmp5[c] = rows[2][c] - rows[5][c];
    tmp3[c] = rows[3][c] + rows[4][c];
    tmp4[c] = rows[3][c] - rows[4][c];
  }
  constexpr int shift = kConstBits + kPass1Bits;
  for (int c = 0; c < 8; ++c) {
    const int32_t tmp10 = tmp0[c] + tmp3[c], tmp13 = tmp0[c] - tmp3[c];
    const int32_t tmp11 = tmp1[c] + tmp2[c], tmp12 = tmp1[c] - tmp2[c];
    d[c] = Descale(tmp10 + tmp11, kPass1Bits);
    d[32 + c] = Descale(tmp10 - tmp11, kPass1Bits);
    const int32_t even = (tmp12 + tmp13) * kFix0_541196100;
    d[16 + c] = Descale(even + tmp13 * kFix0_765366865, shift);
    d[48 + c] = Descale(even + tmp12 * -kFix1_847759065, shift);
  }
  for (int c = 0; c < 8; ++c) {
    const int32_t z1 = (tmp4[c] + tmp7[c]) * -kFix0_899976223;
    const int32_t z2 = (tmp5[c] + tmp6[c]) * -kFix2_562915447;
    const int32_t z5 = (tmp4[c] + tmp6[c] + tmp5[c] + tmp7[c]) * kFix1_175875602;
    const int32_t z3 = (tmp4[c] + tmp6[c]) * -kFix1_961570560 + z5;
    const int32_t z4 = (tmp5[c] + tmp7[c]) * -kFix0_390180644 + z5;
    d[56 + c] = Descale(tmp4[c] * kFix0_298631336 + z1 + z3, shift);
    d[40 + c] = Descale(tmp5[c] * kFix2_053119869 + z2 + z4, shift);
    d[24 + c] = Descale(tmp6[c] * kFix3_072711026 + z2 + z3, shift);
    d[8 + c] = Descale(tmp7[c] * kFix1_501321110 + z1 + z4, shift);
  }
}

// Each quotient rounded half away from zero, branch-free.
[[gnu::always_inline]] inline void QuantiseInto(const int32_t* __restrict dct, const uint32_t* __restrict reciprocal,
                                                const uint32_t* __restrict correction, const uint32_t* __restrict shift,
                                                int32_t* __restrict out) {
  for (int i = 0; i < 64; ++i) {
    const int32_t sign = dct[i] >> 31;  // 0 or -1
    const auto magnitude = static_cast<uint32_t>((dct[i] ^ sign) - sign);
    const auto quotient = static_cast<int32_t>(((magnitude + correction[i]) * reciprocal[i]) >> shift[i]);
    out[i] = (quotient ^ sign) - sign;
  }
}

// The size category from the exponent of the magnitude as a float (exact
// up to 2^24): 2^(e-127) <= m < 2^(e-126), so the bit width is e - 126;
// zero gives e = 0 and is clamped to size 0.
[[gnu::always_inline]] inline void SizesAndExtrasInto(const int32_t* __restrict values, uint32_t* __restrict size,
                                                      uint32_t* __restrict extra) {
  for (int i = 0; i < 64; ++i) {
    const int32_t value = values[i];
    const int32_t sign = value >> 31;
    const float magnitude = static_cast<float>((value ^ sign) - sign);
    int32_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int32_t width = (bits >> 23) - 126;
    const uint32_t s = static_cast<uint32_t>(width > 0 ? width : 0);
    size[i] = s;
    extra[i] = static_cast<uint32_t>(value + sign) & ((uint32_t{1} << s) - 1);
  }
}

}  // namespace tamarind::block_kernels
