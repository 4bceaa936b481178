#include "codec/fax/g3_decoder.h"

#include "codec/fax/bit_window.h"
#include "codec/fax/code_trees.h"
#include "codec/fax/page_rows.h"
#include "codec/fax/row_painter.h"

namespace tamarind {
namespace {

constexpr int kWhite = 0;

// One run of the one-dimensional page decoder.
class G3PageDecoding {
 public:
  G3PageDecoding(FaxBitReader& reader, FaxPage& page, int32_t width, int32_t lines, uint8_t invert)
      : reader_(reader), window_(reader), rows_(page, lines), width_(width), lines_(lines), invert_(invert) {}

  int Run() {
    if (!rows_.StartRow(0, cursor_)) return Fail();
    DecodeLines();
    if (allocation_failed_) return Fail();
    // A last line without a closing EOL counts when it is complete.
    if (decoded_ == width_ && height_ < lines_) ++height_;
    window_.Store(reader_);
    rows_.Finish(height_, false);
    return bad_;
  }

 private:
  int Fail() {
    rows_.Finish(0, true);
    return -1;
  }

  void DecodeLines() {
    while (true) {
      int leaf = window_.DecodeCode(colour_ == kWhite ? kWhiteTree : kBlackTree);
      if (leaf < 0) return;
      uint8_t code = static_cast<uint8_t>(leaf);
      if (code == kLeafInvalid) {
        ++bad_;
        if (!DropLine()) return;
      } else if (IsEol(code)) {
        if (code != kLeafEol) window_.Unread(1);
        if (!EndLine()) return;
      } else if (IsMakeUp(code)) {
        pending_ += int64_t{LeafValue(code)} * 64;
      } else {
        int64_t run = pending_ + LeafValue(code);
        PaintRun(cursor_, run, (colour_ ^ invert_) != 0);
        colour_ ^= 1;
        decoded_ += run;
        pending_ = 0;
        if (decoded_ > width_ && !DropLine()) return;
      }
    }
  }

  // A line of exactly the width is stored; shorter ones (the empty line
  // before the first EOL, the EOLs closing the page) leave the row for the
  // next line. Once every row is stored, nothing further can show, so the
  // rest of the data is not decoded.
  bool EndLine() {
    if (decoded_ == width_) ++height_;
    StartLine();
    if (height_ >= lines_) return false;
    if (!rows_.StartRow(height_, cursor_)) {
      allocation_failed_ = true;
      return false;
    }
    return true;
  }

  // Skips to behind the next EOL and starts the line again in the same row.
  bool DropLine() {
    window_.Store(reader_);
    if (FindEol(reader_) < 0) return false;
    window_.Load(reader_);
    StartLine();
    if (height_ < lines_) rows_.ClearRow(cursor_);
    return true;
  }

  void StartLine() {
    pending_ = 0;
    decoded_ = 0;
    colour_ = kWhite;
  }

  FaxBitReader& reader_;
  BitWindow window_;
  PageRows rows_;
  RowCursor cursor_;
  int32_t width_;
  int32_t lines_;
  int invert_;
  int colour_ = kWhite;
  int64_t pending_ = 0;  // make-up total not yet painted
  int64_t decoded_ = 0;  // pixels of the current line
  int32_t height_ = 0;   // lines stored
  int bad_ = 0;          // invalid codes met
  bool allocation_failed_ = false;
};

}  // namespace

G3Decoder::G3Decoder(std::span<const uint8_t> data, uint8_t bit_order, uint8_t coding_mode, uint8_t invert)
    : coding_mode_(coding_mode), invert_(invert) {
  this->bit_order = bit_order;
  Reset(data);
}

void G3Decoder::SetPageSize(int32_t width, int32_t lines) {
  width_ = width;
  lines_ = lines;
}

int G3Decoder::DecodeG3Page(FaxPage& page) {
  if (coding_mode_ != kCodingG3OneDimensional) return -1;
  FillPageHeader(page, *this, width_, lines_, kCodingG3OneDimensional, invert_);
  if (width_ <= 0 || lines_ <= 0) {
    page.height = 0;
    return -1;
  }
  return G3PageDecoding(*this, page, width_, lines_, invert_ ? 1 : 0).Run();
}

}  // namespace tamarind
