#include "tools/winfax_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tamarind::tools {

namespace {

uint8_t ReverseByte(uint8_t b) {
  b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

void StoreText(std::span<uint8_t> header, const std::string& text) {
  // Leave room for the terminating NUL before the link fields start.
  const size_t room = kLinkBaseOffset - kTextOffset - 1;
  const size_t n = std::min(text.size(), room);
  std::memcpy(header.data() + kTextOffset, text.data(), n);
}

size_t StoredSize(const WinFaxPageLayout& page) { return kHeaderSize + page.coded.size() + page.gap; }

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::vector<uint8_t> ReverseBits(std::span<const uint8_t> bytes) {
  std::vector<uint8_t> out(bytes.size());
  std::transform(bytes.begin(), bytes.end(), out.begin(), ReverseByte);
  return out;
}

void StoreLe16(std::span<uint8_t> bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void StoreLe32(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> BuildHeader(const WinFaxPageLayout& page, uint32_t offset) {
  std::vector<uint8_t> header(kHeaderSize, 0);
  header[kSignatureOffset] = 0x0B;
  header[kSignatureOffset + 1] = 0x23;
  StoreLe16(header, kWidthOffset, page.width);
  StoreLe16(header, kLengthOffset, page.length);
  header[kCodingFlagOffset] = page.coding_flag.value_or(page.group4 ? 1 : 0);
  StoreText(header, page.text);

  // The reader finds the next header at link_base + link_span + data_length
  // + extra_count * extra_size. The defaults make that the end of this page.
  const auto coded_size = static_cast<uint32_t>(page.coded.size());
  const uint32_t extra = uint32_t{page.extra_count} * page.extra_size;
  StoreLe32(header, kLinkBaseOffset, page.link_base.value_or(offset));
  StoreLe32(header, kLinkSpanOffset, page.link_span.value_or(static_cast<uint32_t>(kHeaderSize + page.gap) - extra));
  header[kExtraCountOffset] = page.extra_count;
  header[kExtraSizeOffset] = page.extra_size;
  header[kResolutionCodeOffset] = page.resolution_code;
  StoreLe32(header, kDataLengthOffset, page.data_length.value_or(coded_size));

  for (const HeaderByte& b : page.header_bytes) {
    if (b.offset < kHeaderSize) header[b.offset] = b.value;
  }
  return header;
}

std::vector<uint8_t> BuildWinFaxFile(std::span<const WinFaxPageLayout> pages) {
  size_t total = 0;
  for (const WinFaxPageLayout& page : pages) total += StoredSize(page);
  std::vector<uint8_t> file;
  file.reserve(total);
  for (const WinFaxPageLayout& page : pages) {
    const std::vector<uint8_t> header = BuildHeader(page, static_cast<uint32_t>(file.size()));
    file.insert(file.end(), header.begin(), header.end());
    if (page.msb_first) {
      const std::vector<uint8_t> stored = ReverseBits(page.coded);
      file.insert(file.end(), stored.begin(), stored.end());
    } else {
      file.insert(file.end(), page.coded.begin(), page.coded.end());
    }
    file.insert(file.end(), page.gap, uint8_t{0});
  }
  return file;
}

bool WriteWinFaxFile(const std::string& path, std::span<const WinFaxPageLayout> pages, std::string* error) {
  const std::vector<uint8_t> bytes = BuildWinFaxFile(pages);
  std::unique_ptr<std::FILE, FileCloser> out(std::fopen(path.c_str(), "wb"));
  bool ok = out != nullptr;
  if (ok) ok = std::fwrite(bytes.data(), 1, bytes.size(), out.get()) == bytes.size();
  if (ok) ok = std::fclose(out.release()) == 0;
  if (!ok && error) *error = path + ": " + std::strerror(errno);
  return ok;
}

}  // namespace tamarind::tools
