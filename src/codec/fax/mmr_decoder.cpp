#include "codec/fax/mmr_decoder.h"

#include <algorithm>
#include <bit>
#include <limits>
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

// The decoding of one line. The state lives in this local object rather
// than in the page decoding, so the compiler can keep it in registers.
//
// A line's runs are only recorded while it is decoded; the page decoding
// paints the row from them in one pass once the line is complete (PaintRow),
// which costs far less than painting run by run. A line with more runs than
// the list holds (only corrupt data has one) is painted run by run instead
// ("eagerly", with PaintRun at the cursor): the runs recorded so far when
// the list fills, and the rest as they come.
//
// What the slow path changes comes back by value, and the rest of its state
// lives outside the line object: nothing takes the line's address, so its
// fields stay in registers.
struct LineRecording {
  int32_t* runs;
  uint32_t capacity;
  int invert;
  RowCursor& cursor;  // the row, and while painting eagerly where the next run goes
};

struct RecordingState {
  uint32_t count;               // runs recorded
  uint32_t recording_capacity;  // runs recorded without the slow path; 0 while painting eagerly
};

struct MmrLine {
  MmrLine(const BitWindow& page_window, LineRecording& line_recording, const RunList& reference, int32_t line_width)
      : window(page_window),
        recording(line_recording),
        ref(reference.entries.data()),
        ref_count(reference.count),
        current(line_recording.runs),
        recording_capacity(line_recording.capacity),
        width(line_width),
        b1(reference.entries[0]) {}

  int64_t Decode() {
    while (true) {
      int leaf = window.DecodeCode(kModeTree);
      if (leaf < 0) [[unlikely]]
        return a0 - pending == width ? kLineDataEndedAtWidth : kLineDataEnded;
      uint8_t code = static_cast<uint8_t>(leaf);
      if (IsSpecial(code)) [[unlikely]]
        return EndOfLineOrInvalid(code);
      // Between codes the reference cursor has the parity that b1 needs
      // (or has reached the end of the list); each branch knows how its
      // code changed that, so b1 moves on without testing the parity.
      int mode = LeafValue(code);
      if (mode <= kModeVR3) {
        VerticalTo(b1 + mode);
        if (a0 >= width) return a0;  // every pixel passed is in a run now
        AdvanceB1FromWrongParity();  // the colour flipped
      } else if (mode <= kModeVL3) {
        int64_t a1 = b1 - (mode - kModeVR3);
        BackUpReference(a1);
        VerticalTo(a1);
        if (a0 >= width) return a0;
        AdvanceB1();  // backing up left the parity anything
      } else if (mode == kModeHorizontal) {
        for (int i = 0; i < 2; ++i) {
          int64_t run = DecodeRun();
          if (run < 0) return run;
          a0 += run;
          pending += run;
          EmitRun();
        }
        if (a0 >= width) return a0;
        AdvanceB1FromRightParity();  // two changes: the same colour again
      } else if (mode == kModePass) {
        Pass();
      } else {
        return kLineInvalid;  // extension: uncompressed mode is not supported
      }
    }
  }

  // True once the row holds what this line painted so far.
  bool PaintedEagerly() const { return recording_capacity == 0; }

  [[gnu::always_inline]] void VerticalTo(int64_t a1) {
    pending += a1 - a0;
    a0 = a1;
    EmitRun();
  }

  [[gnu::always_inline]] void Pass() {
    int64_t b2;
    if (ref_cursor < ref_count) {
      b2 = b1 + ref[ref_cursor++];
    } else {
      b1 = width;
      b2 = width;
    }
    pending += b2 - a0;
    a0 = b2;
    b1 = b2;
    AdvanceB1FromWrongParity();  // one step along the reference, same colour
  }

  // Ends the run of the current colour (the pixels passed over since the
  // last change) and flips the colour.
  [[gnu::always_inline]] void EmitRun() {
    if (pending > 0 && current_count < recording_capacity) [[likely]] {
      current[current_count++] = ClampRun(pending);
    } else {
      RecordingState state = RecordSlowly(recording, {current_count, recording_capacity}, pending, colour);
      current_count = state.count;
      recording_capacity = state.recording_capacity;
    }
    colour ^= 1;
    pending = 0;
  }

  // One run length of the current colour: make-up codes add up until a
  // terminating code ends the run.
  [[gnu::always_inline]] int64_t DecodeRun() {
    const CodeTree& tree = colour == kWhite ? kWhiteTree : kBlackTree;
    int64_t run = 0;
    while (true) {
      int leaf = window.DecodeCode(tree);
      if (leaf < 0) [[unlikely]]
        return kLineDataEnded;
      uint8_t code = static_cast<uint8_t>(leaf);
      if (IsSpecial(code)) [[unlikely]]
        return EndOfLineOrInvalid(code);
      if (!IsMakeUp(code)) return run + LeafValue(code);
      if (run < kLongestRun) run += int64_t{LeafValue(code)} * 64;
    }
  }

  // Moves b1 on along the reference while it is at or left of a0 (and left
  // of the row end), then on to a change to the colour opposite the one
  // about to be coded. Runs are never negative, so the changing elements
  // only move right and the answer is the first element of the right
  // parity past that limit: found by stepping in pairs from a cursor of the
  // right parity, with one test per pair. (The parity is right when it
  // differs from the colour's: an odd cursor, b1 at the end of a white
  // run, while coding white.)
  [[gnu::always_inline]] void AdvanceB1() {
    if (static_cast<int>(ref_cursor & 1) == colour) {
      AdvanceB1FromWrongParity();
    } else {
      AdvanceB1FromRightParity();
    }
  }

  [[gnu::always_inline]] void AdvanceB1FromWrongParity() {
    if (ref_cursor < ref_count) b1 += ref[ref_cursor++];
    AdvanceB1FromRightParity();
  }

  [[gnu::always_inline]] void AdvanceB1FromRightParity() {
    const int64_t limit = std::min(a0, width - 1);
    while (b1 <= limit && ref_cursor < ref_count) {
      b1 += ref[ref_cursor++];
      if (ref_cursor == ref_count) break;
      b1 += ref[ref_cursor++];
    }
  }

  [[gnu::always_inline]] void BackUpReference(int64_t a1) {
    if (a1 < 0) {
      ref_cursor = 0;
      b1 = 0;
      return;
    }
    while (b1 > a1) {
      if (ref_cursor > 0) {
        --ref_cursor;
        b1 -= ref[ref_cursor];
      } else {
        b1 = 0;
      }
    }
  }

  // Everything but a positive run appended while recording: empty runs,
  // a full list and eager painting. Only corrupt data makes runs of
  // negative length (kept as 0) or two zero-length runs in a row (no change
  // of colour at all: the pair is dropped). Keeping them out keeps the walks
  // along the next line's reference short, which a hostile page could
  // otherwise stretch to width steps per code.
  [[gnu::noinline]] static RecordingState RecordSlowly(LineRecording& line, RecordingState state, int64_t run,
                                                       int colour) {
    bool eager = state.recording_capacity == 0;
    bool skip = (colour ^ line.invert) != 0;
    if (eager) PaintRun(line.cursor, run, skip);
    if (run <= 0) {
      if (state.count > 1 && line.runs[state.count - 1] == 0) {
        --state.count;
        return state;
      }
      run = 0;
    }
    if (state.count < line.capacity) {
      line.runs[state.count++] = ClampRun(run);
    } else if (!eager) {
      PaintRecordedRuns(line, state.count);
      PaintRun(line.cursor, run, skip);
      state.recording_capacity = 0;
    }
    return state;
  }

  // Paints the runs recorded so far into the row and leaves the cursor
  // behind them, for every later run to be painted as it comes.
  static void PaintRecordedRuns(LineRecording& line, uint32_t count) {
    uint64_t end = PaintRow(line.cursor.row, line.cursor.row_length, std::span(line.runs, count), line.invert == 0);
    line.cursor.byte_index = static_cast<int32_t>(end / 8);
    line.cursor.bit_index = static_cast<uint8_t>(end % 8);
  }

  // The special leaves: an EOL (giving back the bit taken past it) or an
  // invalid code.
  int64_t EndOfLineOrInvalid(uint8_t code) {
    if (code == kLeafInvalid) return kLineInvalid;
    if (code != kLeafEol) window.Unread(1);
    return kLineEol;
  }

  static int32_t ClampRun(int64_t run) {
    return static_cast<int32_t>(std::min<int64_t>(run, std::numeric_limits<int32_t>::max()));
  }

  // Runs far longer than any row are all alike to the painter; the cap
  // keeps the sums far from overflow on hostile data.
  static constexpr int64_t kLongestRun = int64_t{1} << 40;

  BitWindow window;
  LineRecording& recording;
  const int32_t* ref;
  uint32_t ref_count;
  uint32_t ref_cursor = 1;
  int32_t* current;
  uint32_t current_count = 0;
  uint32_t recording_capacity;  // 0 while painting eagerly
  int64_t width;
  int64_t a0 = 0;
  int64_t b1;
  int64_t pending = 0;  // pixels of the current colour passed but not yet in a run
  int colour = kWhite;
};

// One run of the page decoder. The reference line and the changing
// elements b1, b2 are found by adding run lengths from a cursor that moves
// back only for VL codes.
class MmrPageDecoding {
 public:
  MmrPageDecoding(FaxBitReader& reader, FaxPage& page, int32_t width, int32_t lines, uint8_t invert, uint8_t sync_run,
                  int32_t& sync_position)
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
      if (line >= 0 || line == kLineDataEndedAtWidth) PaintStoredLine();
      if (line >= 0) {
        ++height_;
        // Every row stored: nothing further can show.
        if (PageFull()) return 0;
        std::swap(reference_, current_);
        reference_.cursor = 0;
        continue;
      }
      switch (line) {
        case kLineEol: reference_.SetAllWhite(width_); break;
        case kLineInvalid:
          if (!Resync()) return -12;
          reference_.SetAllWhite(width_);
          break;
        case kLineDataEndedAtWidth: ++height_; return 0;
        default: return height_ > 0 ? 0 : -11;
      }
    }
  }

  // Rows are not cleared: a stored line's row is written whole.
  bool StartRow() {
    if (!rows_.PlaceRow(height_, cursor_)) {
      allocation_failed_ = true;
      return false;
    }
    return true;
  }

  bool PageFull() const { return height_ >= lines_; }

  void PaintStoredLine() {
    if (line_painted_) return;
    uint64_t end =
        PaintRow(cursor_.row, cursor_.row_length, std::span(current_.entries.data(), current_.count), invert_ == 0);
    cursor_.byte_index = static_cast<int32_t>(end / 8);
    cursor_.bit_index = static_cast<uint8_t>(end % 8);
  }

  bool Resync() {
    window_.Store(reader_);
    if (FindSyncRun(reader_, sync_position_, sync_run_) < 0) return false;
    window_.Load(reader_);
    return true;
  }

  int64_t DecodeLine() {
    LineRecording recording{current_.entries.data(), static_cast<uint32_t>(current_.entries.size()), invert_, cursor_};
    MmrLine line(window_, recording, reference_, width_);
    int64_t result = line.Decode();
    window_ = line.window;
    current_.count = line.current_count;
    line_painted_ = line.PaintedEagerly();
    return result;
  }

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
  bool line_painted_ = false;
  bool allocation_failed_ = false;
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
