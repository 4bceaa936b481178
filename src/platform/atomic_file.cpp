// The parts of the atomic writer that are the same on every system: how a
// final path splits into its folder and name, the object's assembly, and
// the replacement name. Opening, committing and discarding are in
// posix/ and windows/.
#include "platform/atomic_file.h"

#include <cstdio>

#include "platform/paths.h"
#include "platform/private_name.h"

namespace tamarind::platform {

namespace {

// A name an output may take: Windows reads a ':' in a name as a stream of
// the file before it, so there it is refused too.
bool IsOutputName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return kNativeStyle != PathStyle::kWindows || name.find(':') == std::string_view::npos;
}

}  // namespace

void AtomicOutputFile::StreamCloser::operator()(std::FILE* stream) const { std::fclose(stream); }

Expected<std::unique_ptr<AtomicOutputFile>> AtomicOutputFile::Create(const std::string& finalPath,
                                                                     OutputOptions options) {
  const size_t cut = LastSeparator(finalPath);
  std::string name = cut == std::string::npos ? finalPath.substr(RootLength(finalPath)) : finalPath.substr(cut + 1);
  if (!IsOutputName(name)) return Failure::About(finalPath, "is not a file name");
  Expected<OutputFolder> folder = OutputFolder::Open(std::string(FolderOf(finalPath)));
  if (!folder) return std::move(folder).failure();
  return CreateIn(std::move(*folder), std::move(name), finalPath, options);
}

Expected<std::unique_ptr<AtomicOutputFile>> AtomicOutputFile::Create(const OutputFolder& root,
                                                                     std::string_view relativePath,
                                                                     OutputOptions options) {
  const size_t cut = LastSeparator(relativePath);
  std::string name(cut == std::string_view::npos ? relativePath : relativePath.substr(cut + 1));
  std::string finalPath = JoinPath(root.Path(), relativePath);
  if (!IsOutputName(name)) return Failure::About(finalPath, "is not a file name");
  Expected<OutputFolder> folder = root.Beneath(cut == std::string_view::npos ? "" : relativePath.substr(0, cut));
  if (!folder) return std::move(folder).failure();
  return CreateIn(std::move(*folder), std::move(name), std::move(finalPath), options);
}

AtomicOutputFile::AtomicOutputFile(Token, Parts&& parts)
    : folder_(std::move(parts.folder)),
      name_(std::move(parts.name)),
      final_path_(std::move(parts.finalPath)),
      temporary_name_(std::move(parts.temporaryName)),
      guard_(std::move(parts.guard)),
      options_(parts.options),
      file_(std::move(parts.file)),
      sink_(std::move(parts.sink)),
      buffer_(std::move(parts.buffer)),
      stream_(std::move(parts.stream)) {}

AtomicOutputFile::~AtomicOutputFile() { (void)Discard(); }

Failure AtomicOutputFile::Fail(int error) const { return Failure::System(final_path_, error); }

std::string AtomicOutputFile::ReplacementNameFor(std::string_view finalName) {
  constexpr std::string_view kSuffix = ".tamarind.tmp";
  constexpr size_t kNameMax = 255;
  if (1 + finalName.size() + kSuffix.size() <= kNameMax) return "." + std::string(finalName) + std::string(kSuffix);
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(NameHash(finalName)));
  return "." + std::string(finalName.substr(0, kMaxStemBytes)) + "." + hash + std::string(kSuffix);
}

}  // namespace tamarind::platform
