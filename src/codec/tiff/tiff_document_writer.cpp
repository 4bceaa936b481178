#include "codec/tiff/tiff_document_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "codec/tiff/group4.h"
#include "codec/tiff/memory_tiff.h"
#include "codec/tiff/page_resolution.h"

namespace tamarind {

using platform::Failure;
using platform::Status;

namespace {

constexpr uint16_t kPageNumberTag = 297;
constexpr uint16_t kShortType = 3;

uint16_t Le16(std::span<const uint8_t> bytes, uint64_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

uint32_t Le32(std::span<const uint8_t> bytes, uint64_t at) {
  return static_cast<uint32_t>(Le16(bytes, at) | static_cast<uint32_t>(Le16(bytes, at + 2)) << 16);
}

// Sets the second value (the page total) of every directory's PageNumber
// to |total|. The file is little-endian classic TIFF, as MemoryTiff makes
// it; a chain that leaves the file, or loops, ends the walk.
bool PatchPageTotals(std::vector<uint8_t>& file, uint16_t total) {
  uint64_t directory = Le32(file, 4);
  for (int seen = 0; directory != 0 && seen <= total; ++seen) {
    if (directory + 2 > file.size()) return false;
    const uint16_t entries = Le16(file, directory);
    const uint64_t end = directory + 2 + uint64_t{entries} * 12;
    if (end + 4 > file.size()) return false;
    for (uint64_t entry = directory + 2; entry < end; entry += 12) {
      if (Le16(file, entry) == kPageNumberTag && Le16(file, entry + 2) == kShortType && Le32(file, entry + 4) == 2) {
        file[entry + 10] = static_cast<uint8_t>(total);
        file[entry + 11] = static_cast<uint8_t>(total >> 8);
      }
    }
    directory = Le32(file, end);
  }
  return directory == 0;
}

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
    : file_(file), info_(std::move(info)) {
  auto created = tiff_internal::MemoryTiff::Create();
  if (created) tiff_ = std::move(*created);
  else broken_ = Failure{created.reason()};
}

TiffDocumentWriter::~TiffDocumentWriter() = default;

Status TiffDocumentWriter::AddPage(const FaxPage& page) {
  if (!broken_) return broken_;
  if (pages_ >= 0xFFFF) return Failure{"a TIFF document holds at most 65535 pages"};
  auto strip = EncodeGroup4(page);
  if (!strip) return strip.status();

  TIFF* tiff = tiff_->Handle();
  tiff_internal::SetGroup4PageFields(tiff, page);
  const PageResolution resolution = TruePageResolution(page);
  TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(resolution.x_dpi));
  TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(resolution.y_dpi));
  TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tiff, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(pages_), uint16_t{0});  // total set by Finish()
  TIFFSetField(tiff, TIFFTAG_DOCUMENTNAME, info_.title.c_str());
  TIFFSetField(tiff, TIFFTAG_SOFTWARE, std::string(kDocumentProducer).c_str());
  TIFFSetField(tiff, TIFFTAG_DATETIME, TiffDateTime(info_.modified).c_str());
  const auto size = static_cast<tmsize_t>(strip->size());
  if (TIFFWriteRawStrip(tiff, 0, strip->data(), size) != size || !TIFFWriteDirectory(tiff)) {
    broken_ = Failure{tiff_->Reason("libtiff cannot add the page")};
    return broken_;
  }
  ++pages_;
  return {};
}

Status TiffDocumentWriter::Finish() {
  const Status state = broken_;
  broken_ = Failure{"the document is already finished"};
  if (!state) return state;
  if (pages_ == 0) return Failure{"no page to write"};
  if (!tiff_->Close()) return Failure{tiff_->Reason("libtiff cannot finish the document")};
  std::vector<uint8_t>& bytes = tiff_->Bytes();
  if (!PatchPageTotals(bytes, static_cast<uint16_t>(pages_))) return Failure{"the document's directories are damaged"};
  FILE* stream = file_.Stream();
  if (!stream || std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size() || std::fflush(stream) != 0)
    return Failure{file_.FinalPath() + ": " + std::strerror(errno)};
  return {};
}

}  // namespace tamarind
