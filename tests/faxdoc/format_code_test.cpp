#include "faxdoc/format_code.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "support/test_files.h"

namespace tamarind {
namespace {

using test::ScopedTempDir;

// Only code 11 is ever converted, so what matters is which names get it:
// the four WinFax extensions in any case, and whatever merely begins with
// one of them. The rules that decide the other codes, shown once each
// rather than row by row: the first entry an extension begins with wins,
// and a name without a dot is judged by its last two bytes.
TEST(FormatCodeTest, NamesAreClassifiedByTheStartOfTheirExtension) {
  const std::pair<const char*, FormatCode> cases[] = {
      {"report.FXD", 11},
      {"report.Fxs", 11},
      {"x.fxm", 11},
      {"x.fxr", 11},
      {"a.fxdata", 11},
      {".fxd", 11},
      {"scan.tiff", 16},
      {"x.cals", 6},
      {"x.dbf", -2},
      {"x.txt", -2},
      {"x.doc", 0},
      {"trailing.", 0},
      {"", 0},
      {"faxds", 8},
      {"page", 0},
      {"d", 0},
      // The dot may lie in a folder name.
      {"in.fxd/page", 11},
      {"in.fxd/page.txt", -2},
      {"out.v2/faxed", 0},
  };
  for (auto [name, code] : cases) EXPECT_EQ(FormatCodeFromExtension(name), code) << name;
}

TEST(FormatCodeTest, G3fFilesAreJudgedByTheirFirstBytes) {
  ScopedTempDir dir;
  auto code_of = [&](const std::string& name, std::vector<uint8_t> bytes) {
    test::WriteFileBytes(dir.File(name), bytes);
    return FormatCodeFromExtension(dir.File(name));
  };
  EXPECT_EQ(code_of("a.g3f", {'I', 'I', 0x2A, 0x00, 8, 0, 0, 0}), 17);
  EXPECT_EQ(code_of("b.G3F", {0, 0, 0x2A, 0x00}), 17);
  EXPECT_EQ(code_of("c.g3f", {0, 0, 0x2A, 0x01}), 0);
  EXPECT_EQ(code_of("d.g3f", {0x0B, 0x23, 0, 0xC0, 0x06}), 0);  // a WinFax header is not one
  EXPECT_EQ(code_of("e.g3f", {}), 0);
  // The 16-byte signature at offset 1, checked only when a file starts with it.
  std::vector<uint8_t> signed_file = {0};
  for (char c : std::string_view("G3 FAX IMAGE 1.0")) signed_file.push_back(static_cast<uint8_t>(c));
  EXPECT_EQ(code_of("f.g3f", signed_file), 12);
  signed_file.pop_back();
  EXPECT_EQ(code_of("g.g3f", signed_file), 0);

  EXPECT_EQ(FormatCodeFromExtension(dir.File("missing.g3f")), 0);
  std::filesystem::create_directory(dir.File("folder.g3f"));
  EXPECT_EQ(FormatCodeFromExtension(dir.File("folder.g3f")), 0);
}

}  // namespace
}  // namespace tamarind
