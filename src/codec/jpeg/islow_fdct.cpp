#include "codec/jpeg/islow_fdct.h"

#include <bit>

namespace tamarind {

namespace {

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

// One 8-point pass over in[0], in[step], ... in place. The row pass
// (|rows|) keeps kPass1Bits of extra precision, the column pass removes it.
constexpr void Transform8(int32_t* d, int step, bool rows) {
  const int32_t tmp0 = d[0] + d[7 * step], tmp7 = d[0] - d[7 * step];
  const int32_t tmp1 = d[step] + d[6 * step], tmp6 = d[step] - d[6 * step];
  const int32_t tmp2 = d[2 * step] + d[5 * step], tmp5 = d[2 * step] - d[5 * step];
  const int32_t tmp3 = d[3 * step] + d[4 * step], tmp4 = d[3 * step] - d[4 * step];

  const int32_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3;
  const int32_t tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
  const int oddShift = rows ? kConstBits - kPass1Bits : kConstBits + kPass1Bits;
  d[0] = rows ? (tmp10 + tmp11) * (1 << kPass1Bits) : Descale(tmp10 + tmp11, kPass1Bits);
  d[4 * step] = rows ? (tmp10 - tmp11) * (1 << kPass1Bits) : Descale(tmp10 - tmp11, kPass1Bits);
  const int32_t even = (tmp12 + tmp13) * kFix0_541196100;
  d[2 * step] = Descale(even + tmp13 * kFix0_765366865, oddShift);
  d[6 * step] = Descale(even + tmp12 * -kFix1_847759065, oddShift);

  // Odd part (figure 8 of the paper, with its missing sqrt(2) restored).
  const int32_t z1 = (tmp4 + tmp7) * -kFix0_899976223;
  const int32_t z2 = (tmp5 + tmp6) * -kFix2_562915447;
  const int32_t z5 = (tmp4 + tmp6 + tmp5 + tmp7) * kFix1_175875602;
  const int32_t z3 = (tmp4 + tmp6) * -kFix1_961570560 + z5;
  const int32_t z4 = (tmp5 + tmp7) * -kFix0_390180644 + z5;
  d[7 * step] = Descale(tmp4 * kFix0_298631336 + z1 + z3, oddShift);
  d[5 * step] = Descale(tmp5 * kFix2_053119869 + z2 + z4, oddShift);
  d[3 * step] = Descale(tmp6 * kFix3_072711026 + z2 + z3, oddShift);
  d[1 * step] = Descale(tmp7 * kFix1_501321110 + z1 + z4, oddShift);
}

void ColumnPass(DctBlock& block) {
  for (int column = 0; column < 8; ++column) Transform8(&block[column], 8, false);
}

// The row pass of every possible bilevel row.
using RowTable = std::array<std::array<int32_t, 8>, 256>;

constexpr RowTable MakeRowTable() {
  RowTable table{};
  for (int value = 0; value < 256; ++value) {
    std::array<int32_t, 8> row{};
    for (int x = 0; x < 8; ++x) row[x] = (value & (0x80 >> x)) ? 255 - 128 : 0 - 128;
    Transform8(row.data(), 1, true);
    table[value] = row;
  }
  return table;
}

constexpr RowTable kBilevelRows = MakeRowTable();

}  // namespace

void ForwardDctIslow(DctBlock& block) {
  for (int row = 0; row < 8; ++row) Transform8(&block[8 * row], 1, true);
  ColumnPass(block);
}

DctBlock BilevelForwardDct(uint64_t pattern) {
  DctBlock block;
  for (int row = 0; row < 8; ++row) {
    const auto& pass = kBilevelRows[(pattern >> (56 - 8 * row)) & 0xFF];
    for (int x = 0; x < 8; ++x) block[8 * row + x] = pass[x];
  }
  ColumnPass(block);
  return block;
}

std::optional<BlockQuantiser> BlockQuantiser::For(const QuantTable& table) {
  BlockQuantiser q;
  for (int i = 0; i < 64; ++i) {
    if (table.natural[i] == 0 || table.natural[i] > 8191) return std::nullopt;
    // libjpeg-turbo's compute_reciprocal for 16-bit DCT elements.
    const uint32_t divisor = uint32_t{table.natural[i]} << 3;
    const int b = std::bit_width(divisor) - 1;
    int r = 16 + b;
    uint32_t fq = static_cast<uint32_t>((uint64_t{1} << r) / divisor);
    const uint32_t fr = static_cast<uint32_t>((uint64_t{1} << r) % divisor);
    uint32_t c = divisor / 2;
    if (fr == 0) {  // a power of two: the reciprocal would need 17 bits
      fq >>= 1;
      --r;
    } else if (fr <= divisor / 2) {
      ++c;
    } else {
      ++fq;
    }
    q.reciprocal_[i] = fq;
    q.correction_[i] = c;
    q.shift_[i] = static_cast<uint8_t>(r);
  }
  return q;
}

CoefficientBlock BlockQuantiser::Quantise(const DctBlock& dct) const {
  CoefficientBlock out;
  for (int i = 0; i < 64; ++i) {
    const int32_t value = dct[i];
    const uint32_t magnitude = static_cast<uint32_t>(value < 0 ? -value : value);
    const uint32_t quotient = ((magnitude + correction_[i]) * reciprocal_[i]) >> shift_[i];
    out[i] = static_cast<int16_t>(value < 0 ? -static_cast<int32_t>(quotient) : static_cast<int32_t>(quotient));
  }
  return out;
}

}  // namespace tamarind
