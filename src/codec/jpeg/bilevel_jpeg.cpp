#include "codec/jpeg/bilevel_jpeg.h"

#include "codec/jpeg/block_symbols.h"
#include "codec/jpeg/entropy_writer.h"
#include "codec/jpeg/jpeg_markers.h"

namespace tamarind {

namespace {

// libjpeg's message for a failed write to its output file.
constexpr const char* kWriteFailed = "Output file write error --- out of disk space?";

// As much as the page's own bitmap and one row of blocks' coefficients.
size_t CacheBudget(const FaxPage& page, const BlockGeometry& geometry) {
  const size_t bitmap = static_cast<size_t>(page.height) * static_cast<size_t>(page.bytes_per_row);
  return bitmap + static_cast<size_t>(geometry.across) * 64 * sizeof(int16_t);
}

// The statistics pass: every block's DC difference, each kept pattern's
// uses (its AC symbols are counted afterwards, once per pattern), and the
// AC symbols of blocks whose pattern was not kept.
class SymbolCounter {
 public:
  SymbolCounter(PatternCache& cache, const BlockQuantiser& quantiser, const BilevelDcs& dcs, SymbolCounts& dc,
                SymbolCounts& ac)
      : cache_(cache), quantiser_(quantiser), dcs_(dcs), dc_(dc), ac_(ac) {}

  void Uniform(bool white, int64_t count) {
    CountDc(dcs_[white ? 64 : 0]);
    dc_[0] += count - 1;  // the rest of the run repeats its DC
    ac_[kEndOfBlock] += count;
  }

  void Mixed(uint64_t pattern) {
    CountDc(dcs_[WhitePixels(pattern)]);
    if (cache_.CountUse(pattern)) return;
    ForEachAcSymbol(BilevelAcParts(pattern, quantiser_), [this](uint8_t symbol, uint32_t) { ++ac_[symbol]; });
  }

 private:
  void CountDc(int16_t dc) {
    ++dc_[SizeOf(dc - lastDc_)];
    lastDc_ = dc;
  }

  PatternCache& cache_;
  const BlockQuantiser& quantiser_;
  const BilevelDcs& dcs_;
  SymbolCounts& dc_;
  SymbolCounts& ac_;
  int16_t lastDc_ = 0;  // the first block's DC is coded against 0
};

// Each symbol's code with room for its extra bits, and the length of both.
struct SymbolCodes {
  explicit SymbolCodes(const HuffmanCode& code) {
    for (int symbol = 0; symbol < 256; ++symbol) {
      const int extra = symbol & 15;
      bits[symbol] = uint32_t{code.code[symbol]} << extra;
      length[symbol] = static_cast<uint8_t>(code.length[symbol] + extra);
    }
  }
  std::array<uint32_t, 256> bits;
  std::array<uint8_t, 256> length;
};

// Codes the AC symbols of |block| into |words| (most significant bit
// first, the last word's bits in its high end); returns their length.
uint32_t CodeAc(const AcParts& block, const SymbolCodes& codes, uint32_t* words) {
  uint64_t pending = 0;  // bits not yet stored, in the low end
  int pendingBits = 0;
  uint32_t total = 0;
  ForEachAcSymbol(block, [&](uint8_t symbol, uint32_t extra) {
    const int length = codes.length[symbol];
    pending = (pending << length) | codes.bits[symbol] | extra;
    pendingBits += length;
    total += static_cast<uint32_t>(length);
    if (pendingBits >= 32) {
      pendingBits -= 32;
      *words++ = static_cast<uint32_t>(pending >> pendingBits);
    }
  });
  if (pendingBits > 0) *words = static_cast<uint32_t>(pending << (32 - pendingBits));
  return total;
}

// The output pass. Runs of uniform blocks are gathered across calls and
// block rows; all blocks of a run after its first code the same bits.
class BlockEmitter {
 public:
  BlockEmitter(EntropyWriter& out, PatternCache& cache, const BlockQuantiser& quantiser, const BilevelDcs& dcs,
               const HuffmanCode& dc, const HuffmanCode& ac)
      : out_(out), cache_(cache), quantiser_(quantiser), dcs_(dcs), dc_(dc), ac_(ac) {}

  void Uniform(bool white, int64_t count) {
    if (run_ > 0 && runWhite_ == white) {
      run_ += count;
      return;
    }
    EndRun();
    runWhite_ = white;
    run_ = count;
  }

  void Mixed(uint64_t pattern) {
    EndRun();
    PutDc(dcs_[WhitePixels(pattern)]);
    const uint32_t slot = cache_.Find(pattern);
    if (slot == PatternCache::kNone || !cache_.HasCode(slot)) {
      // Not seen yet in this pass (or not kept): coded now, and kept for
      // the pattern's later blocks where there is room.
      std::array<uint32_t, kMaxAcCodeWords> words;
      const uint32_t bits = CodeAc(BilevelAcParts(pattern, quantiser_), ac_, words.data());
      if (slot == PatternCache::kNone || !cache_.KeepCode(slot, std::span(words).first((bits + 31) / 32), bits)) {
        out_.PutString(words.data(), bits);
        return;
      }
    }
    out_.PutString(cache_.Code(slot), cache_.CodeBits(slot));
  }

  void EndRun() {
    if (run_ == 0) return;
    PutDc(dcs_[runWhite_ ? 64 : 0]);
    out_.Put(ac_.bits[kEndOfBlock], ac_.length[kEndOfBlock]);
    if (run_ > 1) {
      const int length = dc_.length[0] + ac_.length[kEndOfBlock];
      const uint32_t bits = uint32_t{dc_.code[0]} << ac_.length[kEndOfBlock] | ac_.bits[kEndOfBlock];
      out_.PutRepeated(bits, length, run_ - 1);
    }
    run_ = 0;
  }

 private:
  void PutDc(int16_t dc) {
    const int32_t difference = dc - lastDc_;
    lastDc_ = dc;
    const int size = SizeOf(difference);
    out_.Put(uint32_t{dc_.code[size]} << size | ExtraBits(difference, size), dc_.length[size] + size);
  }

  EntropyWriter& out_;
  PatternCache& cache_;
  const BlockQuantiser& quantiser_;
  const BilevelDcs& dcs_;
  const HuffmanCode& dc_;
  const SymbolCodes ac_;
  int16_t lastDc_ = 0;
  bool runWhite_ = false;
  int64_t run_ = 0;
};

}  // namespace

BilevelJpeg::BilevelJpeg(const FaxPage& page, const BlockGeometry& geometry, const GreyscaleTables& tables,
                         const BlockQuantiser& quantiser)
    : page_(&page),
      geometry_(geometry),
      tables_(tables),
      quantiser_(quantiser),
      cache_(CacheBudget(page, geometry), geometry.across * geometry.down) {
  for (int white = 0; white <= 64; ++white) dcs_[white] = quantiser.BilevelDc(white);
}

std::optional<BilevelJpeg> BilevelJpeg::Prepare(const FaxPage& page, int quality, bool optimize) {
  const std::optional<BlockGeometry> geometry = MeasureBlocks(page);
  if (!geometry) return std::nullopt;
  const std::optional<GreyscaleTables> tables = LibjpegGreyscaleTables(quality);
  if (!tables) return std::nullopt;
  const std::optional<BlockQuantiser> quantiser = BlockQuantiser::For(tables->quant);
  if (!quantiser) return std::nullopt;
  BilevelJpeg jpeg(page, *geometry, *tables, *quantiser);
  SymbolCounts dc{}, ac{};
  jpeg.CountSymbols(dc, ac);
  if (!jpeg.BuildCodes(dc, ac, optimize)) return std::nullopt;
  return jpeg;
}

void BilevelJpeg::CountSymbols(SymbolCounts& dc, SymbolCounts& ac) {
  SymbolCounter counter(cache_, quantiser_, dcs_, dc, ac);
  ScanBlocks(*page_, geometry_, counter);
  cache_.ForEachPattern([&](uint64_t pattern, uint32_t uses) {
    ForEachAcSymbol(BilevelAcParts(pattern, quantiser_), [&](uint8_t symbol, uint32_t) { ac[symbol] += uses; });
  });
}

bool BilevelJpeg::BuildCodes(const SymbolCounts& dc, const SymbolCounts& ac, bool optimize) {
  if (optimize) {
    std::optional<HuffmanTable> dcTable = OptimalHuffmanTable(dc);
    std::optional<HuffmanTable> acTable = OptimalHuffmanTable(ac);
    if (!dcTable || !acTable) return false;
    dcTable_ = std::move(*dcTable);
    acTable_ = std::move(*acTable);
  } else {
    dcTable_ = tables_.standardDc;
    acTable_ = tables_.standardAc;
  }
  std::optional<HuffmanCode> dcCode = CodeOf(dcTable_);
  std::optional<HuffmanCode> acCode = CodeOf(acTable_);
  if (!dcCode || !acCode) return false;
  dcCode_ = *dcCode;
  acCode_ = *acCode;
  return true;
}

bool BilevelJpeg::Write(std::FILE* out) {
  EntropyWriter writer(out);
  GreyscaleFrame frame;
  frame.width = static_cast<uint16_t>(geometry_.width);
  frame.height = static_cast<uint16_t>(geometry_.imageRows);
  frame.quant = &tables_.quant;
  frame.dc = &dcTable_;
  frame.ac = &acTable_;
  writer.PutBytes(GreyscaleHeaders(frame));
  BlockEmitter emitter(writer, cache_, quantiser_, dcs_, dcCode_, acCode_);
  ScanBlocks(*page_, geometry_, emitter);
  emitter.EndRun();
  writer.EndSegment();
  writer.PutBytes(kEndOfImage);
  return writer.Flush();
}

int WriteBilevelJpeg(BilevelJpeg& jpeg, platform::AtomicOutputFile& output, platform::Status* cause) {
  if (!output.Stream()) return 1;
  if (!jpeg.Write(output.Stream())) {
    // A failed write keeps the system's own cause.
    platform::Status written = output.WriteState();
    if (cause) *cause = written ? platform::Failure::About(output.FinalPath(), kWriteFailed) : std::move(written);
    (void)output.Discard();
    return 3;
  }
  if (platform::Status committed = output.Commit(); !committed) {
    if (cause) *cause = std::move(committed);
    return 3;
  }
  return 0;
}

}  // namespace tamarind
