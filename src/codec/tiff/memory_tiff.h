// A TIFF that libtiff writes into memory. The program's files are written
// only through the atomic writer, and libtiff, which reads back what it
// wrote while it links directories, cannot work on that write-only stream;
// so a document is built here and its bytes are then handed to the writer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <tiffio.h>

#include "codec/fax/fax_page.h"
#include "platform/outcome.h"

namespace tamarind::tiff_internal {

class MemoryTiff {
 public:
  // A new, empty little-endian TIFF open for writing.
  static platform::Expected<std::unique_ptr<MemoryTiff>> Create();
  ~MemoryTiff();
  MemoryTiff(const MemoryTiff&) = delete;
  MemoryTiff& operator=(const MemoryTiff&) = delete;

  TIFF* Handle() const { return tiff_; }
  // The file as libtiff has written it so far.
  std::vector<uint8_t>& Bytes() { return file_.bytes; }
  // Closes the TIFF, writing what libtiff still holds; Bytes() is then the
  // whole file. False when libtiff could not write it.
  bool Close();
  // The last message libtiff gave, or |fallback| when it gave none.
  std::string Reason(const std::string& fallback) const;

  struct File {
    std::vector<uint8_t> bytes;
    uint64_t position = 0;
    std::string error;
  };

  // Use Create(); public only so that make_unique can reach it.
  MemoryTiff() = default;

 private:
  File file_;
  TIFF* tiff_ = nullptr;
};

// The fields every page image shares: width, rows, one bit per pixel,
// Group 4, min-is-white, the first pixel in the most significant bit, one
// strip holding every row.
void SetGroup4PageFields(TIFF* tiff, const FaxPage& page);

// Ok when |page| has rows and its bitmap holds them.
platform::Status CheckPageGeometry(const FaxPage& page);

}  // namespace tamarind::tiff_internal
