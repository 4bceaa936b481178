#include "codec/fax/mmr_decoder.h"

#include <bit>
#include <new>

#include "codec/fax/bit_window.h"
#include "codec/fax/code_trees.h"
#include "codec/fax/page_rows.h"
#include "codec/fax/row_painter.h"
#include "codec/fax/run_list.h"

namespace tamarind {
namespace {

constexpr int kWhite = 0;
constexpr uint8_t kCodingG4 = 7;

// Line decoder results besides a pixel count.
constexpr int64_t kLineDataEnded = -11;
constexpr int64_t kLineInvalid = -12;
constexpr int64_t kLineEol = -13;
constexpr int64_t kLineDataEndedAtWidth = -14;

// One run of the page decoder. The reference line and the changing
// elements b1, b2 are found by adding run lengths from a cursor that moves
// back only for VL codes.
class MmrPageDecoding {
 public:
  MmrPageDecoding(FaxBitReader& reader, FaxPage& page, int32_t width, int32_t lines, uint8_t invert,
                  uint8_t sync_run, int32_t& sync_position)
      : reader_(reader),
        window_(reader),
        rows_(page, lines),
        current_(width),
        reference_(width),
        width_(width),
        lines_(lines),
        invert_(invert),
        sync_run_(sync_run),
        sync_position_(sync_position) {}

  int Run() {
    int result = DecodeLines();
    window_.Store(reader_);
    if (allocation_failed_) {
      rows_.Finish(0, true);
      return -1;
    }
    rows_.Finish(height_ > lines_ ? lines_ : height_, false);
    return result;
  }

 private:
  int DecodeLines() {
    reference_.SetAllWhite(width_);
    while (true) {
      if (!StartRow()) return -1;
      current_.Clear();
      int64_t line = DecodeLine();
      if (line >= 0) {
        ++height_;
        std::swap(reference_, current_);
        reference_.cursor = 0;
        continue;
      }
      switch (line) {
        case kLineEol:
          reference_.SetAllWhite(width_);
          break;
        case kLineInvalid:
          if (!Resync()) return -12;
          reference_.SetAllWhite(width_);
          break;
        case kLineDataEndedAtWidth:
          ++height_;
          return 0;
        default:
          return height_ > 0 ? 0 : -11;
      }
    }
  }

  bool StartRow() {
    if (height_ >= lines_) {
      height_ = lines_;  // full: later lines write nothing inside the page
      return true;
    }
    if (!rows_.StartRow(height_, cursor_)) {
      allocation_failed_ = true;
      return false;
    }
    return true;
  }

  bool Resync() {
    window_.Store(reader_);
    if (FindSyncRun(reader_, sync_position_, sync_run_) < 0) return false;
    window_.Load(reader_);
    return true;
  }

  int64_t DecodeLine() {
    a0_ = 0;
    colour_ = kWhite;
    pending_ = 0;
    decoded_ = 0;
    reference_.cursor = 1;
    b1_ = reference_.entries[0];
    while (true) {
      int leaf = window_.DecodeCode(kModeTree);
      if (leaf < 0) return decoded_ == width_ ? kLineDataEndedAtWidth : kLineDataEnded;
      uint8_t code = static_cast<uint8_t>(leaf);
      if (IsEol(code)) {
        if (code != kLeafEol) window_.Unread(1);
        return kLineEol;
      }
      if (code == kLeafInvalid) return kLineInvalid;
      int mode = LeafValue(code);
      if (mode <= kModeVL3) {
        Vertical(mode);
      } else if (mode == kModeHorizontal) {
        for (int i = 0; i < 2; ++i) {
          int64_t run = DecodeRun();
          if (run < 0) return run;
          a0_ += run;
          pending_ += run;
          EmitRun();
        }
      } else if (mode == kModePass) {
        Pass();
        continue;
      } else {
        return kLineInvalid;  // extension: uncompressed mode is not supported
      }
      if (a0_ >= width_) return decoded_;
      AdvanceB1();
    }
  }

  void Vertical(int mode) {
    int64_t a1;
    if (mode <= kModeVR3) {
      a1 = b1_ + mode;
    } else {
      a1 = b1_ - (mode - kModeVR3);
      BackUpReference(a1);
    }
    pending_ += a1 - a0_;
    a0_ = a1;
    EmitRun();
  }

  void Pass() {
    int64_t b2;
    if (reference_.cursor < reference_.count) {
      b2 = b1_ + reference_.entries[reference_.cursor++];
    } else {
      b1_ = width_;
      b2 = width_;
    }
    pending_ += b2 - a0_;
    a0_ = b2;
    b1_ = b2;
    AdvanceB1();
  }

  // Paints the pixels passed over since the last change in the current
  // colour, records them as a run and flips the colour.
  void EmitRun() {
    decoded_ += pending_;
    PaintRun(cursor_, pending_, (colour_ ^ invert_) != 0);
    current_.Append(pending_);
    colour_ ^= 1;
    pending_ = 0;
  }

  // One run length of the current colour: make-up codes add up until a
  // terminating code ends the run.
  int64_t DecodeRun() {
    const CodeTree& tree = colour_ == kWhite ? kWhiteTree : kBlackTree;
    int64_t run = 0;
    while (true) {
      int leaf = window_.DecodeCode(tree);
      if (leaf < 0) return kLineDataEnded;
      uint8_t code = static_cast<uint8_t>(leaf);
      if (code == kLeafInvalid) return kLineInvalid;
      if (IsEol(code)) {
        if (code != kLeafEol) window_.Unread(1);
        return kLineEol;
      }
      if (!IsMakeUp(code)) return run + LeafValue(code);
      if (run < kLongestRun) run += LeafValue(code) * 64;
    }
  }

  // Moves b1 to the first changing element right of a0 that changes to the
  // colour opposite the one about to be coded.
  void AdvanceB1() {
    while (b1_ < width_ && b1_ <= a0_ && reference_.cursor < reference_.count)
      b1_ += reference_.entries[reference_.cursor++];
    if (static_cast<int>(reference_.cursor & 1) == colour_ && reference_.cursor < reference_.count)
      b1_ += reference_.entries[reference_.cursor++];
  }

  void BackUpReference(int64_t a1) {
    if (a1 < 0) {
      reference_.cursor = 0;
      b1_ = 0;
      return;
    }
    while (b1_ > a1) {
      if (reference_.cursor > 0) {
        --reference_.cursor;
        b1_ -= reference_.entries[reference_.cursor];
      } else {
        b1_ = 0;
      }
    }
  }

  // Runs far longer than any row are all alike to the painter; the cap
  // keeps the sums far from overflow on hostile data.
  static constexpr int64_t kLongestRun = int64_t{1} << 40;

  FaxBitReader& reader_;
  BitWindow window_;
  PageRows rows_;
  RowCursor cursor_;
  RunList current_;
  RunList reference_;
  int32_t width_;
  int32_t lines_;
  int invert_;
  uint8_t sync_run_;
  int32_t& sync_position_;
  int32_t height_ = 0;
  bool allocation_failed_ = false;
  // Line state.
  int64_t a0_ = 0;
  int64_t b1_ = 0;
  int64_t pending_ = 0;  // pixels of the current colour passed but not painted
  int64_t decoded_ = 0;
  int colour_ = kWhite;
};

int LeadingOnes(int byte) { return std::countl_one(static_cast<uint8_t>(byte)); }

}  // namespace

int FindSyncRun(FaxBitReader& reader, int32_t& sync_position, uint8_t sync_run) {
  if (reader.position < sync_position) reader.position = sync_position;
  reader.current = static_cast<int16_t>(reader.Fetch(false));
  while (true) {
    reader.bit_offset = 0;
    while (reader.current != 0xFF) {
      if (reader.current < 0) return reader.current;
      reader.current = static_cast<int16_t>(reader.Fetch(true));
    }
    int run = 0;
    while (reader.current == 0xFF) {
      ++run;
      reader.current = static_cast<int16_t>(reader.Fetch(true));
      if (reader.current < 0) return reader.current;
    }
    if (run < sync_run - 1) continue;
    reader.bit_offset = static_cast<uint8_t>(LeadingOnes(reader.current));
    int next = reader.ReadBits(3);
    if (next < 0) return next;
    if (next <= 1) {
      sync_position = reader.position + 1;
      reader.UnreadBits(3);
      return 0;
    }
    reader.current = static_cast<int16_t>(reader.Fetch(true));
  }
}

MmrDecoder::MmrDecoder(std::span<const uint8_t> data, uint8_t bit_order, uint8_t variant, uint8_t invert,
                       uint8_t sync_run)
    : G3Decoder(data, bit_order, 0, invert), variant_(variant), sync_run_(sync_run) {}

int MmrDecoder::DecodeMmrPage(FaxPage& page) {
  if ((variant_ & 3) == 1 || (variant_ & 3) == 3) return -1;
  FillPageHeader(page, *this, width_, lines_, kCodingG4, invert_);
  if (width_ <= 0 || lines_ <= 0) {
    page.height = 0;
    return -1;
  }
  try {
    return MmrPageDecoding(*this, page, width_, lines_, invert_ ? 1 : 0, sync_run_, sync_position_).Run();
  } catch (const std::bad_alloc&) {  // the run lists
    page.height = 0;
    return -1;
  }
}

}  // namespace tamarind
