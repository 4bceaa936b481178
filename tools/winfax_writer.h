// Builds WinFax page files from pages of coded data, for tests, samples and
// anyone who needs a file of that format with exact control of its header.
//
// A file is a chain of 128-byte page headers, each followed by its page's
// coded data. By default each header links to the next one the way the
// reader expects (link_base = this header's offset, link_span = 128,
// data_length = bytes of coded data, extra fields 0), so the last header
// points at the end of the file. Every header field can be forced to any
// value, and any header byte overwritten, to build damaged or hostile files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tamarind::tools {

// Header byte offsets and sizes of the fields the reader uses.
inline constexpr size_t kHeaderSize = 128;
inline constexpr size_t kSignatureOffset = 0;  // 0x0B 0x23
inline constexpr size_t kWidthOffset = 3;      // 16 bits
inline constexpr size_t kLengthOffset = 5;     // 16 bits
inline constexpr size_t kCodingFlagOffset = 7;
inline constexpr size_t kTextOffset = 9;        // NUL-terminated, up to kLinkBaseOffset
inline constexpr size_t kLinkBaseOffset = 89;   // 32 bits
inline constexpr size_t kLinkSpanOffset = 105;  // 32 bits
inline constexpr size_t kExtraCountOffset = 113;
inline constexpr size_t kExtraSizeOffset = 114;
inline constexpr size_t kResolutionCodeOffset = 115;
inline constexpr size_t kDataLengthOffset = 116;  // 32 bits

// One raw byte of the header, set after every field has been written.
struct HeaderByte {
  size_t offset = 0;  // 0..127
  uint8_t value = 0;
};

struct WinFaxPageLayout {
  // The page's coded data. Stored with the first bit of the code stream in
  // each byte's least significant bit, as WinFax files hold it; set
  // |msb_first| when |coded| comes from an encoder that writes the first bit
  // in the most significant bit (pbmtog3, Ghostscript, libtiff) and the
  // writer reverses each byte.
  std::vector<uint8_t> coded;
  bool msb_first = false;

  bool group4 = false;          // coding flag 1 instead of 0
  uint8_t resolution_code = 1;  // 0: 100 dpi, 1: 200 dpi, other: 400 dpi
  uint16_t width = 1728;        // 0 is read as 1728
  uint16_t length = 0;          // expected lines; 0 is read as 3432
  std::string text;             // the NUL-terminated text at byte 9 (cut to fit)

  // Field overrides; unset fields take the chained defaults above.
  std::optional<uint8_t> coding_flag;
  std::optional<uint32_t> link_base;
  std::optional<uint32_t> link_span;
  std::optional<uint32_t> data_length;
  uint8_t extra_count = 0;
  uint8_t extra_size = 0;
  // Padding written after the coded data and before the next header. The
  // default links skip it only when link_span or extra fields say so.
  size_t gap = 0;

  // Raw header bytes, applied last (a wrong signature, a cut field...).
  std::vector<HeaderByte> header_bytes;
};

// |bytes| with the bit order of every byte reversed.
std::vector<uint8_t> ReverseBits(std::span<const uint8_t> bytes);

// The 128-byte header |page| gets when it lies at |offset| in the file.
std::vector<uint8_t> BuildHeader(const WinFaxPageLayout& page, uint32_t offset);

// The whole file: each page's header followed by its coded data (and gap).
// The default links chain header i to header i + 1; when a page's gap is not
// 0 the default link_span grows by the gap so the chain still holds.
std::vector<uint8_t> BuildWinFaxFile(std::span<const WinFaxPageLayout> pages);

// Writes BuildWinFaxFile(pages) to |path|. False (with |error| filled when
// given) when the file cannot be written completely.
bool WriteWinFaxFile(const std::string& path, std::span<const WinFaxPageLayout> pages, std::string* error = nullptr);

// Little-endian stores into a header or file image, for tests that patch
// bytes after the fact.
void StoreLe16(std::span<uint8_t> bytes, size_t offset, uint16_t value);
void StoreLe32(std::span<uint8_t> bytes, size_t offset, uint32_t value);

}  // namespace tamarind::tools
