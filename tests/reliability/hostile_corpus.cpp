#include "hostile_corpus.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>

#include "support/fax_files.h"
#include "support/real_pages.h"
#include "support/test_files.h"
#include "tools/winfax_writer.h"

namespace tamarind::test {

namespace {

using tools::kHeaderSize;
using tools::WinFaxPageLayout;

// Short pages keep the set fast; the header's line count is what cuts them
// (the data beyond is never decoded).
constexpr uint16_t kShortLength = 160;

struct BaseFile {
  std::string name;
  std::vector<WinFaxPageLayout> pages;
  std::vector<uint8_t> bytes;
  std::vector<size_t> headers;  // offset of each page header

  size_t DataStart(size_t page) const { return headers[page] + kHeaderSize; }
  size_t DataEnd(size_t page) const { return page + 1 < headers.size() ? headers[page + 1] : bytes.size(); }
};

WinFaxPageLayout PageSpec(std::string_view name, uint16_t length) {
  WinFaxPageLayout pageLayout = WinFaxPageOf(RealPageNamed(name));
  pageLayout.length = length;
  pageLayout.text = "+1 555 0100";
  return pageLayout;
}

BaseFile MakeBase(std::string name, std::vector<WinFaxPageLayout> pages) {
  BaseFile base{std::move(name), std::move(pages), {}, {}};
  base.bytes = tools::BuildWinFaxFile(base.pages);
  size_t offset = 0;
  for (const WinFaxPageLayout& page : base.pages) {
    base.headers.push_back(offset);
    offset += kHeaderSize + page.coded.size() + page.gap;
  }
  return base;
}

std::vector<BaseFile> BaseFiles() {
  std::vector<BaseFile> bases;
  bases.push_back(MakeBase("g3", {PageSpec("text-standard-g3", kShortLength)}));
  bases.push_back(MakeBase("g4", {PageSpec("text-fine-g4", kShortLength)}));
  bases.push_back(MakeBase("three", {PageSpec("halftone-g3", kShortLength), PageSpec("text-standard-g4", kShortLength),
                                     PageSpec("wide-g4", kShortLength)}));
  bases.push_back(MakeBase("full", {PageSpec("text-fine-g3-align8", 0)}));
  return bases;
}

class CorpusBuilder {
 public:
  explicit CorpusBuilder(uint32_t seed) : random_(seed) {}

  void Add(std::string stem, std::vector<uint8_t> bytes) {
    static constexpr std::array<const char*, 4> kExtensions = {".fxd", ".fxm", ".fxr", ".FXS"};
    std::string name = std::to_string(files_.size()) + "-" + stem + kExtensions[files_.size() % kExtensions.size()];
    files_.push_back({std::move(name), std::move(bytes)});
  }

  uint32_t Next() { return static_cast<uint32_t>(random_()); }

  std::vector<HostileFile> Take() { return std::move(files_); }

 private:
  std::mt19937 random_;
  std::vector<HostileFile> files_;
};

std::vector<uint8_t> Patched16(const BaseFile& base, size_t page, size_t field, uint16_t value) {
  std::vector<uint8_t> bytes = base.bytes;
  tools::StoreLe16(bytes, base.headers[page] + field, value);
  return bytes;
}

std::vector<uint8_t> Patched32(const BaseFile& base, size_t page, size_t field, uint32_t value) {
  std::vector<uint8_t> bytes = base.bytes;
  tools::StoreLe32(bytes, base.headers[page] + field, value);
  return bytes;
}

std::vector<uint8_t> PatchedByte(const BaseFile& base, size_t page, size_t field, uint8_t value) {
  std::vector<uint8_t> bytes = base.bytes;
  bytes[base.headers[page] + field] = value;
  return bytes;
}

void AddTruncations(CorpusBuilder& out, const BaseFile& base) {
  // Every field boundary of every header, one byte either side, and a cut
  // in the middle of each page's data.
  static constexpr std::array<size_t, 24> kCuts = {0,  1,  2,   3,   4,   5,   6,   7,   8,   9,   10,  88,
                                                   89, 93, 105, 109, 112, 113, 114, 115, 116, 119, 120, 127};
  for (size_t page = 0; page < base.headers.size(); ++page) {
    for (size_t cut : kCuts) {
      out.Add("cut-" + base.name + "-p" + std::to_string(page) + "-" + std::to_string(cut),
              std::vector<uint8_t>(base.bytes.begin(),
                                   base.bytes.begin() + static_cast<ptrdiff_t>(base.headers[page] + cut)));
    }
    for (size_t at : {base.DataStart(page), base.DataStart(page) + 1, (base.DataStart(page) + base.DataEnd(page)) / 2,
                      base.DataEnd(page) - 1}) {
      out.Add("cut-" + base.name + "-p" + std::to_string(page) + "-data" + std::to_string(at - base.headers[page]),
              std::vector<uint8_t>(base.bytes.begin(), base.bytes.begin() + static_cast<ptrdiff_t>(at)));
    }
  }
}

void AddGeometry(CorpusBuilder& out, const BaseFile& base) {
  const size_t last = base.headers.size() - 1;
  for (uint16_t width : {0, 1, 7, 9, 4865, 65535}) {
    for (size_t page : {size_t{0}, last}) {
      std::vector<uint8_t> bytes = Patched16(base, page, tools::kWidthOffset, width);
      out.Add("width-" + base.name + "-p" + std::to_string(page) + "-" + std::to_string(width), bytes);
      // The same width with the other coding: Group 3 data read as Group 4
      // and the reverse.
      bytes[base.headers[page] + tools::kCodingFlagOffset] ^= 1;
      out.Add("width-recoded-" + base.name + "-p" + std::to_string(page) + "-" + std::to_string(width),
              std::move(bytes));
      if (base.headers.size() == 1) break;
    }
  }
  for (uint16_t length : {0, 1, 2, 65535}) {
    out.Add("length-" + base.name + "-" + std::to_string(length), Patched16(base, 0, tools::kLengthOffset, length));
  }
  for (uint8_t flag : {2, 0x80, 0xFF}) {
    out.Add("coding-" + base.name + "-" + std::to_string(flag),
            PatchedByte(base, last, tools::kCodingFlagOffset, flag));
  }
  for (uint8_t code : {0, 2, 3, 0xFF}) {
    out.Add("resolution-" + base.name + "-" + std::to_string(code),
            PatchedByte(base, 0, tools::kResolutionCodeOffset, code));
  }
  // Width 65535 with every line count the header can hold, and the widest
  // page the JPEG library takes.
  std::vector<uint8_t> wideAndLong = Patched16(base, 0, tools::kWidthOffset, 65500);
  tools::StoreLe16(wideAndLong, base.headers[0] + tools::kLengthOffset, 65535);
  out.Add("wide-long-" + base.name, std::move(wideAndLong));
}

void AddDataLengths(CorpusBuilder& out, const BaseFile& base) {
  const auto size = static_cast<uint32_t>(base.bytes.size());
  const auto own = static_cast<uint32_t>(base.DataEnd(0) - base.DataStart(0));
  for (uint32_t length :
       {0u, 1u, own - 1, own + 1, size - 128, size, size + 1, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFF80u}) {
    out.Add("datalength-" + base.name + "-" + std::to_string(static_cast<int32_t>(length)),
            Patched32(base, 0, tools::kDataLengthOffset, length));
  }
}

// The link fields of page |page| set so that the next header is read at
// |target|.
std::vector<uint8_t> LinkedTo(std::vector<uint8_t> bytes, const BaseFile& base, size_t page, uint32_t target) {
  const size_t at = base.headers[page];
  const uint32_t dataLength = static_cast<uint32_t>(base.DataEnd(page) - base.DataStart(page));
  tools::StoreLe32(bytes, at + tools::kLinkBaseOffset, target - dataLength);
  tools::StoreLe32(bytes, at + tools::kLinkSpanOffset, 0);
  bytes[at + tools::kExtraCountOffset] = 0;
  bytes[at + tools::kExtraSizeOffset] = 0;
  return bytes;
}

void AddChains(CorpusBuilder& out, const BaseFile& base) {
  const size_t pages = base.headers.size();
  const size_t last = pages - 1;
  out.Add("loop-self-" + base.name, LinkedTo(base.bytes, base, last, static_cast<uint32_t>(base.headers[last])));
  out.Add("loop-first-" + base.name, LinkedTo(base.bytes, base, last, 0));
  out.Add("loop-into-data-" + base.name,
          LinkedTo(base.bytes, base, last, static_cast<uint32_t>(base.DataStart(last) + 5)));
  if (pages > 1) {
    // Two pages pointing at each other, and a link back past a page.
    std::vector<uint8_t> pair = LinkedTo(base.bytes, base, 1, static_cast<uint32_t>(base.headers[0]));
    out.Add("loop-pair-" + base.name, std::move(pair));
    out.Add("loop-back-" + base.name, LinkedTo(base.bytes, base, last, static_cast<uint32_t>(base.headers[1])));
  }
  // Sums that overflow 32 bits, are negative, or wrap round to a real header.
  struct Links {
    uint32_t base, span;
    uint8_t count, size;
  };
  const auto after = static_cast<uint32_t>(base.headers[0]);
  for (Links links :
       {Links{0x7FFFFFFF, 1, 0, 0}, Links{0x7FFFFF00, 0x100, 0, 0}, Links{0x7FFFFFFF, 0x7FFFFFFF, 0xFF, 0xFF},
        Links{0x80000000, 0x80000000 + 128 + after, 0, 0}, Links{0xFFFFFF80, 0, 0, 0}, Links{0, 0xFFFFFFFF, 0, 0},
        Links{0x40000000, 0x40000000, 0, 0}, Links{0x7FFFFFF0, 0, 0xFF, 0xFF}, Links{0, 0, 0xFF, 0xFF}}) {
    std::vector<uint8_t> bytes = base.bytes;
    const size_t at = base.headers[0];
    tools::StoreLe32(bytes, at + tools::kLinkBaseOffset, links.base);
    tools::StoreLe32(bytes, at + tools::kLinkSpanOffset, links.span);
    bytes[at + tools::kExtraCountOffset] = links.count;
    bytes[at + tools::kExtraSizeOffset] = links.size;
    char tag[40];
    std::snprintf(tag, sizeof tag, "%08x-%08x-%u", links.base, links.span, links.count * links.size);
    out.Add("links-" + base.name + "-" + tag, std::move(bytes));
  }
}

// More pages than the reader records, and a ring of pages.
void AddLongChains(CorpusBuilder& out) {
  WinFaxPageLayout page = PageSpec("text-standard-g4", 2);
  page.coded.resize(64);  // two rows need only the start of the data
  std::vector<WinFaxPageLayout> pages(1100, page);
  out.Add("chain-1100", tools::BuildWinFaxFile(pages));
  BaseFile ring = MakeBase("ring", std::vector<WinFaxPageLayout>(40, page));
  out.Add("ring-40", LinkedTo(ring.bytes, ring, ring.headers.size() - 1, 0));
}

// Files of other kinds with a WinFax name: noise of every size around a
// header's (with the signature too: {0x0B, 0x23} alone is the noise of 2
// bytes), text, and the starts of a BMP and a TIFF.
void AddNonFaxes(CorpusBuilder& out) {
  out.Add("empty", {});
  out.Add("one-byte", {0x0B});
  out.Add("zero-header", std::vector<uint8_t>(kHeaderSize, 0));
  std::vector<uint8_t> bareHeader(kHeaderSize, 0);
  bareHeader[0] = 0x0B;
  bareHeader[1] = 0x23;
  out.Add("bare-header", bareHeader);
  for (size_t size : {1, 2, 100, 127, 128, 129, 1000, 4096, 65536}) {
    std::vector<uint8_t> noise(size);
    for (uint8_t& b : noise) b = static_cast<uint8_t>(out.Next());
    out.Add("random-" + std::to_string(size), noise);
    // The same noise behind a valid signature.
    if (size >= 2) {
      noise[0] = 0x0B;
      noise[1] = 0x23;
      out.Add("random-signed-" + std::to_string(size), std::move(noise));
    }
  }
  const std::string text = "Fax cover sheet\r\nTo: accounts\r\nPages: 3\r\n";
  out.Add("text", std::vector<uint8_t>(text.begin(), text.end()));
  std::vector<uint8_t> bmp = {'B', 'M'};
  bmp.resize(1078 + 64, 0xFF);
  out.Add("bmp", std::move(bmp));
  const std::string tiff("II*\0\x08\0\0\0", 8);  // the NULs included
  out.Add("tiff", std::vector<uint8_t>(tiff.begin(), tiff.end()));
}

}  // namespace

std::vector<HostileFile> HostileCorpus(uint32_t seed) {
  const std::vector<BaseFile> bases = BaseFiles();
  CorpusBuilder out(seed);
  for (const BaseFile& base : bases) out.Add("intact-" + base.name, base.bytes);
  for (const BaseFile& base : bases) {
    AddTruncations(out, base);
    AddGeometry(out, base);
    AddDataLengths(out, base);
    AddChains(out, base);
  }
  AddLongChains(out);
  AddNonFaxes(out);
  return out.Take();
}

size_t WriteHostileFolder(const std::string& folder, const std::vector<HostileFile>& files) {
  for (const HostileFile& file : files) WriteFileBytes(folder + "/" + file.name, file.bytes);
  // Reading either would block or never end. (Made afresh when the folder
  // is written again.)
  unlink((folder + "/pipe.fxd").c_str());
  unlink((folder + "/zeros.fxd").c_str());
  if (mkfifo((folder + "/pipe.fxd").c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
  if (symlink("/dev/zero", (folder + "/zeros.fxd").c_str()) != 0) throw std::runtime_error("symlink failed");
  return files.size();
}

bool UnderSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
  return __has_feature(address_sanitizer);
#else
  return false;
#endif
}

}  // namespace tamarind::test
