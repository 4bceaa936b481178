#include "support/real_pages.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <stdexcept>
#include <system_error>

#include "support/test_files.h"

namespace tamarind::test {
namespace {

struct PageRecipe {
  const char* name;
  PageCoding coding;
  int32_t width;
  bool fine;
};

constexpr PageRecipe kRecipes[] = {
    {"text-standard-g3", PageCoding::kGroup3, 1728, false},
    {"text-fine-g3", PageCoding::kGroup3, 1728, true},
    {"text-fine-g3-align8", PageCoding::kGroup3, 1728, true},
    {"text-standard-g4", PageCoding::kGroup4, 1728, false},
    {"text-fine-g4", PageCoding::kGroup4, 1728, true},
    {"halftone-g3", PageCoding::kGroup3, 1728, true},
    {"halftone-g4", PageCoding::kGroup4, 1728, true},
    {"wide-g3", PageCoding::kGroup3, 2048, false},
    {"wide-g4", PageCoding::kGroup4, 2048, false},
};

}  // namespace

const char* const kMakeDocumentScript = R"SH(
set -e
doc=$(man -w groff 2>/dev/null || true)
if [ -n "$doc" ] && [ -r "$doc" ]; then
  zcat -f "$doc" | groff -man -Tps > doc.ps
else
  groff -Tps /usr/share/common-licenses/GPL-3 > doc.ps
fi
)SH";

namespace {

// Makes <name>.fax (coded, MSB first), <name>.pbm (the independent decoder's
// bitmap) and <name>.log (its complaints) for every recipe, in the current
// folder. Page 2 of the document is dense running text.
const std::string kMakePagesScript = std::string(kMakeDocumentScript) + R"SH(
gs_page() { gs -q -dSAFER -dNOPAUSE -dBATCH -sPAPERSIZE=a4 -dFirstPage=2 -dLastPage=2 "$@" doc.ps; }
gs_page -sDEVICE=pbmraw -r204x98 -sOutputFile=standard.pbm
gs_page -sDEVICE=pbmraw -r204x196 -sOutputFile=fine.pbm
pnmpad -white -right=42 standard.pbm > standard1728.pbm
pnmpad -white -right=42 fine.pbm > fine1728.pbm
convert logo: -resize 1728x -colorspace gray -dither FloydSteinberg -monochrome pbm:halftone.pbm
convert standard1728.pbm -gravity northwest -background white -extent 2048x1200 -monochrome pbm:wide.pbm

pbmtog3 -nofixedwidth standard1728.pbm > text-standard-g3.fax
gs_page -sDEVICE=faxg3 -r204x196 -sOutputFile=text-fine-g3.fax
pbmtog3 -nofixedwidth -align8 fine1728.pbm > text-fine-g3-align8.fax
gs_page -sDEVICE=faxg4 -r204x98 -sOutputFile=text-standard-g4.fax
convert fine1728.pbm GROUP4:text-fine-g4.fax
pbmtog3 -nofixedwidth halftone.pbm > halftone-g3.fax
convert halftone.pbm GROUP4:halftone-g4.fax
pbmtog3 -nofixedwidth wide.pbm > wide-g3.fax
convert wide.pbm GROUP4:wide-g4.fax

g3ref() { g3topbm -width="$2" "$1.fax" > "$1.pbm" 2> "$1.log"; }
g4ref() {
  fax2tiff -4 -M -u -X "$2" -o "$1.tif" "$1.fax" 2> "$1.log"
  tifftopnm "$1.tif" > "$1.pbm" 2>> "$1.log"
  rm -f "$1.tif"
}
g3ref text-standard-g3 1728
g3ref text-fine-g3 1728
g3ref text-fine-g3-align8 1728
g4ref text-standard-g4 1728
g4ref text-fine-g4 1728
g3ref halftone-g3 1728
g4ref halftone-g4 1728
g3ref wide-g3 2048
g4ref wide-g4 2048
rm -f doc.ps standard.pbm fine.pbm standard1728.pbm fine1728.pbm halftone.pbm wide.pbm
)SH";

// g3topbm names the row it could not finish; the rows before it are exact.
void CutAtUnfinishedRow(Bitmap& bitmap, const std::string& log) {
  static const std::regex unfinished("Problem reading Row ([0-9]+)");
  std::smatch match;
  if (!std::regex_search(log, match, unfinished)) return;
  int32_t rows = std::stoi(match[1]);
  if (rows < bitmap.height) {
    bitmap.height = rows;
    bitmap.rows.resize(static_cast<size_t>(rows) * static_cast<size_t>(bitmap.bytes_per_row));
  }
}

std::vector<RealPage> LoadPages() {
  const std::string folder = CachedTestData("real_pages", kMakePagesScript);
  std::vector<RealPage> pages;
  for (const PageRecipe& recipe : kRecipes) {
    RealPage page;
    page.name = recipe.name;
    page.coding = recipe.coding;
    page.width = recipe.width;
    page.fine = recipe.fine;
    std::string base = folder + "/" + recipe.name;
    page.coded = ReadFileBytes(base + ".fax");
    page.reference = ReadPbm(base + ".pbm");
    if (page.coding == PageCoding::kGroup3) CutAtUnfinishedRow(page.reference, ReadFileText(base + ".log"));
    if (page.reference.width != page.width || page.reference.height == 0 || page.coded.empty())
      throw std::runtime_error("real test page " + page.name + " is not usable");
    pages.push_back(std::move(page));
  }
  return pages;
}

// Skips PBM whitespace and comments, then reads one decimal number.
int32_t ReadPbmNumber(std::istream& in) {
  int c = in.get();
  while (c == '#' || std::isspace(c)) {
    if (c == '#')
      while (c != '\n' && c != EOF) c = in.get();
    c = in.get();
  }
  if (!std::isdigit(c)) throw std::runtime_error("bad PBM header");
  int64_t value = 0;
  while (std::isdigit(c)) {
    value = value * 10 + (c - '0');
    if (value > 1'000'000) throw std::runtime_error("PBM size out of range");
    c = in.get();
  }
  return static_cast<int32_t>(value);  // the single whitespace after it is consumed
}

bool RowIsWhite(std::span<const uint8_t> row, int32_t width, bool one_is_white) {
  for (int32_t x = 0; x < width; ++x) {
    bool bit = (row[static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1;
    if (bit != one_is_white) return false;
  }
  return true;
}

// 16 hexadecimal digits of the FNV-1a hash of |recipe|: a changed recipe
// never reads data made by an older one.
std::string RecipeKey(std::string_view recipe) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char byte : recipe) hash = (hash ^ byte) * 0x100000001b3ull;
  char key[17];
  std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(hash));
  return key;
}

}  // namespace

std::string CachedTestData(const std::string& name, const std::string& script) {
  const std::string folder = BinaryDir() + "/testdata/" + name + "-" + RecipeKey(script);
  if (FileExists(folder)) return folder;
  std::filesystem::create_directories(std::filesystem::path(folder).parent_path());
  const std::string scratch = folder + ".tmp-" + std::to_string(getpid());
  std::filesystem::remove_all(scratch);
  std::filesystem::create_directories(scratch);
  const CommandResult made = RunCommand("cd " + ShellQuote(scratch) + " && sh -c " + ShellQuote(script) + " 2>&1");
  if (made.exitCode != 0) {
    std::filesystem::remove_all(scratch);
    throw std::runtime_error("making the test data " + name + " failed:\n" + made.output);
  }
  std::error_code error;
  std::filesystem::rename(scratch, folder, error);
  if (error) std::filesystem::remove_all(scratch);  // another process was first
  return folder;
}

Bitmap ReadPbm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  char magic[2] = {};
  in.read(magic, 2);
  if (magic[0] != 'P' || magic[1] != '4') throw std::runtime_error(path + " is not a raw PBM");
  Bitmap bitmap;
  bitmap.width = ReadPbmNumber(in);
  bitmap.height = ReadPbmNumber(in);
  bitmap.bytes_per_row = (bitmap.width + 7) / 8;
  bitmap.rows.resize(static_cast<size_t>(bitmap.bytes_per_row) * static_cast<size_t>(bitmap.height));
  in.read(reinterpret_cast<char*>(bitmap.rows.data()), static_cast<std::streamsize>(bitmap.rows.size()));
  if (!in) throw std::runtime_error(path + " is truncated");
  return bitmap;
}

const std::vector<RealPage>& RealPages() {
  static std::once_flag once;
  static std::vector<RealPage> pages;
  std::call_once(once, [] { pages = LoadPages(); });
  return pages;
}

const RealPage& RealPageNamed(std::string_view name) {
  for (const RealPage& page : RealPages())
    if (page.name == name) return page;
  throw std::out_of_range("no real test page " + std::string(name));
}

bool SameRow(const Bitmap& reference, int32_t ref_row, const FaxPage& page, int32_t page_row) {
  if (reference.width != page.width) return false;
  std::span<const uint8_t> expected = reference.Row(ref_row);
  std::span<const uint8_t> actual = page.Row(page_row);
  int32_t whole = reference.width / 8;
  for (int32_t i = 0; i < whole; ++i)
    if (static_cast<uint8_t>(~expected[static_cast<size_t>(i)]) != actual[static_cast<size_t>(i)]) return false;
  int32_t rest = reference.width % 8;
  if (rest == 0) return true;
  uint8_t mask = static_cast<uint8_t>(0xFF << (8 - rest));
  return ((~expected[static_cast<size_t>(whole)] ^ actual[static_cast<size_t>(whole)]) & mask) == 0;
}

bool IsWhiteRow(const Bitmap& reference, int32_t row) { return RowIsWhite(reference.Row(row), reference.width, false); }
bool IsWhiteRow(const FaxPage& page, int32_t row) { return RowIsWhite(page.Row(row), page.width, true); }

::testing::AssertionResult MatchesReference(const Bitmap& reference, const FaxPage& page) {
  if (page.width != reference.width)
    return ::testing::AssertionFailure() << "width " << page.width << ", reference " << reference.width;
  if (page.height < 0 || page.bits.size() < static_cast<size_t>(page.height) * static_cast<size_t>(page.bytes_per_row))
    return ::testing::AssertionFailure() << "bitmap holds fewer than " << page.height << " rows";
  int32_t common = std::min(page.height, reference.height);
  for (int32_t y = 0; y < common; ++y)
    if (!SameRow(reference, y, page, y)) return ::testing::AssertionFailure() << "row " << y << " differs";
  for (int32_t y = common; y < reference.height; ++y)
    if (!IsWhiteRow(reference, y))
      return ::testing::AssertionFailure()
             << "page ends at row " << page.height << " but reference row " << y << " is not white";
  for (int32_t y = common; y < page.height; ++y)
    if (!IsWhiteRow(page, y))
      return ::testing::AssertionFailure()
             << "reference ends at row " << reference.height << " but page row " << y << " is not white";
  return ::testing::AssertionSuccess() << common << " rows equal";
}

bool ShownBlack(const RealPage& page, int turns, int x, int y, int width, int height) {
  const int upright[4][2] = {{x, y}, {y, width - 1 - x}, {width - 1 - x, height - 1 - y}, {height - 1 - y, x}};
  const auto [px, py] = upright[turns % 4];
  const int row = page.fine ? py : py / 2;
  return row < page.reference.height && page.reference.IsBlack(px, row);
}

FaxPage ToFaxPage(const Bitmap& bitmap) {
  FaxPage page;
  page.width = bitmap.width;
  page.height = bitmap.height;
  page.bytes_per_row = bitmap.bytes_per_row;
  page.bits.resize(bitmap.rows.size());
  std::transform(bitmap.rows.begin(), bitmap.rows.end(), page.bits.begin(),
                 [](uint8_t b) { return static_cast<uint8_t>(~b); });
  return page;
}

}  // namespace tamarind::test
