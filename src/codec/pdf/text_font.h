// The font of the invisible text layer: a TrueType font whose glyph 1
// stands for every character (Tesseract's glyph-less pdf.ttf is one), used
// as a composite font whose character codes are given out in order of first
// use, so its maps stay as small as the text's alphabet.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tamarind::pdf_internal {

// Glyph 1's advance and the font's vertical extent, in thousandths of an em.
struct GlyphOneMetrics {
  int advance = 0;
  int ascent = 0;            // above the baseline, from the horizontal header
  int descent = 0;           // below it, negative
  std::array<int, 4> box{};  // the font's bounding box: x min, y min, x max, y max
};

// Reads |font|'s head, hhea and hmtx tables; nullopt when it is no
// TrueType font with a glyph 1 of some width and some height.
std::optional<GlyphOneMetrics> ReadGlyphOneMetrics(std::span<const uint8_t> font);

// Gives each character a two-byte code (a CID) when it first appears; code
// 0 stays unused. Characters past the 65535th distinct one are left out.
class CidAssigner {
 public:
  // The codes of |text|'s characters as a PDF literal string, parentheses
  // included: two bytes a code, as they are (smaller once Flate-coded than
  // the same codes in hex), with a backslash before "(", ")"
  // and "\", and a carriage return as "\r", since a reader takes a bare
  // one for a line feed.
  std::string Encode(std::u32string_view text);

  // The CIDToGIDMap stream: every code given out shows glyph 1.
  std::string CidToGidMap() const;
  // The ToUnicode CMap: each code back to its character.
  std::string ToUnicodeCMap() const;

 private:
  std::unordered_map<char32_t, uint16_t> codes_;
  std::u32string characters_;  // the character of code i + 1
};

}  // namespace tamarind::pdf_internal
