#include "codec/pdf/text_font.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tamarind::pdf_internal {

namespace {

class FontReader {
 public:
  explicit FontReader(std::span<const uint8_t> font) : font_(font) {}

  std::optional<uint32_t> U16(size_t at) const {
    if (at + 2 > font_.size()) return std::nullopt;
    return uint32_t{font_[at]} << 8 | font_[at + 1];
  }
  std::optional<int> S16(size_t at) const {
    auto value = U16(at);
    if (!value) return std::nullopt;
    return static_cast<int16_t>(*value);
  }
  std::optional<uint32_t> U32(size_t at) const {
    auto high = U16(at), low = U16(at + 2);
    if (!high || !low) return std::nullopt;
    return *high << 16 | *low;
  }
  // Where table |tag| starts, when the font has it whole.
  std::optional<size_t> Table(const char* tag) const {
    auto count = U16(4);
    for (uint32_t i = 0; count && i < *count; ++i) {
      const size_t record = 12 + 16 * size_t{i};
      if (record + 16 > font_.size()) return std::nullopt;
      if (std::memcmp(font_.data() + record, tag, 4) != 0) continue;
      auto offset = U32(record + 8), length = U32(record + 12);
      if (!offset || !length || uint64_t{*offset} + *length > font_.size()) return std::nullopt;
      return *offset;
    }
    return std::nullopt;
  }

 private:
  std::span<const uint8_t> font_;
};

}  // namespace

std::optional<GlyphOneMetrics> ReadGlyphOneMetrics(std::span<const uint8_t> font) {
  FontReader reader(font);
  auto version = reader.U32(0);
  if (!version || (*version != 0x00010000 && *version != 0x74727565)) return std::nullopt;  // 1.0 or 'true'
  auto head = reader.Table("head"), hhea = reader.Table("hhea"), hmtx = reader.Table("hmtx");
  if (!head || !hhea || !hmtx) return std::nullopt;
  auto unitsPerEm = reader.U16(*head + 18);
  auto metrics = reader.U16(*hhea + 34);  // numberOfHMetrics
  auto ascent = reader.S16(*hhea + 4), descent = reader.S16(*hhea + 6);
  if (!unitsPerEm || *unitsPerEm == 0 || !metrics || *metrics == 0 || !ascent || !descent) return std::nullopt;
  // Glyphs past the last metric share its advance.
  auto advance = reader.U16(*hmtx + 4 * std::min<size_t>(1, *metrics - 1));
  const auto thousandths = [&](int units) { return static_cast<int>(int64_t{units} * 1000 / *unitsPerEm); };
  GlyphOneMetrics out;
  for (size_t i = 0; i < 4; ++i) {
    auto edge = reader.S16(*head + 36 + 2 * i);
    if (!edge) return std::nullopt;
    out.box[i] = thousandths(*edge);
  }
  if (!advance || *advance == 0 || *ascent <= *descent) return std::nullopt;
  out.advance = thousandths(static_cast<int>(*advance));
  // Narrower than a thousandth of an em (an em of more units than a
  // thousand times the glyph's), it would make every word infinitely wide.
  if (out.advance == 0) return std::nullopt;
  out.ascent = thousandths(*ascent);
  // Readers take a descent of 0 for a missing one and put their own
  // default in its place; a glyph-less font that ends at the baseline says
  // so with the least descent there is.
  out.descent = std::min(thousandths(*descent), -1);
  return out;
}

namespace {

void AppendStringByte(std::string& out, uint8_t byte) {
  if (byte == '(' || byte == ')' || byte == '\\') out += '\\';
  if (byte == '\r') out += "\\r";
  else out += static_cast<char>(byte);
}

}  // namespace

std::string CidAssigner::Encode(std::u32string_view text) {
  std::string literal = "(";
  for (char32_t c : text) {
    auto found = codes_.find(c);
    uint16_t cid = 0;
    if (found != codes_.end()) {
      cid = found->second;
    } else if (characters_.size() < 0xFFFF) {
      characters_.push_back(c);
      cid = static_cast<uint16_t>(characters_.size());
      codes_.emplace(c, cid);
    } else {
      continue;  // code 0 would show .notdef, which PDF/A forbids
    }
    AppendStringByte(literal, static_cast<uint8_t>(cid >> 8));
    AppendStringByte(literal, static_cast<uint8_t>(cid & 0xFF));
  }
  return literal + ")";
}

std::string CidAssigner::CidToGidMap() const {
  std::string map(2 * (characters_.size() + 1), '\0');
  for (size_t cid = 1; cid <= characters_.size(); ++cid) map[2 * cid + 1] = 1;
  return map;
}

std::string CidAssigner::ToUnicodeCMap() const {
  std::string cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                     "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                     "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                     "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
  char line[48];
  // A CMap block holds at most 100 entries.
  for (size_t first = 0; first < characters_.size(); first += 100) {
    const size_t count = std::min<size_t>(100, characters_.size() - first);
    cmap += std::to_string(count) + " beginbfchar\n";
    for (size_t i = first; i < first + count; ++i) {
      const char32_t c = characters_[i];
      if (c < 0x10000) {
        std::snprintf(line, sizeof line, "<%04X> <%04X>\n", static_cast<unsigned>(i + 1), static_cast<unsigned>(c));
      } else {
        std::snprintf(line, sizeof line, "<%04X> <%04X%04X>\n", static_cast<unsigned>(i + 1),
                      static_cast<unsigned>(0xD800 + ((c - 0x10000) >> 10)),
                      static_cast<unsigned>(0xDC00 + ((c - 0x10000) & 0x3FF)));
      }
      cmap += line;
    }
    cmap += "endbfchar\n";
  }
  return cmap + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}

}  // namespace tamarind::pdf_internal
