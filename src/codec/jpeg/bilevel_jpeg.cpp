#include "codec/jpeg/bilevel_jpeg.h"

#include <algorithm>

#include "codec/jpeg/block_symbols.h"
#include "codec/jpeg/entropy_writer.h"
#include "codec/jpeg/jpeg_markers.h"

namespace tamarind {

namespace {

constexpr size_t kMinCacheBytes = 256 * 1024;
constexpr uint8_t kEndOfBlock = 0x00;

// libjpeg's message for a failed write to its output file.
constexpr const char* kWriteFailed = "Output file write error --- out of disk space?";

size_t CacheBudget(const FaxPage& page) {
  return std::max(kMinCacheBytes, static_cast<size_t>(page.height) * static_cast<size_t>(page.bytes_per_row));
}

int16_t DcOf(uint64_t pattern, const BlockQuantiser& quantiser) {
  return quantiser.Quantise(BilevelForwardDct(pattern))[0];
}

// The statistics pass: every block's DC difference, and each pattern's
// uses (its AC symbols are added per pattern afterwards).
class SymbolCounter {
 public:
  SymbolCounter(PatternCache& cache, const BlockQuantiser& quantiser, int16_t whiteDc, int16_t blackDc,
                SymbolCounts& dc, SymbolCounts& ac)
      : cache_(cache), quantiser_(quantiser), whiteDc_(whiteDc), blackDc_(blackDc), dc_(dc), ac_(ac) {}

  void Uniform(bool white, int64_t count) {
    CountDc(white ? whiteDc_ : blackDc_);
    dc_[0] += count - 1;  // the rest of the run repeats its DC
    ac_[kEndOfBlock] += count;
  }

  void Mixed(uint64_t pattern) {
    uint32_t id = cache_.Find(pattern);
    if (id == PatternCache::kNone) {
      const BlockSymbols symbols = SymbolsOf(quantiser_.Quantise(BilevelForwardDct(pattern)));
      id = cache_.Add(pattern, symbols);
      if (id == PatternCache::kNone) {  // the cache is full: count it here
        CountDc(symbols.dc);
        for (int i = 0; i < symbols.count; ++i) ++ac_[AcSymbol(symbols.ac[i])];
        return;
      }
    }
    PatternCache::Entry& entry = cache_[id];
    ++entry.uses;
    CountDc(entry.dc);
  }

 private:
  void CountDc(int16_t dc) {
    ++dc_[SizeOf(dc - lastDc_)];
    lastDc_ = dc;
  }

  PatternCache& cache_;
  const BlockQuantiser& quantiser_;
  const int16_t whiteDc_;
  const int16_t blackDc_;
  SymbolCounts& dc_;
  SymbolCounts& ac_;
  int16_t lastDc_ = 0;  // the first block's DC is coded against 0
};

// The output pass. Runs of uniform blocks are gathered across calls and
// block rows; all blocks of a run after its first code the same bits.
class BlockEmitter {
 public:
  BlockEmitter(EntropyWriter& out, const PatternCache& cache, const BlockQuantiser& quantiser, int16_t whiteDc,
               int16_t blackDc, const HuffmanCode& dc, const HuffmanCode& ac)
      : out_(out), cache_(cache), quantiser_(quantiser), whiteDc_(whiteDc), blackDc_(blackDc), dc_(dc), ac_(ac) {}

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
    if (const uint32_t id = cache_.Find(pattern); id != PatternCache::kNone) {
      const PatternCache::Entry& entry = cache_[id];
      PutDc(entry.dc);
      out_.PutString(cache_.Bits(entry), entry.bits);
      return;
    }
    const BlockSymbols symbols = SymbolsOf(quantiser_.Quantise(BilevelForwardDct(pattern)));
    PutDc(symbols.dc);
    for (int i = 0; i < symbols.count; ++i) PutAc(symbols.ac[i]);
  }

  void EndRun() {
    if (run_ == 0) return;
    PutDc(runWhite_ ? whiteDc_ : blackDc_);
    PutAc(kEndOfBlock);
    if (run_ > 1) {
      const int length = dc_.length[0] + ac_.length[kEndOfBlock];
      const uint32_t bits = uint32_t{dc_.code[0]} << ac_.length[kEndOfBlock] | ac_.code[kEndOfBlock];
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

  void PutAc(AcToken token) {
    const uint8_t symbol = AcSymbol(token);
    const int extra = symbol & 15;
    out_.Put(uint32_t{ac_.code[symbol]} << extra | AcExtraBits(token), ac_.length[symbol] + extra);
  }

  EntropyWriter& out_;
  const PatternCache& cache_;
  const BlockQuantiser& quantiser_;
  const int16_t whiteDc_;
  const int16_t blackDc_;
  const HuffmanCode& dc_;
  const HuffmanCode& ac_;
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
      whiteDc_(DcOf(kWhiteBlock, quantiser)),
      blackDc_(DcOf(kBlackBlock, quantiser)),
      cache_(CacheBudget(page)) {}

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
  jpeg.cache_.Encode(jpeg.acCode_);
  return jpeg;
}

void BilevelJpeg::CountSymbols(SymbolCounts& dc, SymbolCounts& ac) {
  SymbolCounter counter(cache_, quantiser_, whiteDc_, blackDc_, dc, ac);
  ScanBlocks(*page_, geometry_, counter);
  cache_.CountSymbols(ac);
}

bool BilevelJpeg::BuildCodes(const SymbolCounts& dc, const SymbolCounts& ac, bool optimize) {
  if (optimize) {
    std::optional<HuffmanSpec> dcSpec = OptimalHuffmanTable(dc);
    std::optional<HuffmanSpec> acSpec = OptimalHuffmanTable(ac);
    if (!dcSpec || !acSpec) return false;
    dcSpec_ = std::move(*dcSpec);
    acSpec_ = std::move(*acSpec);
  } else {
    dcSpec_ = tables_.standardDc;
    acSpec_ = tables_.standardAc;
  }
  std::optional<HuffmanCode> dcCode = CodeOf(dcSpec_);
  std::optional<HuffmanCode> acCode = CodeOf(acSpec_);
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
  frame.dc = &dcSpec_;
  frame.ac = &acSpec_;
  writer.PutBytes(GreyscaleHeaders(frame));
  BlockEmitter emitter(writer, cache_, quantiser_, whiteDc_, blackDc_, dcCode_, acCode_);
  ScanBlocks(*page_, geometry_, emitter);
  emitter.EndRun();
  writer.EndSegment();
  writer.PutBytes(kEndOfImage);
  return writer.Flush();
}

int WriteBilevelJpeg(BilevelJpeg& jpeg, platform::AtomicOutputFile& output, std::string* reason) {
  if (!output.Stream()) return 1;
  if (!jpeg.Write(output.Stream())) {
    if (reason) *reason = output.FinalPath() + ": " + kWriteFailed;
    (void)output.Discard();
    return 3;
  }
  if (platform::Status committed = output.Commit(); !committed) {
    if (reason) *reason = committed.reason();
    return 3;
  }
  return 0;
}

}  // namespace tamarind
