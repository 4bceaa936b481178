#include "faxdoc/winfax_reader.h"

#include <algorithm>
#include <limits>

#include "codec/fax/g3_decoder.h"
#include "codec/fax/mmr_decoder.h"
#include "codec/fax/page_geometry.h"
#include "codec/fax/page_limits.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

constexpr uint8_t kSignature0 = 0x0B;
constexpr uint8_t kSignature1 = 0x23;

// Decoder settings for WinFax pages.
constexpr uint8_t kCodingModeG3OneDimensional = 5;
constexpr uint8_t kMmrVariant = 0;
constexpr uint8_t kMmrSyncRun = 3;
constexpr uint8_t kInvertNone = 0;
constexpr uint8_t kResolutionUnitInch = 2;

uint16_t Le16(std::span<const uint8_t> b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

int32_t Le32(std::span<const uint8_t> b, size_t at) {
  const uint32_t v = uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
  return static_cast<int32_t>(v);
}

void EmptyPage(FaxPage& page) { page = FaxPage{}; }

std::string StoredText(std::span<const uint8_t> bytes) {
  using H = WinFaxPageHeader;
  const auto text = bytes.subspan(H::kTextOffset, H::kTextEnd - H::kTextOffset);
  const auto end = std::find(text.begin(), text.end(), uint8_t{0});
  return std::string(text.begin(), end);
}

// Windows-1252's characters for 0x80-0x9F; 0 where it has none.
constexpr char16_t kWindows1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                           0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char16_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The rows worth decoding: the header's line count, but never more than one
// row past the largest page the output stages take. A page that big fails
// whatever follows, and a hostile header (65535 x 65535 lines of one bit
// each) would otherwise make the decoder allocate half a gigabyte first.
int32_t RowsWorthDecoding(int32_t width, int32_t lines, uint16_t x_resolution, uint16_t y_resolution) {
  const PageGeometry page(width, lines, x_resolution, y_resolution);
  return static_cast<int32_t>(std::min<int64_t>(lines, page.MostRowsThatFit() + 1));
}

}  // namespace

WinFaxPageHeader WinFaxPageHeader::Parse(std::span<const uint8_t, kSize> bytes) {
  WinFaxPageHeader h;
  h.signature_ok = bytes[0] == kSignature0 && bytes[1] == kSignature1;
  h.width = Le16(bytes, 3);
  h.length = Le16(bytes, 5);
  h.coding_flag = bytes[7];
  h.link_base = Le32(bytes, 89);
  h.link_span = Le32(bytes, 105);
  h.extra_count = bytes[113];
  h.extra_size = bytes[114];
  h.resolution_code = bytes[115];
  h.data_length = Le32(bytes, 116);
  h.text = StoredText(bytes);
  return h;
}

std::string HeaderTextUtf8(std::string_view stored) {
  std::string out;
  out.reserve(stored.size());
  for (char c : stored) {
    const auto byte = static_cast<uint8_t>(c);
    const char16_t decoded = byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char16_t{byte};
    if (decoded == 0) {
      // An undefined byte: shown as a control byte would be.
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else if (decoded < 0x20 || decoded == 0x7F) {
      out += platform::EscapeControlBytes(std::string_view(&c, 1));
    } else {
      AppendUtf8(out, decoded);
    }
  }
  return out;
}

std::string WinFaxPageHeader::TextUtf8() const { return HeaderTextUtf8(text); }

int64_t WinFaxPageHeader::NextHeaderOffset() const {
  // The writer's 32-bit sum; one that does not fit is no offset at all.
  const int64_t sum = int64_t{link_base} + link_span + data_length + int64_t{extra_count} * extra_size;
  if (sum < 0 || sum > std::numeric_limits<int32_t>::max()) return -1;
  return sum;
}

uint16_t WinFaxPageHeader::VerticalResolution() const {
  switch (resolution_code) {
    case 0: return 100;
    case 1: return 200;
    default: return 400;
  }
}

WinFaxReader::~WinFaxReader() = default;

int WinFaxReader::ReadHeaderAt(int64_t offset) {
  if (!IsOpen()) return -1;
  std::array<uint8_t, WinFaxPageHeader::kSize> bytes{};
  ReadAt(offset, bytes);
  header_ = WinFaxPageHeader::Parse(bytes);
  return header_.signature_ok ? 0 : -2;
}

uint16_t WinFaxReader::CountPages() {
  ClearPages();
  chained_pages_ = 0;
  int64_t offset = 0;
  int status = ReadHeaderAt(offset);
  while (status == 0) {
    AddPageOffset(static_cast<int32_t>(offset));
    if (PageCount() == kMaxPages) {
      CountPagesBeyond(offset);
      break;
    }
    // A link back to a page already found would walk the same pages again
    // for ever; a hostile sum ends the chain as the end of the file does.
    const int64_t next = header_.NextHeaderOffset();
    if (next < 0 || next >= FileSize() || HasPageAt(static_cast<int32_t>(next))) break;
    offset = next;
    status = ReadHeaderAt(offset);
  }
  if (PageCount() == 0) Close();
  chained_pages_ = std::max<int>(chained_pages_, PageCount());
  return PageCount();
}

std::string WinFaxReader::PageText(int index) const {
  if (!IsOpen() || index < 0 || index >= PageCount()) return {};
  std::array<uint8_t, WinFaxPageHeader::kSize> bytes{};
  ReadAt(PageOffset(index), bytes);
  return HeaderTextUtf8(StoredText(bytes));
}

void WinFaxReader::CountPagesBeyond(int64_t offset) {
  chained_pages_ = PageCount();
  // Forward links only: a loop can then never come round, and the count
  // costs one header read a page.
  for (int64_t next = header_.NextHeaderOffset();
       next > offset && next < FileSize() && chained_pages_ < kMostPagesCounted &&
       !HasPageAt(static_cast<int32_t>(next)) && ReadHeaderAt(next) == 0;
       next = header_.NextHeaderOffset()) {
    ++chained_pages_;
    offset = next;
  }
}

void WinFaxReader::ApplyDefaults(int64_t offset) {
  if (header_.width == 0) header_.width = WinFaxPageHeader::kDefaultWidth;
  if (header_.length == 0) header_.length = WinFaxPageHeader::kDefaultLength;
  if (header_.data_length > FileSize()) {
    const int64_t rest = FileSize() - offset - static_cast<int64_t>(WinFaxPageHeader::kSize);
    header_.data_length = static_cast<int32_t>(std::clamp<int64_t>(rest, 0, std::numeric_limits<int32_t>::max()));
  }
  header_.data_length = std::max(header_.data_length, 0);
}

int WinFaxReader::ReadPage(int index) {
  if (!IsOpen() || index < 0 || index >= PageCount()) return -1;
  const int64_t offset = PageOffset(index);
  ReadHeaderAt(offset);
  ApplyDefaults(offset);
  x_resolution_ = kHorizontalResolution;
  y_resolution_ = header_.VerticalResolution();
  rows_to_decode_ = RowsWorthDecoding(header_.width, header_.length, x_resolution_, y_resolution_);
  // What the header claims beyond what those rows can need is never read:
  // a small file claiming gigabytes costs what its page costs.
  const int64_t length = std::min<int64_t>(header_.data_length, MaxCodedBytes(header_.width, rows_to_decode_));
  LoadCodedData(index, offset + static_cast<int64_t>(WinFaxPageHeader::kSize), length);
  return 0;
}

void WinFaxReader::DecodePage(int index, FaxPage& page) {
  if (!IsOpen()) return;
  if (ReadPage(index) != 0) {
    EmptyPage(page);
    return;
  }
  const int32_t lines = rows_to_decode_;
  if (header_.IsGroup4()) {
    MmrDecoder decoder(CodedData(), LsbFirst, kMmrVariant, kInvertNone, kMmrSyncRun);
    decoder.SetPageSize(header_.width, lines);
    decoder.DecodeMmrPage(page);
  } else {
    G3Decoder decoder(CodedData(), LsbFirst, kCodingModeG3OneDimensional, kInvertNone);
    decoder.SetPageSize(header_.width, lines);
    decoder.DecodeG3Page(page);
  }
  page.resolution_unit = kResolutionUnitInch;
  page.x_resolution = x_resolution_;
  page.y_resolution = y_resolution_;
}

}  // namespace tamarind
