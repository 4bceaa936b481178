#include "codec/tiff/tiff_document_writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "codec/tiff/group4.h"
#include "codec/fax/page_resolution.h"

namespace tamarind {

using platform::Failure;
using platform::Status;

namespace {

enum FieldType : uint16_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

// Little-endian stores, the byte order the header declares.
void Append16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Append32(std::vector<uint8_t>& out, uint32_t value) {
  Append16(out, value & 0xFFFF);
  Append16(out, value >> 16);
}

// One page's directory and the values too large for its entries, laid out
// from |start| in the file: the directory first, then the values, so the
// number of entries fixes every value's place before any is written.
// Entries may come in any order; they are written in ascending tag order,
// as TIFF requires.
class Directory {
 public:
  Directory(uint32_t start, size_t entries) : start_(start), valuesAt_(start + 2 + 12 * entries + 4) {
    entries_.reserve(entries);
  }

  void Short(uint16_t tag, uint16_t value) { Entry(tag, kShort, 1, {uint8_t(value), uint8_t(value >> 8), 0, 0}); }
  void Long(uint16_t tag, uint32_t value) { Entry(tag, kLong, 1, Le32(value)); }
  void ShortPair(uint16_t tag, uint16_t first, uint16_t second) {
    Entry(tag, kShort, 2, {uint8_t(first), uint8_t(first >> 8), uint8_t(second), uint8_t(second >> 8)});
  }
  void Rational(uint16_t tag, uint32_t numerator, uint32_t denominator) {
    std::vector<uint8_t> value;
    Append32(value, numerator);
    Append32(value, denominator);
    OutOfLine(tag, kRational, 1, value);
  }
  void Ascii(uint16_t tag, const std::string& text) {
    std::vector<uint8_t> value(text.begin(), text.end());
    value.push_back(0);
    if (value.size() <= 4) {
      value.resize(4, 0);
      Entry(tag, kAscii, static_cast<uint32_t>(text.size() + 1), {value[0], value[1], value[2], value[3]});
    } else {
      OutOfLine(tag, kAscii, static_cast<uint32_t>(value.size()), value);
    }
  }

  // Where the strip goes once every value is in: after them, on a word
  // boundary.
  uint64_t StripOffset() const { return (valuesAt_ + values_.size() + 1) & ~uint64_t{1}; }

  // The directory and its values up to the strip; the directory ends with
  // |next|, the offset of the next directory.
  std::vector<uint8_t> Bytes(uint32_t next) {
    std::sort(entries_.begin(), entries_.end(), [](const Field& a, const Field& b) { return a.tag < b.tag; });
    std::vector<uint8_t> out;
    Append16(out, static_cast<uint32_t>(entries_.size()));
    for (const Field& field : entries_) {
      Append16(out, field.tag);
      Append16(out, field.type);
      Append32(out, field.count);
      out.insert(out.end(), field.value.begin(), field.value.end());
    }
    Append32(out, next);
    out.insert(out.end(), values_.begin(), values_.end());
    out.resize(StripOffset() - start_, 0);
    return out;
  }
  // Where, once Bytes() has ordered the entries, |tag|'s value field and
  // the link to the next directory stand in the file.
  uint32_t ValueOffset(uint16_t tag) const {
    size_t index = 0;
    while (index < entries_.size() && entries_[index].tag != tag) ++index;
    return start_ + 2 + 12 * static_cast<uint32_t>(index) + 8;
  }
  uint32_t LinkOffset() const { return start_ + 2 + 12 * static_cast<uint32_t>(entries_.size()); }

 private:
  struct Field {
    uint16_t tag;
    FieldType type;
    uint32_t count;
    std::array<uint8_t, 4> value;
  };

  static std::array<uint8_t, 4> Le32(uint64_t value) {
    return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
  }
  void Entry(uint16_t tag, FieldType type, uint32_t count, std::array<uint8_t, 4> value) {
    entries_.push_back({tag, type, count, value});
  }
  void OutOfLine(uint16_t tag, FieldType type, uint32_t count, const std::vector<uint8_t>& value) {
    if (values_.size() % 2) values_.push_back(0);  // values start on a word boundary
    Entry(tag, type, count, Le32(valuesAt_ + values_.size()));
    values_.insert(values_.end(), value.begin(), value.end());
  }

  uint32_t start_;
  std::vector<Field> entries_;
  uint64_t valuesAt_;
  std::vector<uint8_t> values_;
};

constexpr size_t kEntries = 18;

// "YYYY:MM:DD HH:MM:SS", the TIFF form.
std::string TiffDateTime(const platform::FileTime& time) {
  const CalendarTime t = LocalCalendarTime(time);
  char text[32];
  std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

}  // namespace

TiffDocumentWriter::TiffDocumentWriter(platform::AtomicOutputFile& file, DocumentInfo info)
    : file_(file), stream_(file.Stream()), name_(std::move(info.title)), dateTime_(TiffDateTime(info.modified)) {
  // Little-endian classic TIFF; the first directory follows at once.
  Put({'I', 'I', 42, 0, 8, 0, 0, 0});
  lastLinkOffset_ = 4;
}

void TiffDocumentWriter::Put(const std::vector<uint8_t>& bytes) {
  if (stream_) std::fwrite(bytes.data(), 1, bytes.size(), stream_);
  offset_ += bytes.size();
}

Status TiffDocumentWriter::AddPage(const FaxPage& page) {
  if (finished_) return Failure{"the document is already finished"};
  if (PagesWritten() >= 0xFFFF) return Failure{"a TIFF document holds at most 65535 pages"};
  auto strip = EncodeGroup4(page);
  if (!strip) return strip.status();

  const uint32_t start = static_cast<uint32_t>(offset_);
  const PageResolution resolution = TruePageResolution(page);
  Directory directory(start, kEntries);
  directory.Long(254, 2);  // NewSubfileType: a page of a multi-page document
  directory.Long(256, static_cast<uint32_t>(page.width));
  directory.Long(257, static_cast<uint32_t>(page.height));
  directory.Short(258, 1);  // BitsPerSample
  directory.Short(259, 4);  // Compression: CCITT T.6
  directory.Short(262, 0);  // PhotometricInterpretation: min-is-white
  directory.Short(266, 1);  // FillOrder: first pixel in the most significant bit
  directory.Ascii(269, name_);  // DocumentName
  directory.Short(277, 1);  // SamplesPerPixel
  directory.Long(278, static_cast<uint32_t>(page.height));  // RowsPerStrip
  directory.Long(279, static_cast<uint32_t>(strip->size()));  // StripByteCounts
  directory.Rational(282, resolution.x_dpi, 1);
  directory.Rational(283, resolution.y_dpi, 1);
  directory.Short(296, 2);  // ResolutionUnit: inch
  directory.ShortPair(297, static_cast<uint16_t>(PagesWritten()), 0);  // PageNumber; the total is set by Finish()
  directory.Ascii(305, std::string(kDocumentProducer));  // Software
  directory.Ascii(306, dateTime_);  // DateTime
  const uint64_t stripOffset = directory.StripOffset();
  const uint64_t end = stripOffset + strip->size();
  if (end + 1 > std::numeric_limits<uint32_t>::max()) return Failure{"the document outgrows classic TIFF's 4 GiB"};
  directory.Long(273, static_cast<uint32_t>(stripOffset));  // StripOffsets

  // The next directory, if any, follows the strip on a word boundary;
  // Finish() ends the chain at the last one.
  const uint32_t next = static_cast<uint32_t>((end + 1) & ~uint64_t{1});
  Put(directory.Bytes(next));
  Put(*strip);
  if (next != end) Put({0});
  pageNumberOffsets_.push_back(directory.ValueOffset(297) + 2);
  lastLinkOffset_ = directory.LinkOffset();
  return {};
}
Status TiffDocumentWriter::Finish() {
  if (finished_) return Failure{"the document is already finished"};
  finished_ = true;
  if (PagesWritten() == 0) return Failure{"no page to write"};
  const auto patch = [&](uint32_t at, std::vector<uint8_t> bytes) {
    return std::fseek(stream_, at, SEEK_SET) == 0 && std::fwrite(bytes.data(), 1, bytes.size(), stream_) == bytes.size();
  };
  const uint16_t total = static_cast<uint16_t>(PagesWritten());
  bool written = stream_ && patch(lastLinkOffset_, {0, 0, 0, 0});
  for (uint32_t at : pageNumberOffsets_) written = written && patch(at, {uint8_t(total), uint8_t(total >> 8)});
  errno = 0;
  if (!written || std::fseek(stream_, 0, SEEK_END) != 0 || std::ferror(stream_) || std::fflush(stream_) != 0) {
    // A failed write keeps its own cause; anything else says what errno has.
    if (Status state = file_.WriteState(); !state) return state;
    return Failure::System(file_.FinalPath(), errno ? errno : EIO);
  }
  return {};
}

}  // namespace tamarind
