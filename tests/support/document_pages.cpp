#include "support/document_pages.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <regex>
#include <stdexcept>

#include "support/page_images.h"
#include "support/test_files.h"

namespace tamarind::test {
namespace {

constexpr int kPages = 6;

// Makes fine-N.pbm, standard-N.pbm and words-N.html (pdftotext's words with
// their boxes, line by line) for pages 1 to 6, in the current folder.
const std::string kMakePagesScript = std::string(kMakeDocumentScript) + R"SH(
render() {
  gs -q -dSAFER -dNOPAUSE -dBATCH -sPAPERSIZE=a4 -dFirstPage=1 -dLastPage=6 -sDEVICE=pbmraw -r$1 \
    -sOutputFile=raw-$2-%d.pbm doc.ps
  for n in 1 2 3 4 5 6; do pnmpad -white -right=42 raw-$2-$n.pbm > $2-$n.pbm; done
}
render 204x196 fine
render 204x98 standard
ps2pdf -sPAPERSIZE=a4 doc.ps doc.pdf
for n in 1 2 3 4 5 6; do pdftotext -q -f $n -l $n -bbox-layout doc.pdf words-$n.html; done
rm -f doc.ps doc.pdf raw-*.pbm
)SH";

std::string Unescape(std::string text) {
  static const std::pair<const char*, const char*> kEntities[] = {{"&lt;", "<"},   {"&gt;", ">"},  {"&quot;", "\""},
                                                                  {"&apos;", "'"}, {"&#39;", "'"}, {"&amp;", "&"}};
  for (const auto& [entity, plain] : kEntities)
    for (size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1))
      text.replace(at, std::string_view(entity).size(), plain);
  return text;
}

// Reads pdftotext's -bbox-layout page: the words in order, and the text
// with one line per <line> element.
void ReadWords(const std::string& html, DocumentPage& page) {
  static const std::regex kLineOrWord(
      R"re(<line |<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
  bool line_open = false;
  for (std::sregex_iterator it(html.begin(), html.end(), kLineOrWord), end; it != end; ++it) {
    const std::smatch& match = *it;
    if (!match[1].matched) {
      if (line_open) page.text += '\n';
      line_open = false;
      continue;
    }
    SourceWord word{Unescape(match[5]), std::stod(match[1]), std::stod(match[2]), std::stod(match[3]),
                    std::stod(match[4])};
    page.text += (line_open ? " " : "") + word.text;
    line_open = true;
    page.words.push_back(std::move(word));
  }
  if (line_open) page.text += '\n';
}

std::vector<DocumentPage> LoadPages() {
  const std::string folder = CachedTestData("document_pages", kMakePagesScript);
  std::vector<DocumentPage> pages;
  for (int n = 1; n <= kPages; ++n) {
    DocumentPage page;
    page.number = n;
    const std::string suffix = "-" + std::to_string(n);
    page.fine = ReadPbm(folder + "/fine" + suffix + ".pbm");
    page.standard = ReadPbm(folder + "/standard" + suffix + ".pbm");
    ReadWords(ReadFileText(folder + "/words" + suffix + ".html"), page);
    if (page.words.empty()) throw std::runtime_error("document page " + std::to_string(n) + " has no words");
    pages.push_back(std::move(page));
  }
  return pages;
}

// Unicode's compatibility ligatures U+FB00 to U+FB06 and their NFKC forms.
std::string ExpandLigatures(std::string_view text) {
  static const char* const kExpansions[] = {"ff", "fi", "fl", "ffi", "ffl", "st", "st"};
  std::string expanded;
  expanded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    // U+FB00..U+FB06 in UTF-8: EF AC 80..86.
    const auto byte = [&](size_t at) { return static_cast<uint8_t>(text[at]); };
    if (i + 2 < text.size() && byte(i) == 0xEF && byte(i + 1) == 0xAC && byte(i + 2) >= 0x80 && byte(i + 2) <= 0x86) {
      expanded += kExpansions[byte(i + 2) - 0x80];
      i += 2;
    } else {
      expanded += text[i];
    }
  }
  return expanded;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The length of a hyphen at |at| that ends a line (the hyphen, blanks, the
// line break and the next line's indent), or 0. Hyphens are '-', U+2010 and
// the soft hyphen U+00AD.
size_t LineEndHyphen(std::string_view text, size_t at) {
  size_t end = at;
  if (text.substr(at, 1) == "-") end = at + 1;
  else if (text.substr(at, 3) == "\xE2\x80\x90") end = at + 3;
  else if (text.substr(at, 2) == "\xC2\xAD") end = at + 2;
  else return 0;
  while (end < text.size() && (text[end] == ' ' || text[end] == '\r')) ++end;
  if (end >= text.size() || text[end] != '\n') return 0;
  ++end;
  while (end < text.size() && (text[end] == ' ' || text[end] == '\n')) ++end;
  return end - at;
}

}  // namespace

const std::vector<DocumentPage>& DocumentPages() {
  static std::once_flag once;
  static std::vector<DocumentPage> pages;
  std::call_once(once, [] { pages = LoadPages(); });
  return pages;
}

FaxPage FaxPageOf(const Bitmap& bitmap, bool fine) { return PageFromBitmap(bitmap, bitmap.width, fine ? 200 : 100); }

Bitmap Rotated180(const Bitmap& bitmap) {
  Bitmap turned = bitmap;
  std::fill(turned.rows.begin(), turned.rows.end(), 0);
  for (int32_t y = 0; y < bitmap.height; ++y)
    for (int32_t x = 0; x < bitmap.width; ++x)
      if (bitmap.IsBlack(x, y)) {
        const int32_t tx = bitmap.width - 1 - x;
        const size_t at = static_cast<size_t>(bitmap.height - 1 - y) * static_cast<size_t>(bitmap.bytes_per_row) +
                          static_cast<size_t>(tx / 8);
        turned.rows[at] = static_cast<uint8_t>(turned.rows[at] | (0x80 >> (tx % 8)));
      }
  return turned;
}

std::vector<std::string> RecallWords(std::string_view text) {
  const std::string expanded = ExpandLigatures(text);
  std::vector<std::string> words;
  std::string word;
  auto finish = [&] {
    if (word.size() >= 3) words.push_back(word);
    word.clear();
  };
  for (size_t i = 0; i < expanded.size(); ++i) {
    if (IsLetter(expanded[i])) {
      word += expanded[i];
    } else if (size_t hyphen = word.empty() ? 0 : LineEndHyphen(expanded, i); hyphen != 0) {
      i += hyphen - 1;  // the word goes on after the line break
    } else {
      finish();
    }
  }
  finish();
  return words;
}

double WordRecall(std::string_view reference, std::string_view recognised) {
  std::map<std::string, int> available;
  for (std::string& word : RecallWords(recognised)) ++available[std::move(word)];
  const std::vector<std::string> wanted = RecallWords(reference);
  if (wanted.empty()) return 1.0;
  size_t found = 0;
  for (const std::string& word : wanted)
    if (int& count = available[word]; count > 0) {
      --count;
      ++found;
    }
  return static_cast<double>(found) / static_cast<double>(wanted.size());
}

}  // namespace tamarind::test
