#include "codec/pdf/pdf_text.h"

#include <cstdint>
#include <cstdio>

#include "platform/string_extras.h"

namespace tamarind::pdf_internal {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The length of the valid UTF-8 sequence at the start of |text| and its
// value, or 0 when there is none (overlong forms, surrogates and values
// past U+10FFFF are invalid).
size_t ValidSequence(std::string_view text, char32_t* value) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(0);
  size_t length;
  char32_t code;
  char32_t smallest;
  if (lead < 0x80) {
    *value = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, smallest = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(i) & 0x3F);
  }
  if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  *value = code;
  return length;
}

bool XmlCanHold(char32_t c) { return c != 0xFFFE && c != 0xFFFF; }

}  // namespace

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  while (!text.empty()) {
    char32_t value = 0;
    size_t used = ValidSequence(text, &value);
    if (used == 0) {
      value = kReplacement;
      used = 1;
    }
    out.push_back(value);
    text.remove_prefix(used);
  }
  return out;
}

std::u32string MetadataText(std::string_view text) {
  std::u32string out = DecodeUtf8(platform::EscapeControlBytes(text));
  for (char32_t& c : out)
    if (!XmlCanHold(c)) c = kReplacement;
  return out;
}

std::string EncodeUtf8(std::u32string_view text) {
  std::string out;
  for (char32_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Utf16HexString(std::u32string_view text) {
  std::string out = "<FEFF";
  char unit[8];
  const auto put = [&](uint32_t value) {
    std::snprintf(unit, sizeof unit, "%04X", static_cast<unsigned>(value));
    out += unit;
  };
  for (char32_t c : text) {
    if (c < 0x10000) {
      put(c);
    } else {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out + ">";
}

std::string XmlEscaped(std::string_view utf8) {
  std::string out;
  for (char c : utf8) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace tamarind::pdf_internal
