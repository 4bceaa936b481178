#include "codec/pdf/grey_icc_profile.h"

#include <string_view>

namespace tamarind::pdf_internal {

namespace {

class Builder {
 public:
  void U8(uint8_t value) { bytes.push_back(value); }
  void U16(uint16_t value) {
    U8(static_cast<uint8_t>(value >> 8));
    U8(static_cast<uint8_t>(value));
  }
  void U32(uint32_t value) {
    U16(static_cast<uint16_t>(value >> 16));
    U16(static_cast<uint16_t>(value));
  }
  void Text(std::string_view text) { bytes.insert(bytes.end(), text.begin(), text.end()); }
  void Zeros(size_t count) { bytes.insert(bytes.end(), count, 0); }
  void AlignTo4() { Zeros((4 - bytes.size() % 4) % 4); }
  void PutU32At(size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
  }

  std::vector<uint8_t> bytes;
};

// The D50 illuminant in s15Fixed16.
constexpr uint32_t kD50[3] = {0x0000F6D6, 0x00010000, 0x0000D32D};
constexpr std::string_view kDescription = "Tamarind grey, gamma 2.2";
constexpr std::string_view kCopyright = "No copyright, use freely";

void TextDescription(Builder& out) {
  out.Text("desc");
  out.Zeros(4);
  out.U32(static_cast<uint32_t>(kDescription.size() + 1));
  out.Text(kDescription);
  out.U8(0);
  out.Zeros(4 + 4);       // no Unicode description: language, count
  out.Zeros(2 + 1 + 67);  // no Macintosh description: script code, count, text
}

void WhitePoint(Builder& out) {
  out.Text("XYZ ");
  out.Zeros(4);
  for (uint32_t value : kD50) out.U32(value);
}

void GreyCurve(Builder& out) {
  out.Text("curv");
  out.Zeros(4);
  out.U32(1);       // one entry: a pure gamma
  out.U16(0x0233);  // 2.2 in u8Fixed8
}

void Copyright(Builder& out) {
  out.Text("text");
  out.Zeros(4);
  out.Text(kCopyright);
  out.U8(0);
}

}  // namespace

std::vector<uint8_t> GreyIccProfile() {
  Builder out;
  out.U32(0);           // size, set at the end
  out.U32(0);           // preferred colour management module: none
  out.U32(0x02100000);  // version 2.1
  out.Text("mntr");
  out.Text("GRAY");
  out.Text("XYZ ");
  for (uint16_t part : {2000, 1, 1, 0, 0, 0}) out.U16(part);  // a fixed date keeps documents reproducible
  out.Text("acsp");
  out.Zeros(4 + 4 + 4 + 4 + 8);  // platform, flags, manufacturer, model, attributes
  out.U32(0);                    // perceptual rendering intent
  for (uint32_t value : kD50) out.U32(value);
  out.Zeros(4);  // creator
  out.Zeros(128 - out.bytes.size());

  using Writer = void (*)(Builder&);
  struct Tag {
    const char* signature;
    Writer write;
  };
  static constexpr Tag kTags[] = {
      {"desc", TextDescription}, {"wtpt", WhitePoint}, {"kTRC", GreyCurve}, {"cprt", Copyright}};
  out.U32(std::size(kTags));
  const size_t table = out.bytes.size();
  out.Zeros(12 * std::size(kTags));
  for (size_t i = 0; i < std::size(kTags); ++i) {
    const size_t start = out.bytes.size();
    kTags[i].write(out);
    const size_t entry = table + 12 * i;
    for (int c = 0; c < 4; ++c) out.bytes[entry + static_cast<size_t>(c)] = static_cast<uint8_t>(kTags[i].signature[c]);
    out.PutU32At(entry + 4, static_cast<uint32_t>(start));
    out.PutU32At(entry + 8, static_cast<uint32_t>(out.bytes.size() - start));
    out.AlignTo4();
  }
  out.PutU32At(0, static_cast<uint32_t>(out.bytes.size()));
  return out.bytes;
}

}  // namespace tamarind::pdf_internal
