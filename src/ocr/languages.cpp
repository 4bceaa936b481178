#include "ocr/languages.h"

#if __has_include(<tesseract/version.h>)
#include <tesseract/version.h>
#else
#define TESSERACT_MAJOR_VERSION 5  // a build without Tesseract
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/file_handle.h"
#include "platform/paths.h"
#include "platform/string_extras.h"

namespace tamarind::ocr {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDataSuffix = ".traineddata";
constexpr std::string_view kOrientationData = "osd";

bool IsCodeCharacter(char c) {
  return platform::IsDigitAscii(c) || c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsLanguageCode(std::string_view code) {
  return !code.empty() && std::all_of(code.begin(), code.end(), IsCodeCharacter);
}

// Data Tesseract keeps beside the languages that recognises no language.
bool IsAuxiliaryData(std::string_view code) { return code == kOrientationData || code == "equ"; }

bool HasData(const std::string& data_folder, std::string_view code) {
  std::error_code error;
  return fs::is_regular_file(fs::path(data_folder) / (std::string(code) + std::string(kDataSuffix)), error);
}

std::vector<std::string_view> SplitCodes(std::string_view languages) {
  std::vector<std::string_view> codes;
  for (size_t start = 0;;) {
    const size_t plus = languages.find('+', start);
    codes.push_back(languages.substr(start, plus == std::string_view::npos ? std::string_view::npos : plus - start));
    if (plus == std::string_view::npos) return codes;
    start = plus + 1;
  }
}

// Where Debian installs the data for this Tesseract's major version.
std::string DebianDataFolder() {
  return "/usr/share/tesseract-ocr/" + std::to_string(TESSERACT_MAJOR_VERSION) + "/tessdata";
}

}  // namespace

std::string DefaultDataFolder() {
  if (const char* prefix = std::getenv("TESSDATA_PREFIX"); prefix != nullptr && *prefix != '\0') return prefix;
#ifdef _WIN32
  // Installed with the program, in its folder.
  return platform::JoinPath(platform::FolderOf(platform::ModulePath()), "tessdata");
#endif
  return DebianDataFolder();
}

std::vector<std::string> InstalledLanguages(const std::string& data_folder) {
  std::vector<std::string> codes;
  std::error_code error;
  for (fs::directory_iterator it(data_folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (!name.ends_with(kDataSuffix)) continue;
    const std::string code = name.substr(0, name.size() - kDataSuffix.size());
    if (IsLanguageCode(code) && !IsAuxiliaryData(code) && HasData(data_folder, code)) codes.push_back(code);
  }
  std::sort(codes.begin(), codes.end());
  return codes;
}

std::vector<std::string> InstalledLanguages() { return InstalledLanguages(DefaultDataFolder()); }

std::string PackageForLanguage(std::string_view code) {
  std::string package = "tesseract-ocr-" + platform::ToLowerAscii(code);
  std::replace(package.begin(), package.end(), '_', '-');
  return package;
}

platform::Status CheckLanguages(std::string_view languages, const std::string& data_folder) {
  std::vector<std::string_view> missing;
  for (std::string_view code : SplitCodes(languages)) {
    if (!IsLanguageCode(code) || IsAuxiliaryData(code))
      return platform::Failure{"\"" + platform::EscapeControlBytes(languages) +
                               "\" is not a list of text recognition languages (codes such as eng, joined by +)"};
    if (!HasData(data_folder, code) && std::find(missing.begin(), missing.end(), code) == missing.end())
      missing.push_back(code);
  }
  if (!HasData(data_folder, kOrientationData)) missing.push_back(kOrientationData);
  if (missing.empty()) return platform::Status::Ok();

  std::string codes;
  std::string packages;
  for (std::string_view code : missing) {
    codes += (codes.empty() ? "" : ", ") + std::string(code);
    packages += " " + PackageForLanguage(code);
  }
#ifdef _WIN32
  // No package manager: the data files go into the folder by hand.
  return platform::Failure{"text recognition data not installed (" + codes + " in " + data_folder +
                           "): copy the .traineddata file" + (missing.size() > 1 ? "s" : "") + " there"};
#endif
  return platform::Failure{"text recognition data not installed (" + codes + " in " + data_folder +
                           "): install the package" + (missing.size() > 1 ? "s" : "") + packages};
}

platform::Expected<std::vector<uint8_t>> TextLayerFont(const std::string& data_folder) {
  const std::string path = platform::JoinPath(data_folder, "pdf.ttf");
  auto file = platform::OpenRegularFile(path);
  if (!file) return std::move(file).failure();
  // The font is a few hundred bytes; anything large is not it.
  constexpr int64_t kMostBytes = 1 << 20;
  const int64_t size = file->Size();
  if (size <= 0 || size > kMostBytes) return platform::Failure::About(path, "not the text layer's font");
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  platform::Expected<int64_t> read = file->ReadAt(0, bytes);
  if (!read) return std::move(read).failure().WithPath(path);
  if (*read != size) return platform::Failure::About(path, "changed while it was read");
  return bytes;
}

platform::Status CheckTextLayerFont(const std::string& data_folder) {
  if (auto font = TextLayerFont(data_folder); !font) {
    return platform::Failure{font.reason() + " (the text layer's font: the package libtesseract" +
                             std::to_string(TESSERACT_MAJOR_VERSION) + " installs it in " + DebianDataFolder() + ")"};
  }
  return platform::Status::Ok();
}

}  // namespace tamarind::ocr
