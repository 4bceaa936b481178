#include "codec/tiff/tiff_document_writer.h"

#include <tiff.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <map>

#include "codec/fax/page_limits.h"
#include "codec/fax/page_resolution.h"
#include "codec/tiff/group4.h"
#include "platform/string_extras.h"

namespace tamarind {

using platform::Failure;
using platform::Status;

namespace {

// Classic TIFF's offsets are 32 bits wide.
constexpr uint64_t kLargestOffset = std::numeric_limits<uint32_t>::max();

// Little-endian stores, the byte order the header declares.
std::vector<uint8_t> Le16(uint32_t value) { return {uint8_t(value), uint8_t(value >> 8)}; }

std::vector<uint8_t> Le32(uint64_t value) {
  return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// One page's directory: its entries, and their layout in the file. Entries
// are kept in ascending tag order, as TIFF requires, and the layout follows
// from them alone: the directory (a count, 12 bytes an entry, the link to
// the next one), then the values too long for their entries, each on a word
// boundary, then the strip, on a word boundary.
class Directory {
 public:
  void Short(uint16_t tag, uint16_t value) { Add(tag, TIFF_SHORT, 1, Le16(value)); }
  void Long(uint16_t tag, uint32_t value) { Add(tag, TIFF_LONG, 1, Le32(value)); }
  void ShortPair(uint16_t tag, uint16_t first, uint16_t second) {
    std::vector<uint8_t> value = Le16(first);
    Append(value, Le16(second));
    Add(tag, TIFF_SHORT, 2, std::move(value));
  }
  void Rational(uint16_t tag, uint32_t numerator, uint32_t denominator) {
    std::vector<uint8_t> value = Le32(numerator);
    Append(value, Le32(denominator));
    Add(tag, TIFF_RATIONAL, 1, std::move(value));
  }
  void Ascii(uint16_t tag, std::string_view text) {
    std::vector<uint8_t> value(text.begin(), text.end());
    value.push_back(0);
    const auto count = static_cast<uint32_t>(value.size());
    Add(tag, TIFF_ASCII, count, std::move(value));
  }

  // The directory laid out from |start|, and its values, up to the strip.
  std::vector<uint8_t> Bytes(uint32_t start) const {
    std::vector<uint8_t> out = Le16(static_cast<uint32_t>(fields_.size()));
    std::vector<uint8_t> values;
    const uint64_t valuesAt = LinkOffset(start) + 4;
    for (const auto& [tag, field] : fields_) {
      Append(out, Le16(tag));
      Append(out, Le16(field.type));
      Append(out, Le32(field.count));
      if (field.value.size() <= 4) {
        std::vector<uint8_t> inline_value = field.value;
        inline_value.resize(4, 0);
        Append(out, inline_value);
      } else {
        if (values.size() % 2) values.push_back(0);
        Append(out, Le32(valuesAt + values.size()));
        Append(values, field.value);
      }
    }
    Append(out, Le32(0));  // the link, set once the next directory's place is known
    Append(out, values);
    if (out.size() % 2) out.push_back(0);
    return out;
  }

  // Where |tag|'s value field, and the link to the next directory, stand in
  // the file.
  uint32_t ValueOffset(uint32_t start, uint16_t tag) const {
    const auto index = static_cast<uint32_t>(std::distance(fields_.begin(), fields_.find(tag)));
    return start + 2 + 12 * index + 8;
  }
  uint32_t LinkOffset(uint32_t start) const { return start + 2 + 12 * static_cast<uint32_t>(fields_.size()); }

 private:
  struct Field {
    TIFFDataType type;
    uint32_t count;
    std::vector<uint8_t> value;  // as stored
  };

  void Add(uint16_t tag, TIFFDataType type, uint32_t count, std::vector<uint8_t> value) {
    fields_.insert_or_assign(tag, Field{type, count, std::move(value)});
  }

  std::map<uint16_t, Field> fields_;
};

// "YYYY:MM:DD HH:MM:SS", the TIFF form.
std::string TiffDateTime(const platform::FileTime& time) {
  const CalendarTime t = LocalCalendarTime(time);
  char text[32];
  std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return text;
}

// The strip's length in bytes, when it might end past classic TIFF's reach
// from |stripOffset|: an encoder's worst case first, and only when that
// does not fit, the length itself, by coding the page once without
// writing it.
platform::Expected<uint64_t> StripEndWithinReach(const FaxPage& page, uint64_t stripOffset) {
  if (stripOffset + static_cast<uint64_t>(MaxCodedBytes(page.width, page.height)) + 1 <= kLargestOffset)
    return stripOffset;
  uint64_t length = 0;
  platform::Status counted = EncodeGroup4(page, [&](std::span<const uint8_t> piece) {
    length += piece.size();
    return true;
  });
  if (!counted) return Failure{counted.reason()};
  if (stripOffset + length + 1 > kLargestOffset) return Failure{"the document outgrows classic TIFF's 4 GiB"};
  return stripOffset + length;
}

}  // namespace

TiffDocumentWriter::TiffDocumentWriter(platform::AtomicOutputFile& file, const DocumentInfo& info)
    : file_(file),
      stream_(file.Stream()),
      name_(platform::EscapeControlBytes(info.title)),
      description_(platform::EscapeControlBytes(info.subject)),
      dateTime_(TiffDateTime(info.modified)) {
  // Little-endian classic TIFF; the first directory follows at once.
  Put({'I', 'I', 42, 0, 8, 0, 0, 0});
  lastLinkOffset_ = 4;
}

void TiffDocumentWriter::Put(const std::vector<uint8_t>& bytes) {
  if (stream_) std::fwrite(bytes.data(), 1, bytes.size(), stream_);
  offset_ += bytes.size();
}

bool TiffDocumentWriter::Patch(uint32_t at, const std::vector<uint8_t>& bytes) {
  return stream_ && std::fseek(stream_, at, SEEK_SET) == 0 &&
         std::fwrite(bytes.data(), 1, bytes.size(), stream_) == bytes.size();
}

Status TiffDocumentWriter::WriteFailure(int error) {
  // A failed write through the stream keeps its own cause.
  writeError_ = file_.WriteState();
  if (writeError_) writeError_ = Failure::System(file_.FinalPath(), error ? error : EIO);
  return writeError_;
}

Status TiffDocumentWriter::AddPage(const FaxPage& page, const TiffPageExtras& extras) {
  if (finished_) return Failure{"the document is already finished"};
  if (!writeError_) return writeError_;  // the document is torn
  if (PagesWritten() >= 0xFFFF) return Failure{"a TIFF document holds at most 65535 pages"};
  if (Status codable = CheckCodable(page); !codable) return codable;

  const auto start = static_cast<uint32_t>(offset_);
  const PageResolution resolution = TruePageResolution(page);
  Directory directory;
  directory.Long(TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  directory.Long(TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.width));
  directory.Long(TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.height));
  directory.Short(TIFFTAG_BITSPERSAMPLE, 1);
  directory.Short(TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  directory.Short(TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  directory.Short(TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  directory.Ascii(TIFFTAG_DOCUMENTNAME, name_);
  if (!description_.empty()) directory.Ascii(TIFFTAG_IMAGEDESCRIPTION, description_);
  directory.Long(TIFFTAG_STRIPOFFSETS, 0);  // set below, once the layout is known
  if (extras.upside_down) directory.Short(TIFFTAG_ORIENTATION, ORIENTATION_BOTRIGHT);
  directory.Short(TIFFTAG_SAMPLESPERPIXEL, 1);
  directory.Long(TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(page.height));
  directory.Long(TIFFTAG_STRIPBYTECOUNTS, 0);  // set once the strip is written
  directory.Rational(TIFFTAG_XRESOLUTION, resolution.x_dpi, 1);
  directory.Rational(TIFFTAG_YRESOLUTION, resolution.y_dpi, 1);
  directory.Short(TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  directory.ShortPair(TIFFTAG_PAGENUMBER, static_cast<uint16_t>(PagesWritten()), 0);  // the total is set by Finish()
  directory.Ascii(TIFFTAG_SOFTWARE, kDocumentProducer);
  directory.Ascii(TIFFTAG_DATETIME, dateTime_);
  const uint64_t stripOffset = start + directory.Bytes(start).size();
  if (platform::Expected<uint64_t> reach = StripEndWithinReach(page, stripOffset); !reach) return reach.status();
  directory.Long(TIFFTAG_STRIPOFFSETS, static_cast<uint32_t>(stripOffset));

  Put(directory.Bytes(start));
  const uint64_t stripStart = offset_;
  int writeError = 0;
  Status coded = EncodeGroup4(page, [&](std::span<const uint8_t> piece) {
    offset_ += piece.size();
    if (stream_ && std::fwrite(piece.data(), 1, piece.size(), stream_) == piece.size()) return true;
    writeError = errno;
    return false;
  });
  if (!coded) return WriteFailure(writeError);
  if (offset_ + 1 > kLargestOffset) return WriteFailure(EFBIG);
  // The next directory, if any, follows the strip on a word boundary;
  // Finish() ends the chain at the last one.
  const uint64_t stripLength = offset_ - stripStart;
  const auto next = static_cast<uint32_t>((offset_ + 1) & ~uint64_t{1});
  if (!Patch(directory.ValueOffset(start, TIFFTAG_STRIPBYTECOUNTS), Le32(stripLength)) ||
      !Patch(directory.LinkOffset(start), Le32(next)) || std::fseek(stream_, 0, SEEK_END) != 0)
    return WriteFailure(errno);
  if (next != offset_) Put({0});
  pageNumberOffsets_.push_back(directory.ValueOffset(start, TIFFTAG_PAGENUMBER) + 2);
  lastLinkOffset_ = directory.LinkOffset(start);
  return {};
}

Status TiffDocumentWriter::Finish() {
  if (finished_) return Failure{"the document is already finished"};
  finished_ = true;
  if (!writeError_) return writeError_;
  if (PagesWritten() == 0) return Failure{"no page to write"};
  const uint16_t total = static_cast<uint16_t>(PagesWritten());
  bool written = Patch(lastLinkOffset_, Le32(0));
  for (uint32_t at : pageNumberOffsets_) written = written && Patch(at, Le16(total));
  errno = 0;
  if (!written || std::fseek(stream_, 0, SEEK_END) != 0 || std::ferror(stream_) || std::fflush(stream_) != 0) {
    // A failed write keeps its own cause; anything else says what errno has.
    if (Status state = file_.WriteState(); !state) return state;
    return Failure::System(file_.FinalPath(), errno ? errno : EIO);
  }
  return {};
}

}  // namespace tamarind
