#include "faxdoc/format_code.h"

#include <array>
#include <string_view>

#include "platform/file_handle.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

constexpr FormatCode kByContent = 1000;  // decided by ContentFormatCode

struct FormatEntry {
  std::string_view prefix;
  FormatCode code;
};

// Searched in order; an extension matches the first entry it begins with,
// so "tiff" is caught by "tif", "fxdata" by "fxd" and "dbf" by "db".
constexpr FormatEntry kFormatTable[] = {
    {"tif", 16},
    {"tiff", 16},
    {"fmf", 10},
    {"fxd", kWinFaxFormat},
    {"fxm", kWinFaxFormat},
    {"fxr", kWinFaxFormat},
    {"fxs", kWinFaxFormat},
    {"awd", 3},
    {"apf", 1},
    {"bfx", 4},
    {"dcx", 7},
    {"bmp", 5},
    {"cal", 6},
    {"cg4", 6},
    {"gp4", 6},
    {"img", 6},
    {"mil", 6},
    {"oda", 6},
    {"ras", 6},
    {"cals", 6},
    {"ig4", 13},
    {"qfx", 14},
    {"g3n", 17},
    {"g3f", kByContent},
    {"ds", 8},
    {"ed", 9},
    {"sft", 18},
    {"sys", kNotFaxFormat},
    {"dll", kNotFaxFormat},
    {"bat", kNotFaxFormat},
    {"lnk", kNotFaxFormat},
    {"txt", kNotFaxFormat},
    {"zip", kNotFaxFormat},
    {"rar", kNotFaxFormat},
    {"db", kNotFaxFormat},
};

// The 16 bytes that start (at offset 1) the files of format 12.
constexpr std::string_view kFormat12Signature = "G3 FAX IMAGE 1.0";
static_assert(kFormat12Signature.size() == 16);

// A dot is never a byte of a multibyte character in UTF-8 (nor in the
// other encodings file names use here), so a plain byte search is safe.
std::string_view ExtensionOf(std::string_view path) {
  const size_t dot = path.rfind('.');
  if (dot != std::string_view::npos) return path.substr(dot + 1);
  return path.size() < 2 ? path : path.substr(path.size() - 2);
}

// A pipe or a device named ".g3f" is no fax of either kind, and is never
// waited for.
FormatCode ContentFormatCode(const std::string& path) {
  platform::Expected<platform::FileHandle> file = platform::OpenRegularFile(path);
  if (!file) return kUnknownFormat;
  std::array<uint8_t, 18> head{};  // bytes the file lacks stay 0
  (void)file->ReadAt(0, head);     // an unreadable file keeps its zeros: no format
  if (head[2] == 0x2A && head[3] == 0) return 17;
  const std::string_view signature(reinterpret_cast<const char*>(head.data() + 1), kFormat12Signature.size());
  return signature == kFormat12Signature ? 12 : kUnknownFormat;
}

}  // namespace

FormatCode FormatCodeFromExtension(const std::string& path) {
  const std::string_view extension = ExtensionOf(path);
  for (const FormatEntry& entry : kFormatTable) {
    if (platform::StartsWithIgnoringCase(extension, entry.prefix)) {
      return entry.code == kByContent ? ContentFormatCode(path) : entry.code;
    }
  }
  return kUnknownFormat;
}

}  // namespace tamarind
