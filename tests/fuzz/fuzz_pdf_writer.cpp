// Documents of fuzzed pages, texts, words and sources through the PDF
// writer, read back here: the cross-reference table must point at every
// object and each stream's length hold its data; the information
// dictionary and the XMP packet must say the same texts, in forms PDF and
// XML can hold; each page's box must give its pixels, its image decode to
// it, and each word of its text layer read back as given, in its box; an
// embedded source must come back byte for byte.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/fax/mmr_decoder.h"
#include "codec/fax/page_resolution.h"
#include "codec/pdf/pdf_document_writer.h"
#include "codec/pdf/pdf_text.h"
#include "codec/pdf/text_font.h"
#include "fuzz_input.h"
#include "platform/file_handle.h"

namespace {

using std::string_view;
using tamarind::fuzz::Expect;

// The text after the first |key| in |text|.
string_view After(string_view text, string_view key) {
  const size_t at = text.find(key);
  Expect(at != string_view::npos, "an expected key is there");
  return text.substr(at + key.size());
}

template <typename Number>
Number Read(string_view& text) {
  Number value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  Expect(error == std::errc() && end != text.data(), "a number is where one belongs");
  text.remove_prefix(static_cast<size_t>(end - text.data()));
  if (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return value;
}

// "N 0 R" after |key|.
int Ref(string_view text, string_view key) {
  string_view rest = After(text, key);
  const int object = Read<int>(rest);
  Expect(rest.starts_with("0 R"), "a reference is N 0 R");
  return object;
}

// A UTF-16BE hex string with its byte order mark, as Unicode; surrogates
// must come in pairs.
std::u32string Utf16(string_view hex) {
  Expect(hex.starts_with("<FEFF") && hex.find('>') % 4 == 1, "a text string is UTF-16 with its mark");
  std::u32string out;
  for (size_t at = 5; hex[at] != '>'; at += 4) {
    string_view unit = hex.substr(at, 4);
    uint32_t value = 0;
    std::from_chars(unit.data(), unit.data() + 4, value, 16);
    if (value >= 0xDC00 && value < 0xE000) {
      Expect(!out.empty() && out.back() >= 0xD800 && out.back() < 0xDC00, "a low surrogate follows a high one");
      out.back() = 0x10000 + ((out.back() - 0xD800) << 10) + (value - 0xDC00);
    } else {
      Expect(out.empty() || out.back() < 0xD800 || out.back() >= 0xDC00, "a high surrogate has its low one");
      out.push_back(value);
    }
  }
  Expect(out.empty() || out.back() < 0xD800 || out.back() >= 0xDC00, "a high surrogate has its low one");
  return out;
}

// A literal string's bytes, its escapes undone; |text| moves past it.
std::string Literal(string_view& text) {
  Expect(text.starts_with("("), "a literal string opens");
  std::string out;
  size_t at = 1;
  for (; at < text.size() && text[at] != ')'; ++at) {
    if (text[at] == '\\') {
      ++at;
      Expect(at < text.size() && string_view("()\\r").find(text[at]) != string_view::npos, "a known escape");
      out += text[at] == 'r' ? '\r' : text[at];
    } else {
      Expect(text[at] != '\r' && text[at] != '(', "no bare carriage return or parenthesis");
      out += text[at];
    }
  }
  Expect(at < text.size(), "a literal string closes");
  text.remove_prefix(at + 1);
  return out;
}

std::string Inflate(string_view data) {
  std::string out(std::max<size_t>(64, data.size() * 8), '\0');
  for (;;) {
    uLongf length = out.size();
    const int result = uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                                  reinterpret_cast<const Bytef*>(data.data()), data.size());
    if (result == Z_OK) return out.substr(0, length);
    Expect(result == Z_BUF_ERROR, "a Flate stream inflates");
    out.resize(out.size() * 4);
  }
}

// The file's objects as its cross-reference table finds them.
class Pdf {
 public:
  explicit Pdf(std::string bytes) : bytes_(std::move(bytes)) {
    const string_view all = bytes_;
    Expect(all.starts_with("%PDF-1.7\n") && all.ends_with("\n%%EOF\n"), "a PDF header and end");
    string_view start = all.substr(all.rfind("startxref\n") + 10);
    const auto xref = Read<size_t>(start);
    string_view table = all.substr(xref);
    Expect(table.starts_with("xref\n0 "), "startxref points at the table");
    table.remove_prefix(7);
    const auto count = Read<size_t>(table);
    Expect(table.starts_with("\n0000000000 65535 f \n") && table.size() > 20 * count + 1, "the table's entries");
    std::map<size_t, int> starts{{xref, 0}};
    for (size_t n = 1; n < count; ++n) {
      string_view entry = table.substr(1 + 20 * n, 20);
      const auto offset = Read<size_t>(entry);
      Expect(entry == "00000 n \n" && starts.emplace(offset, static_cast<int>(n)).second, "an entry per object");
    }
    trailer_ = table.substr(1 + 20 * count);
    Expect(trailer_.starts_with("trailer\n<< /Size " + std::to_string(count) + " "), "the trailer's size");
    for (auto it = starts.begin(); std::next(it) != starts.end(); ++it) {
      string_view object = all.substr(it->first, std::next(it)->first - it->first);
      Expect(object.starts_with(std::to_string(it->second) + " 0 obj\n") && object.ends_with("\nendobj\n"),
             "each offset points at its object");
      object.remove_prefix(object.find('\n') + 1);
      objects_[it->second] = object.substr(0, object.size() - 8);
    }
  }

  string_view Trailer() const { return trailer_; }
  string_view Object(int n) const { return objects_.at(n); }
  // A stream's data, which its /Length must span exactly.
  string_view Stream(int n) const {
    string_view object = Object(n);
    const size_t begin = object.find(">>\nstream\n");
    Expect(begin != string_view::npos, "a stream object");
    string_view length = After(object.substr(0, begin), "/Length ");
    const auto bytes = Read<size_t>(length);
    Expect(object.size() == begin + 10 + bytes + 10 && object.ends_with("\nendstream"), "/Length spans the data");
    return object.substr(begin + 10, bytes);
  }

 private:
  std::string bytes_;
  string_view trailer_;
  std::map<int, string_view> objects_;
};

// One metadata text: the same in the information dictionary and the XMP
// packet, each character one XML can hold, and a printable ASCII text as
// it was given.
void CheckText(const Pdf& pdf, const std::string& given, string_view key, string_view property) {
  const string_view info = pdf.Object(Ref(pdf.Trailer(), "/Info "));
  const string_view xmp = pdf.Stream(Ref(pdf.Object(Ref(pdf.Trailer(), "/Root ")), "/Metadata "));
  const std::string open = "<" + std::string(property) + "><rdf:Alt><rdf:li xml:lang=\"x-default\">";
  Expect((info.find(key) != string_view::npos) == (property == "dc:title" || !given.empty()), "a subject if any");
  Expect((xmp.find(open) != string_view::npos) == (info.find(key) != string_view::npos), "XMP has what Info has");
  if (info.find(key) == string_view::npos) return;
  const std::u32string said = Utf16(After(info, key));
  string_view escaped = After(xmp, open);
  escaped = escaped.substr(0, escaped.find("</rdf:li>"));
  std::string xml;
  for (size_t at = 0; at < escaped.size(); ++at) {
    Expect(escaped[at] != '<', "no markup in a text");
    if (escaped[at] != '&') {
      xml += escaped[at];
      continue;
    }
    const string_view rest = escaped.substr(at);
    const char* entities[][2] = {{"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}};
    const auto* known = std::find_if(std::begin(entities), std::end(entities),
                                     [&](const auto& entity) { return rest.starts_with(entity[0]); });
    Expect(known != std::end(entities), "only the entities XML needs");
    xml += (*known)[1];
    at += std::strlen((*known)[0]) - 1;
  }
  Expect(tamarind::pdf_internal::DecodeUtf8(xml) == said, "Info and XMP say the same");
  Expect(tamarind::pdf_internal::EncodeUtf8(said) == xml, "XMP is UTF-8");
  for (char32_t c : said)
    Expect(c >= 0x20 && c != 0x7F && (c < 0xD800 || c > 0xDFFF) && c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF,
           "only characters XML holds, no control among them");
  if (std::all_of(given.begin(), given.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
    Expect(said == std::u32string(given.begin(), given.end()), "a printable text is kept as it is");
}

struct FuzzedPage {
  tamarind::FaxPage page;
  std::vector<tamarind::PdfWord> words;
  tamarind::PdfPageExtras extras;
};

// The text layer's font: each code's character, glyph 1's advance and the
// font's height, in em.
struct TextFont {
  std::map<uint32_t, std::u32string> characters;
  double advance = 0;
  double descent = 0;
  double height = 0;
};

TextFont ReadFont(const Pdf& pdf, string_view resources) {
  TextFont font;
  const string_view type0 = pdf.Object(Ref(resources, "/F0 "));
  const string_view cidFont = pdf.Object(Ref(type0, "/DescendantFonts ["));
  string_view rest = After(cidFont, "/DW ");
  font.advance = Read<int>(rest) / 1000.0;
  const string_view descriptor = pdf.Object(Ref(cidFont, "/FontDescriptor "));
  rest = After(descriptor, "/Ascent ");
  const int ascent = Read<int>(rest);
  rest = After(descriptor, "/Descent ");
  font.descent = Read<int>(rest) / 1000.0;
  font.height = ascent / 1000.0 - font.descent;
  const std::string cmap = Inflate(pdf.Stream(Ref(type0, "/ToUnicode ")));
  for (size_t at = cmap.find("beginbfchar\n"); at != std::string::npos; at = cmap.find("beginbfchar\n", at)) {
    at += 12;
    for (string_view line; !(line = string_view(cmap).substr(at, cmap.find('\n', at) - at)).starts_with("end");
         at += line.size() + 1) {
      Expect(line.size() >= 13 && line[6] == ' ', "a ToUnicode line");
      uint32_t code = 0;
      std::from_chars(line.data() + 1, line.data() + 5, code, 16);
      font.characters[code] = Utf16("<FEFF" + std::string(line.substr(8)));
    }
  }
  const std::string map = Inflate(pdf.Stream(Ref(cidFont, "/CIDToGIDMap ")));
  Expect(map.size() == 2 * (font.characters.size() + 1), "the CIDToGIDMap covers every code");
  return font;
}

// One word of the text layer: its matrix puts it in its box (sizes within
// a twentieth of a pixel across) and its codes read back its text.
void CheckWord(string_view& layer, const tamarind::PdfWord& word, const tamarind::FaxPage& page, bool turned,
               const TextFont& font) {
  const std::u32string text = tamarind::pdf_internal::DecodeUtf8(word.text).substr(0, 16383);
  const int32_t x0 = std::clamp(word.x0, 0, page.width), x1 = std::clamp(word.x1, 0, page.width);
  const int32_t y0 = std::clamp(word.y0, 0, page.height), y1 = std::clamp(word.y1, 0, page.height);
  if (text.empty() || x1 <= x0 || y1 <= y0) return;
  const double across = Read<double>(layer);
  Expect(layer.starts_with("0 0 "), "an upright matrix");
  layer.remove_prefix(4);
  const double down = Read<double>(layer);
  const int e = Read<int>(layer), f = Read<int>(layer);
  const double sign = turned ? -1 : 1;
  Expect(std::abs(sign * across * static_cast<double>(text.size()) * font.advance - (x1 - x0)) <= 0.05 + 1e-9,
         "a word spans its box within a twentieth of a pixel");
  Expect(std::abs(sign * down * font.height - (y1 - y0)) <= 0.05 + 1e-9,
         "a word's height is its box's within a twentieth of a pixel");
  Expect(e == (turned ? x1 : x0) && f == page.height - (turned ? y0 : y1), "a word starts at its box's corner");
  Expect(layer.starts_with("Tm "), "Tm");
  layer.remove_prefix(3);
  const std::string codes = Literal(layer);
  std::u32string read;
  for (size_t i = 0; i + 1 < codes.size(); i += 2) {
    const auto found = font.characters.find(static_cast<uint8_t>(codes[i]) << 8 | static_cast<uint8_t>(codes[i + 1]));
    Expect(found != font.characters.end(), "every code has its character");
    read += found->second;
  }
  Expect(codes.size() % 2 == 0 && read == text, "a word reads back as given");
  Expect(layer.starts_with(" Tj\n"), "Tj");
  layer.remove_prefix(4);
}

void CheckPage(const Pdf& pdf, int object, const FuzzedPage& given, std::optional<TextFont>& font) {
  const tamarind::FaxPage& page = given.page;
  const string_view dictionary = pdf.Object(object);
  const int rotate = given.extras.rotate;
  Expect((dictionary.find("/Rotate ") != string_view::npos) == (rotate != 0), "/Rotate when turned");
  if (rotate != 0) Expect(After(dictionary, "/Rotate ").starts_with(std::to_string(rotate) + " "), "the turn");
  string_view box = After(dictionary, "/MediaBox [0 0 ");
  const string_view boxText = box.substr(0, box.find(']'));
  const double sides[2] = {Read<double>(box), Read<double>(box)};
  string_view unitText = dictionary.find("/UserUnit ") == string_view::npos ? "1" : After(dictionary, "/UserUnit ");
  const auto unit = Read<int64_t>(unitText);
  const tamarind::PageResolution dpi = tamarind::TruePageResolution(page);
  const double pixels[2] = {sides[0] * static_cast<double>(unit) * dpi.x_dpi / 72,
                            sides[1] * static_cast<double>(unit) * dpi.y_dpi / 72};
  for (int side = 0; side < 2; ++side) {
    const int32_t want = side == 0 ? page.width : page.height;
    Expect(sides[side] <= 14400 && std::ceil(pixels[side]) == want && std::lround(pixels[side]) == want,
           "the page box gives the page's pixels, rounded up or to the nearest");
  }

  const string_view resources = After(dictionary, "/Resources ");
  const string_view stored = pdf.Stream(Ref(dictionary, "/Contents "));
  const std::string contents = given.words.empty() ? std::string(stored) : Inflate(stored);
  string_view layer = contents;
  Expect(layer.starts_with("q " + std::string(boxText.substr(0, boxText.find(' '))) + " 0 0 " +
                           std::string(boxText.substr(boxText.find(' ') + 1)) + " 0 0 cm /Im0 Do Q\n"),
         "the image fills the page");
  layer = layer.substr(layer.find('\n') + 1);
  if (!given.words.empty()) {
    if (!font) font = ReadFont(pdf, resources);
    layer = After(layer, " Ts\n");
    for (const tamarind::PdfWord& word : given.words) CheckWord(layer, word, page, rotate == 180, *font);
    Expect(layer == "ET Q\n", "the text layer ends after its words");
  } else {
    Expect(layer.empty(), "no text layer without words");
  }

  const string_view image = pdf.Object(Ref(resources, "/Im0 "));
  const std::string size = std::to_string(page.width) + " /Height " + std::to_string(page.height);
  Expect(After(image, "/Width ").starts_with(size), "the image's size");
  const string_view code = pdf.Stream(Ref(resources, "/Im0 "));
  tamarind::MmrDecoder decoder(std::span(reinterpret_cast<const uint8_t*>(code.data()), code.size()),
                               tamarind::MsbFirst, 0, 0, 3);
  decoder.SetPageSize(page.width, page.height);
  tamarind::FaxPage decoded;
  decoder.DecodeMmrPage(decoded);
  Expect(tamarind::fuzz::SamePixels(decoded, page), "the image decodes to the page");
}

// The /Filespec dictionary's strings are read in order: the name in /F
// may hold any text, a key's among them.
void CheckSource(const Pdf& pdf, const std::string& source, const std::string& name) {
  const string_view catalog = pdf.Object(Ref(pdf.Trailer(), "/Root "));
  const std::u32string listed = Utf16(After(catalog, "/EmbeddedFiles << /Names ["));
  string_view fileEntry = After(pdf.Object(Ref(After(catalog, "/EmbeddedFiles << /Names [<"), "> ")), "/F ");
  const std::string shown = Literal(fileEntry);
  Expect(shown.size() == listed.size() &&
             std::all_of(shown.begin(), shown.end(), [](char c) { return c >= 0x20 && c < 0x7F; }),
         "/F is the name in printable ASCII");
  Expect(fileEntry.starts_with(" /UF ") && Utf16(fileEntry.substr(5)) == listed, "the file is listed under its name");
  Expect(listed == tamarind::pdf_internal::MetadataText(name), "the source keeps its name");
  const int embedded = Ref(fileEntry, "/EF << /F ");
  Expect(pdf.Stream(embedded) == source, "the source comes back byte for byte");
  Expect(After(pdf.Object(embedded), "/Size ").starts_with(std::to_string(source.size()) + " "), "its /Size");
}

std::vector<uint8_t> TextFontBytes() {
  return tamarind::fuzz::FileBytes("/usr/share/tesseract-ocr/5/tessdata/pdf.ttf");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const tamarind::fuzz::ScratchFolder scratch("fuzz-pdf");
  static const std::vector<uint8_t> kFont = TextFontBytes();
  FuzzedDataProvider in(data, size);
  tamarind::DocumentInfo info{
      in.ConsumeRandomLengthString(64), {in.ConsumeIntegral<int64_t>(), 0}, in.ConsumeRandomLengthString(64)};
  std::optional<std::string> source;
  std::string sourceName;
  if (in.ConsumeBool()) {
    source = in.ConsumeRandomLengthString(256);
    sourceName = in.ConsumeRandomLengthString(32);
  }
  std::vector<uint8_t> font = kFont;
  for (int damage = in.ConsumeIntegralInRange(0, 4); damage > 0; --damage) {
    const auto at = in.ConsumeIntegralInRange<size_t>(0, font.size() - 1);
    font[at] = in.ConsumeIntegral<uint8_t>();
  }
  const bool fontUsable = tamarind::pdf_internal::ReadGlyphOneMetrics(font).has_value();

  const std::string path = scratch.File("out.pdf");
  auto file = tamarind::platform::AtomicOutputFile::Create(path);
  Expect(file.ok(), "the output can be made");
  std::optional<tamarind::PdfEmbeddedSource> embedded;
  if (source) {
    tamarind::fuzz::WriteBytes(scratch.File("source"),
                               std::span(reinterpret_cast<const uint8_t*>(source->data()), source->size()));
    auto opened = tamarind::platform::OpenRegularFile(scratch.File("source"));
    Expect(opened.ok(), "the source opens");
    embedded = tamarind::PdfEmbeddedSource{std::move(*opened), sourceName, {in.ConsumeIntegral<int64_t>(), 0}};
  }
  tamarind::PdfDocumentWriter writer(**file, info, font, std::move(embedded));
  std::vector<FuzzedPage> pages;
  for (int n = in.ConsumeIntegralInRange(1, 3); n > 0; --n) {
    FuzzedPage page{tamarind::fuzz::FuzzedPage(in, 40000), {}, {}};
    const bool codable = tamarind::fuzz::MaybeSpoil(in, page.page);
    page.extras.rotate = std::array{0, 90, 180, 270, 45, 360, -90}[in.ConsumeIntegralInRange(0, 6)];
    for (int words = in.ConsumeIntegralInRange(0, 6); words > 0; --words) {
      const auto edge = [&](int32_t side) { return in.ConsumeIntegralInRange<int32_t>(-4, side + 4); };
      page.words.push_back({in.ConsumeRandomLengthString(100), edge(page.page.width), edge(page.page.height),
                            edge(page.page.width), edge(page.page.height)});
    }
    page.extras.words = page.words;
    const bool added = writer.AddPage(page.page, page.extras).ok();
    Expect(added == (codable && page.extras.rotate % 90 == 0 && page.extras.rotate >= 0 && page.extras.rotate < 360 &&
                     (page.words.empty() || fontUsable)),
           "a page is taken when it is sound");
    if (added) pages.push_back(std::move(page));
  }
  Expect(writer.Finish().ok() == !pages.empty(), "a document of pages finishes");
  if (pages.empty()) return 0;
  Expect((*file)->Commit().ok(), "the output is committed");

  const std::vector<uint8_t> bytes = tamarind::fuzz::FileBytes(path);
  const Pdf pdf(std::string(bytes.begin(), bytes.end()));
  CheckText(pdf, info.title, "/Title ", "dc:title");
  CheckText(pdf, info.subject, "/Subject ", "dc:description");
  string_view kids = After(pdf.Object(Ref(pdf.Object(Ref(pdf.Trailer(), "/Root ")), "/Pages ")), "/Kids [");
  std::optional<TextFont> textFont;
  for (const FuzzedPage& page : pages) {
    const int object = Read<int>(kids);
    Expect(kids.starts_with("0 R"), "a page reference");
    kids.remove_prefix(kids.starts_with("0 R ") ? 4 : 3);
    CheckPage(pdf, object, page, textFont);
  }
  Expect(kids.starts_with("] /Count " + std::to_string(pages.size()) + " "), "every page, and no more");
  if (source) CheckSource(pdf, *source, sourceName);
  return 0;
}
