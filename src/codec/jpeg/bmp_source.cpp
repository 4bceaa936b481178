#include "codec/jpeg/bmp_source.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <jerror.h>

#include "platform/file_handle.h"

namespace tamarind {

// The reader add-on table of the IJG command-line tools (BMP, GIF, PPM and
// Targa readers), so that codes and texts match what users of cjpeg know.
const char* const kBmpMessageTable[] = {
    nullptr,  // 1000
    "Unsupported BMP colormap format",
    "Only 8- and 24-bit BMP files are supported",
    "Invalid BMP file: bad header length",
    "Invalid BMP file: biPlanes not equal to 1",
    "BMP output must be grayscale or RGB",
    "Sorry, compressed BMPs not yet supported",
    "Not a BMP file - does not start with BM",
    "%ux%u 24-bit BMP image",
    "%ux%u 8-bit colormapped BMP image",
    "%ux%u 24-bit OS2 BMP image",
    "%ux%u 8-bit colormapped OS2 BMP image",
    "GIF output got confused",
    "Bogus GIF codesize %d",
    "GIF output must be grayscale or RGB",
    "Too few images in GIF file",
    "Not a GIF file",
    "%ux%ux%d GIF image",
    "Warning: unexpected GIF version number '%c%c%c'",
    "Ignoring GIF extension block of type 0x%02x",
    "Caution: nonsquare pixels in input",
    "Corrupt data in GIF file",
    "Bogus char 0x%02x in GIF file, ignoring",
    "Premature end of GIF image",
    "Ran out of GIF bits",
    "PPM output must be grayscale or RGB",
    "Nonnumeric data in PPM file",
    "Not a PPM/PGM file",
    "%ux%u PGM image",
    "%ux%u text PGM image",
    "%ux%u PPM image",
    "%ux%u text PPM image",
    "Unsupported Targa colormap format",
    "Invalid or unsupported Targa file",
    "Targa output must be grayscale or RGB",
    "%ux%u RGB Targa image",
    "%ux%u grayscale Targa image",
    "%ux%u colormapped Targa image",
    "Color map file is invalid or of unsupported format",
    "Output file format cannot handle %d colormap entries",
    "ungetc failed",
    "Unrecognized input file format --- perhaps you need -targa",
    "Unsupported output file format",
    nullptr,  // 1043
};
static_assert(sizeof kBmpMessageTable / sizeof kBmpMessageTable[0] == kBmpLastMessage - kBmpFirstMessage + 1);

namespace {

// Blocks of stored rows of about this size are read with one call.
constexpr int64_t kBlockBytes = 1 << 20;

constexpr int kFileHeaderBytes = 14;
constexpr int kMaxInfoHeaderBytes = 64;

[[noreturn]] void Fail(j_compress_ptr cinfo, int code) {
  cinfo->err->msg_code = code;
  (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
  abort();  // error_exit never returns
}

[[noreturn]] void FailTooBig(j_compress_ptr cinfo) {
  cinfo->err->msg_parm.i[0] = static_cast<int>(JPEG_MAX_DIMENSION);
  Fail(cinfo, JERR_IMAGE_TOO_BIG);
}

// Reads exactly |count| bytes at |offset|; running out is a premature end.
void ReadExactly(j_compress_ptr cinfo, int fd, int64_t offset, uint8_t* into, size_t count) {
  while (count > 0) {
    // A plain count: nothing with a destructor may live across Fail()'s jump.
    const int64_t n = platform::ReadAtDescriptor(fd, offset, std::span(into, count)).value_or(-1);
    if (n < 0) Fail(cinfo, JERR_FILE_READ);
    if (n == 0) Fail(cinfo, JERR_INPUT_EOF);
    into += n;
    offset += n;
    count -= static_cast<size_t>(n);
  }
}

uint32_t Get16(const uint8_t* at) { return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8; }

uint32_t Get32(const uint8_t* at) { return Get16(at) | Get16(at + 2) << 16; }

void CheckFormat(j_compress_ptr cinfo, int fd) {
  uint8_t first = 0;
  const int64_t n = platform::ReadAtDescriptor(fd, 0, std::span(&first, 1)).value_or(-1);
  if (n < 0) Fail(cinfo, JERR_FILE_READ);
  if (n == 0) Fail(cinfo, JERR_INPUT_EMPTY);
  if (first != 'B') Fail(cinfo, kBmpUnknownFormat);
}

struct BmpHeader {
  int64_t pixelOffset;  // signed, as the field was always read
  int64_t infoBytes;
  int64_t width;
  int64_t height;
  int paletteEntryBytes;  // 0 without a palette
  int64_t coloursUsed;
  int64_t xPixelsPerMetre;
  int64_t yPixelsPerMetre;
};

void CheckDepth(j_compress_ptr cinfo, BmpSource* source, uint32_t bits, uint32_t planes, BmpHeader* header,
                int entryBytes) {
  if (bits == 8) header->paletteEntryBytes = entryBytes;
  else if (bits == 24) header->paletteEntryBytes = 0;
  else Fail(cinfo, kBmpBadDepth);
  source->bitsPerPixel = static_cast<int>(bits);
  if (planes != 1) Fail(cinfo, kBmpBadPlanes);
}

void ReadHeaders(j_compress_ptr cinfo, BmpSource* source, BmpHeader* header) {
  uint8_t bytes[kFileHeaderBytes + kMaxInfoHeaderBytes];
  ReadExactly(cinfo, source->fd, 0, bytes, kFileHeaderBytes);
  if (bytes[0] != 'B' || bytes[1] != 'M') Fail(cinfo, kBmpNotBmp);
  header->pixelOffset = static_cast<int32_t>(Get32(&bytes[10]));
  uint8_t* info = &bytes[kFileHeaderBytes];
  ReadExactly(cinfo, source->fd, kFileHeaderBytes, info, 4);
  header->infoBytes = Get32(info);
  if (header->infoBytes != 12 && header->infoBytes != 40 && header->infoBytes != 64) Fail(cinfo, kBmpBadHeader);
  ReadExactly(cinfo, source->fd, kFileHeaderBytes + 4, info + 4, static_cast<size_t>(header->infoBytes - 4));

  header->coloursUsed = 0;
  header->xPixelsPerMetre = header->yPixelsPerMetre = 0;
  if (header->infoBytes == 12) {  // the OS/2 header: 16-bit fields, 3-byte palette entries
    header->width = Get16(info + 4);
    header->height = Get16(info + 6);
    CheckDepth(cinfo, source, Get16(info + 10), Get16(info + 8), header, 3);
    return;
  }
  header->width = static_cast<int32_t>(Get32(info + 4));
  header->height = static_cast<int32_t>(Get32(info + 8));
  CheckDepth(cinfo, source, Get16(info + 14), Get16(info + 12), header, 4);
  if (Get32(info + 16) != 0) Fail(cinfo, kBmpCompressed);
  header->xPixelsPerMetre = static_cast<int32_t>(Get32(info + 24));
  header->yPixelsPerMetre = static_cast<int32_t>(Get32(info + 28));
  header->coloursUsed = Get32(info + 32);
}

// Reads the palette into a 256-entry map; entries past the colours used
// stay black, so an index beyond the palette never reads past the map.
// Returns the palette's size in bytes.
int64_t ReadColormap(j_compress_ptr cinfo, BmpSource* source, const BmpHeader& header) {
  int64_t entries = header.coloursUsed == 0 ? 256 : header.coloursUsed;
  if (entries > 256) Fail(cinfo, kBmpBadColormap);
  source->colormap = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, 256, 3);
  for (int c = 0; c < 3; ++c) std::memset(source->colormap[c], 0, 256);
  const int entryBytes = header.paletteEntryBytes;
  uint8_t palette[256 * 4];
  const int64_t bytes = entries * entryBytes;
  ReadExactly(cinfo, source->fd, kFileHeaderBytes + header.infoBytes, palette, static_cast<size_t>(bytes));
  for (int64_t i = 0; i < entries; ++i) {
    const uint8_t* entry = &palette[i * entryBytes];
    source->colormap[0][i] = entry[2];  // stored blue, green, red
    source->colormap[1][i] = entry[1];
    source->colormap[2][i] = entry[0];
  }
  return bytes;
}

bool IsGreyRamp(const BmpSource* source) {
  for (int i = 0; i < 256; ++i) {
    for (int c = 0; c < 3; ++c) {
      if (source->colormap[c][i] != i) return false;
    }
  }
  return true;
}

int64_t FileSize(j_compress_ptr cinfo, int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0) Fail(cinfo, JERR_FILE_READ);
  return static_cast<int64_t>(info.st_size);
}

// Points one row pointer per picture row into the mapped file, top first.
// False when the map does not hold the whole picture.
bool UseMappedRows(j_compress_ptr cinfo, BmpSource* source, std::span<const uint8_t> mapped) {
  const uint64_t end = static_cast<uint64_t>(source->pixelOffset) +
                       static_cast<uint64_t>(source->rowWidth) * static_cast<uint64_t>(source->height);
  if (mapped.empty() || end > mapped.size()) return false;
  source->map = mapped.data();
  source->mapBytes = mapped.size();
  source->blockRows = static_cast<JSAMPARRAY>((*cinfo->mem->alloc_large)(
      reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, static_cast<size_t>(source->height) * sizeof(JSAMPROW)));
  const uint8_t* bottom = source->map + source->pixelOffset;
  for (JDIMENSION k = 0; k < source->height; ++k) {
    source->blockRows[k] =
        const_cast<JSAMPROW>(bottom + static_cast<size_t>(source->height - 1 - k) * source->rowWidth);
  }
  source->blockFirst = 0;
  source->blockCount = source->height;
  return true;
}

void AllocateBuffers(j_compress_ptr cinfo, BmpSource* source, std::span<const uint8_t> mapped) {
  if (source->width == 0 || source->height == 0) return;  // the compressor refuses an empty image
  if (source->greyRows && UseMappedRows(cinfo, source, mapped)) return;
  const int64_t rows = std::clamp<int64_t>(kBlockBytes / source->rowWidth, 1, source->height);
  source->blockCapacity = static_cast<JDIMENSION>(rows);
  j_common_ptr common = reinterpret_cast<j_common_ptr>(cinfo);
  source->block = static_cast<JSAMPLE*>(
      (*cinfo->mem->alloc_large)(common, JPOOL_IMAGE, static_cast<size_t>(rows) * source->rowWidth));
  source->blockRows = static_cast<JSAMPARRAY>(
      (*cinfo->mem->alloc_small)(common, JPOOL_IMAGE, static_cast<size_t>(rows) * sizeof(JSAMPROW)));
  if (!source->greyRows) source->rgbRow = (*cinfo->mem->alloc_sarray)(common, JPOOL_IMAGE, source->width * 3, 1);
}

}  // namespace

void StartBmpSource(BmpSource* source, j_compress_ptr cinfo, int fd, bool grayscale, std::span<const uint8_t> mapped) {
  source->fd = fd;
  CheckFormat(cinfo, fd);
  BmpHeader header{};
  ReadHeaders(cinfo, source, &header);
  if (header.xPixelsPerMetre > 0 && header.yPixelsPerMetre > 0) {
    cinfo->density_unit = 2;  // dots per centimetre
    cinfo->X_density = static_cast<UINT16>(header.xPixelsPerMetre / 100);
    cinfo->Y_density = static_cast<UINT16>(header.yPixelsPerMetre / 100);
  }

  int64_t skip = header.pixelOffset - (header.infoBytes + kFileHeaderBytes);
  if (header.paletteEntryBytes > 0) skip -= ReadColormap(cinfo, source, header);
  if (skip < 0) Fail(cinfo, kBmpBadHeader);
  source->pixelOffset = header.pixelOffset;

  // Negative sizes become huge ones here and are refused as too big; zero is left for the compressor to refuse.
  source->width = static_cast<JDIMENSION>(header.width);
  source->height = static_cast<JDIMENSION>(header.height);
  if (source->width != 0 && source->height != 0 &&
      (source->width > JPEG_MAX_DIMENSION || source->height > JPEG_MAX_DIMENSION)) {
    FailTooBig(cinfo);
  }
  const JDIMENSION samples = source->bitsPerPixel == 24 ? source->width * 3 : source->width;
  source->rowWidth = (samples + 3) / 4 * 4;
  // A file cut short fails here, before the compressor allocates for it.
  if (FileSize(cinfo, fd) - source->pixelOffset < static_cast<int64_t>(source->rowWidth) * source->height) {
    Fail(cinfo, JERR_INPUT_EOF);
  }

  source->greyRows = grayscale && source->bitsPerPixel == 8 && IsGreyRamp(source);
  AllocateBuffers(cinfo, source, mapped);

  cinfo->image_width = source->width;
  cinfo->image_height = source->height;
  cinfo->input_components = source->greyRows ? 1 : 3;
  cinfo->in_color_space = source->greyRows ? JCS_GRAYSCALE : JCS_RGB;
  cinfo->data_precision = 8;
}

namespace {

void LoadBlock(BmpSource* source, j_compress_ptr cinfo) {
  const JDIMENSION count = std::min(source->blockCapacity, source->height - source->rowsHanded);
  // Picture rows [rowsHanded, rowsHanded + count) are stored rows
  // [height - rowsHanded - count, height - rowsHanded).
  const int64_t firstStored = static_cast<int64_t>(source->height) - source->rowsHanded - count;
  ReadExactly(cinfo, source->fd, source->pixelOffset + firstStored * source->rowWidth, source->block,
              static_cast<size_t>(count) * source->rowWidth);
  for (JDIMENSION k = 0; k < count; ++k)
    source->blockRows[k] = source->block + size_t{count - 1 - k} * source->rowWidth;
  source->blockFirst = source->rowsHanded;
  source->blockCount = count;
}

void ConvertToRgb(const BmpSource* source, const JSAMPLE* stored, JSAMPLE* out) {
  if (source->bitsPerPixel == 8) {
    const JSAMPLE* red = source->colormap[0];
    const JSAMPLE* green = source->colormap[1];
    const JSAMPLE* blue = source->colormap[2];
    for (JDIMENSION x = 0; x < source->width; ++x, out += 3) {
      const JSAMPLE index = stored[x];
      out[0] = red[index];
      out[1] = green[index];
      out[2] = blue[index];
    }
    return;
  }
  for (JDIMENSION x = 0; x < source->width; ++x, stored += 3, out += 3) {
    out[0] = stored[2];
    out[1] = stored[1];
    out[2] = stored[0];
  }
}

}  // namespace

JDIMENSION ReadBmpRows(BmpSource* source, j_compress_ptr cinfo, JSAMPARRAY* rows) {
  if (source->rowsHanded >= source->blockFirst + source->blockCount) LoadBlock(source, cinfo);
  const JDIMENSION offset = source->rowsHanded - source->blockFirst;
  if (source->greyRows) {
    const JDIMENSION count = source->blockCount - offset;
    source->rowsHanded += count;
    *rows = source->blockRows + offset;
    return count;
  }
  ConvertToRgb(source, source->blockRows[offset], source->rgbRow[0]);
  source->rowsHanded += 1;
  *rows = source->rgbRow;
  return 1;
}

}  // namespace tamarind
