// BmpSource: reads an uncompressed 8- or 24-bit BMP for the JPEG compressor.
//
// Everything here is plain data allocated from the compressor's image pool,
// and every error leaves through the compressor's error manager (which may
// longjmp), so callers must hold no object with a destructor across these
// calls.
//
// Rows are read back from the file by offset, a block of stored rows at a
// time, and handed on top row first: the BMP stores the bottom row first,
// so the first block read is the end of the file. The whole image is never
// held in memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>

#include <jpeglib.h>

namespace tamarind {

// Codes of the reader's messages, the compressor's add-on message table.
enum BmpMessageCode {
  kBmpFirstMessage = 1000,
  kBmpBadColormap = 1001,
  kBmpBadDepth = 1002,
  kBmpBadHeader = 1003,
  kBmpBadPlanes = 1004,
  kBmpCompressed = 1006,
  kBmpNotBmp = 1007,
  kBmpUnknownFormat = 1041,
  kBmpLastMessage = 1043,
};

// The table for jpeg_error_mgr::addon_message_table, codes kBmpFirstMessage
// to kBmpLastMessage.
extern const char* const kBmpMessageTable[];

struct BmpSource {
  int fd = -1;
  int bitsPerPixel = 0;
  // The library receives the stored bytes as grey samples: 8 bits with the
  // palette i -> (i, i, i) and a greyscale JPEG requested.
  bool greyRows = false;
  int64_t pixelOffset = 0;  // file offset of stored row 0 (the bottom row)
  JDIMENSION width = 0;
  JDIMENSION height = 0;
  JDIMENSION rowWidth = 0;        // stored bytes per row, a multiple of 4
  JSAMPARRAY colormap = nullptr;  // red, green, blue rows of 256 entries

  JSAMPLE* block = nullptr;        // stored rows, bottom first as in the file
  JDIMENSION blockCapacity = 0;    // rows
  JSAMPARRAY blockRows = nullptr;  // the block's rows, top first
  JSAMPARRAY rgbRow = nullptr;     // one row of red, green, blue samples
  JDIMENSION rowsHanded = 0;       // picture rows handed on, from the top
  JDIMENSION blockFirst = 0;       // picture row of blockRows[0]
  JDIMENSION blockCount = 0;       // rows in the block

  // The file's bytes in memory, when the caller has them mapped: grey rows
  // are then handed to the library where they lie, without a copy.
  const uint8_t* map = nullptr;
  size_t mapBytes = 0;
};

// Checks the first byte of |fd| ("B" selects the BMP reader), reads the
// headers and palette, and tells |cinfo| the image size and input format.
// |grayscale| says whether the JPEG will be greyscale. |mapped|, when not
// empty, is the same file mapped into memory by its owner (who keeps it
// from shrinking while it is read); rows are then taken from there.
void StartBmpSource(BmpSource* source, j_compress_ptr cinfo, int fd, bool grayscale,
                    std::span<const uint8_t> mapped = {});

// Points |*rows| at the next rows of the picture, top first, and returns
// how many (at least one while rows remain).
JDIMENSION ReadBmpRows(BmpSource* source, j_compress_ptr cinfo, JSAMPARRAY* rows);

}  // namespace tamarind
