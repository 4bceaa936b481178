// A JPEG encoder for one-bit fax pages. It writes, straight from the
// page's rows, exactly the file libjpeg writes for the page's greyscale
// image (black 0, white 255, rows repeated for square pixels) with the
// settings of the JPEG stage: `cjpeg -grayscale -quality Q [-optimize]`
// gives the same bytes. Nothing the size of the image is ever built.
//
// The stages are libjpeg's: blocks are classified (page_blocks.h) and
// transformed, quantised and turned into symbols (islow_fdct.h,
// block_symbols.h); a statistics pass counts the symbols for optimal
// Huffman tables built as libjpeg builds them (huffman_table.h); an output
// pass codes the blocks (entropy_writer.h) between libjpeg's markers
// (jpeg_markers.h). All-white and all-black blocks cost no transform, and
// runs of them are counted and coded in bulk; each distinct mixed pattern
// is transformed once per pass, its symbols counted once and coded once
// (pattern_cache.h).
//
// Memory: the pattern cache (bounded by the size of the page's bitmap and
// one row of blocks' coefficients) and a 64 KiB output buffer; the page
// itself is only read.
#pragma once

#include <array>
#include <cstdio>
#include <optional>
#include <string>

#include "codec/fax/fax_page.h"
#include "codec/jpeg/huffman_table.h"
#include "codec/jpeg/islow_fdct.h"
#include "codec/jpeg/jpeg_tables.h"
#include "codec/jpeg/page_blocks.h"
#include "codec/jpeg/pattern_cache.h"
#include "platform/atomic_file.h"

namespace tamarind {

// The quantised DC of a bilevel block, by its number of white pixels.
using BilevelDcs = std::array<int16_t, 65>;

class BilevelJpeg {
 public:
  // Reads |page| (which must outlive this object and stay unchanged) once
  // for the statistics and builds the tables for |quality| (clamped to
  // 1..100 as libjpeg clamps it), optimised or libjpeg's standard ones.
  // Null for a page this encoder does not take; the temporary BMP and
  // libjpeg then handle it, and fail it, as they always have: a page with
  // no pixels, one over the JPEG stage's limits or with a bitmap shorter
  // than its geometry (see MeasureBlocks), or statistics for which
  // libjpeg itself could not build a table.
  static std::optional<BilevelJpeg> Prepare(const FaxPage& page, int quality, bool optimize);

  // Writes the whole file to |out| (the second read of the page). False
  // when the stream reported an error.
  bool Write(std::FILE* out);

 private:
  BilevelJpeg(const FaxPage& page, const BlockGeometry& geometry, const GreyscaleTables& tables,
              const BlockQuantiser& quantiser);
  void CountSymbols(SymbolCounts& dc, SymbolCounts& ac);
  bool BuildCodes(const SymbolCounts& dc, const SymbolCounts& ac, bool optimize);

  const FaxPage* page_;
  BlockGeometry geometry_;
  GreyscaleTables tables_;
  BlockQuantiser quantiser_;
  BilevelDcs dcs_{};
  PatternCache cache_;
  HuffmanTable dcTable_;
  HuffmanTable acTable_;
  HuffmanCode dcCode_;
  HuffmanCode acCode_;
};

// Writes |jpeg| into |output| and commits it; on failure discards it. The
// results of WriteJpegFromBmp: 0 written; 1 |output| has no stream; 3 not
// written, with |cause| (when given) naming the output and saying why.
int WriteBilevelJpeg(BilevelJpeg& jpeg, platform::AtomicOutputFile& output, platform::Status* cause = nullptr);

}  // namespace tamarind
