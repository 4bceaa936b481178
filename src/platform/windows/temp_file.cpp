#include "platform/temp_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cerrno>

#include "platform/paths.h"
#include "platform/private_name.h"
#include "platform/windows/handles.h"
#include "platform/windows/unicode.h"

// Windows has no unnamed files: the scratch file gets an exclusive name in
// its folder, no sharing at all (no other process can open it, whatever
// the folder's permissions) and FILE_FLAG_DELETE_ON_CLOSE, so the system
// removes it when the handle closes, also when the process is killed. The
// name stays visible in the folder while the file lives.
//
// It is never mapped: Windows refuses to shorten a file while a view of it
// is mapped (ERROR_USER_MAPPED_FILE), and the pages shrink and grow the
// file; users take the descriptor instead, which MapForWriting's empty
// answer tells them.

namespace tamarind::platform {

namespace {

std::atomic<unsigned> nextSerial{0};
bool SetPosition(HANDLE file, int64_t offset, DWORD from) {
  LARGE_INTEGER to{};
  to.QuadPart = offset;
  return SetFilePointerEx(file, to, nullptr, from);
}

}  // namespace

Expected<std::unique_ptr<PrivateTempFile>> PrivateTempFile::Create(std::string_view folder, std::string_view prefix,
                                                                   std::string_view suffix) {
  std::string name(prefix);
  name += '-' + std::to_string(GetCurrentProcessId()) + '-' + std::to_string(nextSerial.fetch_add(1));
  const std::string folderPath = folder.empty() ? std::string(".") : std::string(folder);
  DWORD code = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kNameAttempts && code == ERROR_FILE_EXISTS; ++attempt) {
    const std::string path = JoinPath(folder, name + "-" + RandomTag() + std::string(suffix));
    const HANDLE file =
        CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      FileHandle handle(AdoptHandle(file, _O_RDWR));
      if (!handle.IsOpen()) return Failure::System(folderPath, EMFILE, "temporary file");
      return std::make_unique<PrivateTempFile>(Token(), std::move(handle), path, std::string(folder));
    }
    code = GetLastError();
  }
  // The folder is what the user can mend (missing, full or read-only).
  return FailureFor(folderPath, code, "temporary file");
}

PrivateTempFile::~PrivateTempFile() = default;

Failure PrivateTempFile::Fail(int error) const {
  return Failure::System(folder_.empty() ? std::string(".") : folder_, error, "temporary file");
}

Status PrivateTempFile::Truncate() {
  const HANDLE file = HandleOf(Descriptor());
  if (SetPosition(file, 0, FILE_BEGIN) && SetEndOfFile(file)) return {};
  return FailureFor(folder_, GetLastError(), "temporary file");
}

Status PrivateTempFile::Resize(int64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = size;
  if (SetFileInformationByHandle(HandleOf(Descriptor()), FileEndOfFileInfo, &end, sizeof end)) return {};
  return FailureFor(folder_, GetLastError(), "temporary file");
}

Status PrivateTempFile::WriteAt(int64_t offset, std::span<const uint8_t> bytes) {
  const HANDLE file = HandleOf(Descriptor());
  while (!bytes.empty()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1 << 30));
    if (!WriteFile(file, bytes.data(), chunk, &n, &at) || n == 0)
      return FailureFor(folder_, n == 0 && GetLastError() == 0 ? ERROR_DISK_FULL : GetLastError(), "temporary file");
    bytes = bytes.subspan(n);
    offset += n;
  }
  return {};
}

Status PrivateTempFile::Write(std::span<const uint8_t> bytes) {
  const HANDLE file = HandleOf(Descriptor());
  while (!bytes.empty()) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1 << 30));
    if (!WriteFile(file, bytes.data(), chunk, &n, nullptr) || n == 0)
      return FailureFor(folder_, n == 0 && GetLastError() == 0 ? ERROR_DISK_FULL : GetLastError(), "temporary file");
    bytes = bytes.subspan(n);
  }
  return {};
}

Expected<int64_t> PrivateTempFile::ReadAt(int64_t offset, std::span<uint8_t> bytes) const {
  Expected<int64_t> read = file_.ReadAt(offset, bytes);
  if (!read) return Fail(read.error() != 0 ? read.error() : EIO);
  return read;
}

int64_t PrivateTempFile::Size() const { return file_.Size(); }

std::span<uint8_t> PrivateTempFile::MapForWriting(int64_t) { return {}; }

void PrivateTempFile::RefuseMapping() { mappingRefused_ = true; }

std::span<const uint8_t> PrivateTempFile::Mapped() const { return {}; }

}  // namespace tamarind::platform
