#include "codec/jpeg/islow_fdct.h"

#include <bit>

#include "codec/jpeg/block_kernels.h"
#include "codec/jpeg/vector_clones.h"

namespace tamarind {

namespace {

using namespace block_kernels;

// The row pass, in place on one row: the results keep kPass1Bits of
// extra precision for the column pass.
constexpr void RowPass(int32_t* d) {
  const int32_t tmp0 = d[0] + d[7], tmp7 = d[0] - d[7];
  const int32_t tmp1 = d[1] + d[6], tmp6 = d[1] - d[6];
  const int32_t tmp2 = d[2] + d[5], tmp5 = d[2] - d[5];
  const int32_t tmp3 = d[3] + d[4], tmp4 = d[3] - d[4];

  const int32_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3;
  const int32_t tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
  constexpr int shift = kConstBits - kPass1Bits;
  d[0] = (tmp10 + tmp11) * (1 << kPass1Bits);
  d[4] = (tmp10 - tmp11) * (1 << kPass1Bits);
  const int32_t even = (tmp12 + tmp13) * kFix0_541196100;
  d[2] = Descale(even + tmp13 * kFix0_765366865, shift);
  d[6] = Descale(even + tmp12 * -kFix1_847759065, shift);

  // Odd part (figure 8 of the paper, with its missing sqrt(2) restored).
  const int32_t z1 = (tmp4 + tmp7) * -kFix0_899976223;
  const int32_t z2 = (tmp5 + tmp6) * -kFix2_562915447;
  const int32_t z5 = (tmp4 + tmp6 + tmp5 + tmp7) * kFix1_175875602;
  const int32_t z3 = (tmp4 + tmp6) * -kFix1_961570560 + z5;
  const int32_t z4 = (tmp5 + tmp7) * -kFix0_390180644 + z5;
  d[7] = Descale(tmp4 * kFix0_298631336 + z1 + z3, shift);
  d[5] = Descale(tmp5 * kFix2_053119869 + z2 + z4, shift);
  d[3] = Descale(tmp6 * kFix3_072711026 + z2 + z3, shift);
  d[1] = Descale(tmp7 * kFix1_501321110 + z1 + z4, shift);
}

// The row pass of every possible bilevel row.
using RowTable = std::array<std::array<int32_t, 8>, 256>;

constexpr RowTable MakeRowTable() {
  RowTable table{};
  for (int value = 0; value < 256; ++value) {
    std::array<int32_t, 8> row{};
    for (int x = 0; x < 8; ++x) row[x] = (value & (0x80 >> x)) ? 255 - 128 : 0 - 128;
    RowPass(row.data());
    table[value] = row;
  }
  return table;
}

constexpr RowTable kBilevelRows = MakeRowTable();

TAMARIND_VECTOR_CLONES void ColumnPasses(const int32_t* const* rows, int32_t* d) { ColumnPass(rows, d); }

TAMARIND_VECTOR_CLONES void QuantiseAll(const int32_t* __restrict dct, const uint32_t* __restrict reciprocal,
                                        const uint32_t* __restrict correction, const uint32_t* __restrict shift,
                                        int32_t* __restrict out) {
  QuantiseInto(dct, reciprocal, correction, shift, out);
}

}  // namespace

void BilevelRowPass(uint64_t pattern, const int32_t** rows) {
  for (int row = 0; row < 8; ++row) rows[row] = kBilevelRows[(pattern >> (56 - 8 * row)) & 0xFF].data();
}

DctBlock BilevelForwardDct(uint64_t pattern) {
  const int32_t* rows[8];
  BilevelRowPass(pattern, rows);
  DctBlock block;
  ColumnPasses(rows, block.data());
  return block;
}

std::optional<BlockQuantiser> BlockQuantiser::For(const QuantTable& table) {
  BlockQuantiser q;
  for (int i = 0; i < 64; ++i) {
    if (table.natural[i] == 0 || table.natural[i] > 8191) return std::nullopt;
    // libjpeg-turbo's compute_reciprocal for 16-bit DCT elements.
    const uint32_t divisor = uint32_t{table.natural[i]} << 3;
    const int b = static_cast<int>(std::bit_width(divisor)) - 1;
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
    q.shift_[i] = static_cast<uint32_t>(r);
  }
  return q;
}

int16_t BlockQuantiser::BilevelDc(int white) const {
  DctBlock dct{};
  dct[0] = (255 - 128) * white + (0 - 128) * (64 - white);
  return static_cast<int16_t>(Quantise(dct)[0]);
}

QuantisedBlock BlockQuantiser::Quantise(const DctBlock& dct) const {
  QuantisedBlock out;
  QuantiseAll(dct.data(), reciprocal_.data(), correction_.data(), shift_.data(), out.data());
  return out;
}

}  // namespace tamarind
