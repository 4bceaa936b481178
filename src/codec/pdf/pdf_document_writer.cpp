#include "codec/pdf/pdf_document_writer.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "codec/fax/page_resolution.h"
#include "codec/pdf/flate.h"
#include "codec/pdf/grey_icc_profile.h"
#include "codec/pdf/md5.h"
#include "codec/pdf/page_box.h"
#include "codec/pdf/pdf_text.h"
#include "codec/pdf/text_font.h"
#include "codec/tiff/group4.h"

namespace tamarind {

using platform::Failure;
using platform::Status;
using namespace pdf_internal;

namespace {

// Larger pages are drawn in bigger user units: PDF/A allows no page side
// over 14,400 units (200 inches at 72 units per inch).
constexpr double kMaxPageUnits = 14400;
// A PDF string holds at most 32,767 bytes; a word's codes take two each.
constexpr size_t kMaxWordCharacters = 16383;

// Fixed-point text with at most |decimals| places and no trailing zeros;
// never an exponent, which PDF does not read.
std::string Number(double value, int decimals = 4) {
  char text[64];
  auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  std::string out(text, error == std::errc() ? end : text);
  if (out.find('.') != std::string::npos) {
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
  }
  return out == "-0" ? "0" : out;
}

// The decimals a text size needs so that a word |span| sizes long (its
// width or height at size 1) comes out within a twentieth of a pixel: two
// for most words, more for long ones. The most a span can be is 16,383
// glyphs of 65,535 em (a font of one unit per em), which eleven give.
int SizeDecimals(double span) {
  return std::clamp(static_cast<int>(std::ceil(std::log10(std::max(10 * span, 1.0)))), 2, 11);
}

std::string Ref(int object) { return std::to_string(object) + " 0 R"; }

// The offset from UTC as the two date forms want it.
std::string Offset(const CalendarTime& t, const char* hourMinuteSeparator, const char* end) {
  if (t.utc_offset_minutes == 0) return "Z";
  const int minutes = std::abs(t.utc_offset_minutes);
  char text[16];
  std::snprintf(text, sizeof text, "%c%02d%s%02d%s", t.utc_offset_minutes < 0 ? '-' : '+', minutes / 60,
                hourMinuteSeparator, minutes % 60, end);
  return text;
}

std::string PdfDate(const CalendarTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "D:%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return "(" + std::string(text) + Offset(t, "'", "'") + ")";
}

std::string XmpDate(const CalendarTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return text + Offset(t, ":", "");
}

// A text as an XMP language alternative in the default language.
std::string XmpAlternative(const char* property, std::string_view text) {
  return "<" + std::string(property) + "><rdf:Alt><rdf:li xml:lang=\"x-default\">" +
         XmlEscaped(EncodeUtf8(MetadataText(text))) + "</rdf:li></rdf:Alt></" + property + ">\n";
}

// The XMP packet: PDF/A-2b, or PDF/A-3b for a document that carries its
// source.
std::string XmpPacket(const DocumentInfo& info, bool withSource) {
  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
         "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
         "<rdf:Description rdf:about=\"\"\n"
         " xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\"\n"
         " xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
         " xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
         " xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\n"
         "<pdfaid:part>" +
         std::string(withSource ? "3" : "2") +
         "</pdfaid:part>\n"
         "<pdfaid:conformance>B</pdfaid:conformance>\n"
         "<dc:format>application/pdf</dc:format>\n" +
         XmpAlternative("dc:title", info.title) +
         (info.subject.empty() ? "" : XmpAlternative("dc:description", info.subject)) + "<xmp:CreateDate>" +
         XmpDate(LocalCalendarTime(info.modified)) +
         "</xmp:CreateDate>\n"
         "<pdf:Producer>" +
         std::string(kDocumentProducer) +
         "</pdf:Producer>\n"
         "</rdf:Description>\n"
         "</rdf:RDF>\n"
         "</x:xmpmeta>\n"
         "<?xpacket end=\"w\"?>";
}

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Where a page's pixels land in user space.
struct PageFrame {
  int64_t unit = 1;    // UserUnit: points per user-space unit
  double x_scale = 0;  // user-space units per pixel across
  double y_scale = 0;  // and per row down
  std::string width;   // the page in user-space units, as written
  std::string height;
};

PageFrame FrameOf(const FaxPage& page) {
  const PageResolution resolution = TruePageResolution(page);
  const double widthPoints = page.width * 72.0 / resolution.x_dpi;
  const double heightPoints = page.height * 72.0 / resolution.y_dpi;
  PageFrame frame;
  frame.unit =
      std::max<int64_t>(1, static_cast<int64_t>(std::ceil(std::max(widthPoints, heightPoints) / kMaxPageUnits)));
  frame.x_scale = 72.0 / resolution.x_dpi / static_cast<double>(frame.unit);
  frame.y_scale = 72.0 / resolution.y_dpi / static_cast<double>(frame.unit);
  frame.width = PageSide(page.width, resolution.x_dpi, frame.unit);
  frame.height = PageSide(page.height, resolution.y_dpi, frame.unit);
  return frame;
}

// The /Filespec dictionary's /F: the name in printable ASCII (others as
// "_"), as a PDF literal string; /UF has it whole.
std::string AsciiFileName(std::u32string_view name) {
  std::string out = "(";
  for (char32_t c : name) {
    if (c == '(' || c == ')' || c == '\\') out += '\\';
    out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '_';
  }
  return out + ")";
}

}  // namespace

constexpr size_t kSourcePieceBytes = size_t{64} * 1024;

// Pages whose images code to the same bytes at the same size (a cover
// sheet or a page sent twice, blank pages) show one image object: a fax
// of 20 pages whose first eight came again took 216,781 bytes less, a
// third of its size. The images written are kept to be
// compared byte for byte, up to kKeptImageBytes in all (a hundred pages of
// text or more); later pages are written as they come.
constexpr size_t kKeptImageBytes = size_t{4} << 20;

class WrittenImages {
 public:
  // The object of an image written before with |page|'s size and |strip|
  // as its data; 0 when there is none.
  int Find(const FaxPage& page, std::span<const uint8_t> strip) const {
    for (const Kept& kept : kept_)
      if (kept.width == page.width && kept.height == page.height &&
          std::ranges::equal(std::span<const uint8_t>(kept.strip), strip))
        return kept.object;
    return 0;
  }

  // Keeps |strip|, written as |object|, while the images kept fit.
  void Keep(int object, const FaxPage& page, std::vector<uint8_t>&& strip) {
    strip.shrink_to_fit();
    if (strip.capacity() > kKeptImageBytes - bytes_) return;
    bytes_ += strip.capacity();
    kept_.push_back({object, page.width, page.height, std::move(strip)});
  }

 private:
  struct Kept {
    int object;
    int32_t width;
    int32_t height;
    std::vector<uint8_t> strip;
  };
  std::vector<Kept> kept_;
  size_t bytes_ = 0;
};

// |dictionary|'s entries with the Flate filter's.
std::string WithFlate(std::string_view dictionary) {
  return dictionary.empty() ? "/Filter /FlateDecode" : std::string(dictionary) + " /Filter /FlateDecode";
}

class PdfDocumentWriter::Impl {
 public:
  Impl(platform::AtomicOutputFile& file, DocumentInfo info, std::vector<uint8_t> textFont,
       std::optional<PdfEmbeddedSource> source)
      : file_(file),
        stream_(file.Stream()),
        info_(std::move(info)),
        font_(std::move(textFont)),
        source_(std::move(source)) {
    // The second line marks the file as binary for tools that guess.
    Put("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n");
    catalog_ = Reserve();
    pages_ = Reserve();
    metadata_ = Reserve();
    WriteStream(metadata_, "/Type /Metadata /Subtype /XML", Bytes(XmpPacket(info_, source_.has_value())));
    profile_ = Reserve();
    WriteStream(profile_, "/N 1 /Alternate /DeviceGray", GreyIccProfile());
  }

  Status AddPage(const FaxPage& page, const PdfPageExtras& extras) {
    if (finished_) return Failure{"the document is already finished"};
    if (extras.rotate % 90 != 0 || extras.rotate < 0 || extras.rotate >= 360)
      return Failure{"a page turns only in quarter turns, not " + std::to_string(extras.rotate) + " degrees"};
    auto strip = EncodeGroup4(page);
    if (!strip) return strip.status();
    const PageFrame frame = FrameOf(page);
    auto text = TextLayer(page, frame, extras.words, extras.rotate == 180);
    if (!text) return text.status();
    // A text layer is mostly numbers and codes that Flate takes to a fifth.
    const std::string drawing = "q " + frame.width + " 0 0 " + frame.height + " 0 0 cm /Im0 Do Q\n" + *text;
    const std::vector<uint8_t> deflated = extras.words.empty() ? std::vector<uint8_t>() : Deflate(Bytes(drawing));
    if (!extras.words.empty() && deflated.empty()) return Failure{"out of memory for the text layer"};

    const int image = ImageObject(page, std::move(*strip));
    const int contents = Reserve();
    if (extras.words.empty()) WriteStream(contents, "", Bytes(drawing));
    else WriteStream(contents, WithFlate(""), deflated);

    const int pageObject = Reserve();
    std::string resources = "<< /XObject << /Im0 " + Ref(image) + " >>";
    if (!extras.words.empty()) resources += " /Font << /F0 " + Ref(FontObject()) + " >>";
    resources += " >>";
    std::string dictionary = "<< /Type /Page /Parent " + Ref(pages_) + " /MediaBox [0 0 " + frame.width + " " +
                             frame.height + "] /Resources " + resources + " /Contents " + Ref(contents);
    if (extras.rotate != 0) dictionary += " /Rotate " + std::to_string(extras.rotate);
    if (frame.unit != 1) dictionary += " /UserUnit " + std::to_string(frame.unit);
    WriteObject(pageObject, dictionary + " >>");
    pageObjects_.push_back(pageObject);
    return {};
  }

  Status Finish() {
    if (finished_) return Failure{"the document is already finished"};
    finished_ = true;
    if (pageObjects_.empty()) return Failure{"no page to write"};
    if (type0_ != 0) {
      if (Status font = WriteFont(); !font) return font;
    }
    std::string kids;
    for (int page : pageObjects_) kids += (kids.empty() ? "" : " ") + Ref(page);
    WriteObject(pages_, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pageObjects_.size()) + " >>");
    std::string sourceEntries;
    if (source_) {
      platform::Expected<std::string> entries = WriteSource();
      if (!entries) return entries.status();
      sourceEntries = *entries;
    }
    const int info = Reserve();
    WriteObject(info, InfoDictionary());
    WriteObject(catalog_, "<< /Type /Catalog /Pages " + Ref(pages_) + " /Metadata " + Ref(metadata_) +
                              " /OutputIntents [<< /Type /OutputIntent /S /GTS_PDFA1"
                              " /OutputConditionIdentifier (Custom) /Info (Grey, gamma 2.2)"
                              " /DestOutputProfile " +
                              Ref(profile_) + " >>]" + sourceEntries + " >>");
    WriteTrailer(info);
    errno = 0;
    if (!stream_ || std::ferror(stream_) || std::fflush(stream_) != 0) {
      // A failed write keeps its own cause; anything else says what errno has.
      if (Status state = file_.WriteState(); !state) return state;
      return Failure::System(file_.FinalPath(), errno ? errno : EIO);
    }
    return {};
  }

  int PagesWritten() const { return static_cast<int>(pageObjects_.size()); }

 private:
  void Put(std::span<const uint8_t> bytes) {
    if (stream_) std::fwrite(bytes.data(), 1, bytes.size(), stream_);
    digest_.Update(bytes);
    offset_ += static_cast<int64_t>(bytes.size());
  }
  void Put(std::string_view text) { Put(Bytes(text)); }

  int Reserve() {
    offsets_.push_back(-1);
    return static_cast<int>(offsets_.size());  // objects count from 1
  }

  void Begin(int object) {
    offsets_[static_cast<size_t>(object - 1)] = offset_;
    Put(std::to_string(object) + " 0 obj\n");
  }

  void WriteObject(int object, std::string_view body) {
    Begin(object);
    Put(body);
    Put("\nendobj\n");
  }

  void WriteStream(int object, std::string_view dictionary, std::span<const uint8_t> data) {
    Begin(object);
    Put("<< ");
    if (!dictionary.empty()) Put(std::string(dictionary) + " ");
    Put("/Length " + std::to_string(data.size()) + " >>\nstream\n");
    Put(data);
    Put("\nendstream\nendobj\n");
  }

  // The document information: the XMP packet's texts, alike.
  std::string InfoDictionary() const {
    std::string out = "<< /Title " + Utf16HexString(MetadataText(info_.title));
    if (!info_.subject.empty()) out += " /Subject " + Utf16HexString(MetadataText(info_.subject));
    return out + " /Producer " + Utf16HexString(DecodeUtf8(kDocumentProducer)) + " /CreationDate " +
           PdfDate(LocalCalendarTime(info_.modified)) + " >>";
  }

  // The embedded source and its /Filespec dictionary; gives the catalog's
  // entries that list it among the embedded files and associate it with
  // the document.
  platform::Expected<std::string> WriteSource() {
    const int64_t size = source_->file.Size();
    if (size < 0) return Failure::System(source_->name, errno, "the source cannot be read");
    const int embedded = Reserve(), fileEntry = Reserve();
    Begin(embedded);
    const std::string length = std::to_string(size);
    Put("<< /Type /EmbeddedFile /Subtype /application#2Fx-winfax /Params << /ModDate " +
        PdfDate(LocalCalendarTime(source_->modified)) + " /Size " + length + " >> /Length " + length + " >>\nstream\n");
    if (Status copied = CopySource(size); !copied) return std::move(copied).failure();
    Put("\nendstream\nendobj\n");
    const std::u32string name = MetadataText(source_->name);
    WriteObject(fileEntry, "<< /Type /Filespec /F " + AsciiFileName(name) + " /UF " + Utf16HexString(name) +
                               " /Desc (The fax this document shows) /AFRelationship /Source /EF << /F " +
                               Ref(embedded) + " /UF " + Ref(embedded) + " >> >>");
    return " /Names << /EmbeddedFiles << /Names [" + Utf16HexString(name) + " " + Ref(fileEntry) + "] >> >> /AF [" +
           Ref(fileEntry) + "]";
  }

  // The source's |size| bytes, a piece at a time; a source that is not
  // that size as it is read fails, rather than leave the stream's length
  // wrong.
  Status CopySource(int64_t size) {
    std::vector<uint8_t> piece(kSourcePieceBytes);
    for (int64_t at = 0; at < size;) {
      const size_t wanted = static_cast<size_t>(std::min<int64_t>(size - at, static_cast<int64_t>(piece.size())));
      platform::Expected<int64_t> read = source_->file.ReadAt(at, std::span(piece).first(wanted));
      if (!read) return std::move(read).failure().WithPath(source_->name);
      const int64_t got = *read;
      if (got == 0) return Failure{"the source shrank while it was read"};
      Put(std::span<const uint8_t>(piece).first(static_cast<size_t>(got)));
      at += got;
    }
    uint8_t past = 0;
    platform::Expected<int64_t> beyond = source_->file.ReadAt(size, std::span(&past, 1));
    if (!beyond) return std::move(beyond).failure().WithPath(source_->name);
    if (*beyond != 0) return Failure{"the source grew while it was read"};
    return {};
  }

  // The invisible words of a page as content-stream operators, in the
  // page's own pixels (one "cm" for the page), so that every word's corner
  // is a whole number; the text rise lifts each glyph's box by the font's
  // descent, so that a word's matrix puts its box's edge, not its baseline,
  // on that corner. Each word: its matrix (the glyphs stretched onto its
  // box, sizes to a hundredth of a pixel, or finer where a long word or
  // a tall em would add the rounding up past a twentieth of one) and its
  // codes. On a page shown upside down (|turned|) each word runs from its
  // box's right edge to its left with its baseline near the box's top, so
  // that it reads upright, and selects in place, as the page is shown.
  platform::Expected<std::string> TextLayer(const FaxPage& page, const PageFrame& frame, std::span<const PdfWord> words,
                                            bool turned) {
    if (words.empty()) return std::string();
    if (!metrics_) metrics_ = ReadGlyphOneMetrics(font_);
    if (!metrics_) return Failure{"no usable font for the text layer"};
    const double advance = metrics_->advance / 1000.0;
    const double emHeight = (metrics_->ascent - metrics_->descent) / 1000.0;
    const int yDecimals = SizeDecimals(emHeight);
    std::string out = "q " + Number(frame.x_scale, 9) + " 0 0 " + Number(frame.y_scale, 9) +
                      " 0 0 cm BT 3 Tr /F0 1 Tf " + Number(-metrics_->descent / 1000.0) + " Ts\n";
    for (const PdfWord& word : words) {
      std::u32string text = DecodeUtf8(word.text);
      text.resize(std::min(text.size(), kMaxWordCharacters));
      const int32_t x0 = std::clamp(word.x0, 0, page.width), x1 = std::clamp(word.x1, 0, page.width);
      const int32_t y0 = std::clamp(word.y0, 0, page.height), y1 = std::clamp(word.y1, 0, page.height);
      if (text.empty() || x1 <= x0 || y1 <= y0) continue;
      const double span = static_cast<double>(text.size()) * advance;  // the word's width at size 1
      const double xSize = (x1 - x0) / span;
      const double ySize = (y1 - y0) / emHeight;
      const int xDecimals = SizeDecimals(span);
      const std::string matrix = turned ? Number(-xSize, xDecimals) + " 0 0 " + Number(-ySize, yDecimals) + " " +
                                              std::to_string(x1) + " " + std::to_string(page.height - y0)
                                        : Number(xSize, xDecimals) + " 0 0 " + Number(ySize, yDecimals) + " " +
                                              std::to_string(x0) + " " + std::to_string(page.height - y1);
      out += matrix + " Tm " + cids_.Encode(text) + " Tj\n";
    }
    return out + "ET Q\n";
  }

  // The image object showing |page|, coded as |strip|: one written before
  // with the same size and bytes, or a new one.
  int ImageObject(const FaxPage& page, std::vector<uint8_t>&& strip) {
    if (const int written = images_.Find(page, strip); written != 0) return written;
    const int image = Reserve();
    const std::string columns = std::to_string(page.width), rows = std::to_string(page.height);
    WriteStream(image,
                "/Type /XObject /Subtype /Image /Width " + columns + " /Height " + rows +
                    " /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /CCITTFaxDecode"
                    " /DecodeParms << /K -1 /Columns " +
                    columns + " /Rows " + rows + " /BlackIs1 false >>",
                strip);
    images_.Keep(image, page, std::move(strip));
    return image;
  }

  int FontObject() {
    if (type0_ == 0) type0_ = Reserve();
    return type0_;
  }

  // The text font as a composite font: Identity-H codes, each code's glyph
  // given by the CIDToGIDMap and its character by the ToUnicode map.
  Status WriteFont() {
    const int cidFont = Reserve(), descriptor = Reserve(), program = Reserve(), cidToGid = Reserve(),
              toUnicode = Reserve();
    const std::string name = "/GlyphLessFont";
    WriteObject(type0_, "<< /Type /Font /Subtype /Type0 /BaseFont " + name +
                            " /Encoding /Identity-H /DescendantFonts [" + Ref(cidFont) + "] /ToUnicode " +
                            Ref(toUnicode) + " >>");
    WriteObject(cidFont, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont " + name +
                             " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
                             " /FontDescriptor " +
                             Ref(descriptor) + " /DW " + std::to_string(metrics_->advance) + " /CIDToGIDMap " +
                             Ref(cidToGid) + " >>");
    const auto& box = metrics_->box;
    WriteObject(descriptor, "<< /Type /FontDescriptor /FontName " + name + " /Flags 4 /FontBBox [" +
                                std::to_string(box[0]) + " " + std::to_string(box[1]) + " " + std::to_string(box[2]) +
                                " " + std::to_string(box[3]) + "] /ItalicAngle 0 /Ascent " +
                                std::to_string(metrics_->ascent) + " /Descent " + std::to_string(metrics_->descent) +
                                " /CapHeight " + std::to_string(metrics_->ascent) + " /StemV 80 /FontFile2 " +
                                Ref(program) + " >>");
    const std::vector<uint8_t> deflated[] = {Deflate(font_), Deflate(Bytes(cids_.CidToGidMap())),
                                             Deflate(Bytes(cids_.ToUnicodeCMap()))};
    for (const std::vector<uint8_t>& stream : deflated)
      if (stream.empty()) return Failure{"out of memory for the text layer's font"};
    WriteStream(program, WithFlate("/Length1 " + std::to_string(font_.size())), deflated[0]);
    WriteStream(cidToGid, WithFlate(""), deflated[1]);
    WriteStream(toUnicode, WithFlate(""), deflated[2]);
    return {};
  }

  // The cross-reference table and the trailer, whose file identifier is
  // the digest of every byte before it.
  void WriteTrailer(int info) {
    const int64_t xref = offset_;
    std::string table = "xref\n0 " + std::to_string(offsets_.size() + 1) + "\n0000000000 65535 f \n";
    char entry[24];
    for (int64_t offset : offsets_) {
      std::snprintf(entry, sizeof entry, "%010lld 00000 n \n", static_cast<long long>(offset));
      table += entry;
    }
    Put(table);
    std::string id;
    for (uint8_t byte : digest_.Finish()) {
      std::snprintf(entry, sizeof entry, "%02X", byte);
      id += entry;
    }
    Put("trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root " + Ref(catalog_) + " /Info " + Ref(info) +
        " /ID [<" + id + "> <" + id + ">] >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n");
  }

  platform::AtomicOutputFile& file_;
  FILE* stream_;
  DocumentInfo info_;
  std::vector<uint8_t> font_;
  std::optional<PdfEmbeddedSource> source_;
  std::optional<GlyphOneMetrics> metrics_;
  CidAssigner cids_;
  WrittenImages images_;
  Md5 digest_;
  int64_t offset_ = 0;
  std::vector<int64_t> offsets_;  // of object i + 1
  std::vector<int> pageObjects_;
  int catalog_ = 0;
  int pages_ = 0;
  int metadata_ = 0;
  int profile_ = 0;
  int type0_ = 0;  // 0 until a page has words
  bool finished_ = false;
};

PdfDocumentWriter::PdfDocumentWriter(platform::AtomicOutputFile& file, DocumentInfo info, std::vector<uint8_t> textFont,
                                     std::optional<PdfEmbeddedSource> source)
    : impl_(std::make_unique<Impl>(file, std::move(info), std::move(textFont), std::move(source))) {}

PdfDocumentWriter::~PdfDocumentWriter() = default;

Status PdfDocumentWriter::AddPage(const FaxPage& page, const PdfPageExtras& extras) {
  return impl_->AddPage(page, extras);
}

Status PdfDocumentWriter::Finish() { return impl_->Finish(); }

int PdfDocumentWriter::PagesWritten() const { return impl_->PagesWritten(); }

}  // namespace tamarind
