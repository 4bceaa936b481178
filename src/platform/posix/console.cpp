#include "platform/console.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace tamarind::platform {

namespace {

// 0 when all of |text| got there, else the error of the write or flush
// that failed (EIO when the stream had failed before and says no more).
int WriteTo(std::FILE* stream, std::string_view text) {
  errno = 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  const int writeError = errno;
  const bool flushed = std::fflush(stream) == 0;
  if (written && flushed && !std::ferror(stream)) return 0;
  if (!written && writeError != 0) return writeError;
  return errno != 0 ? errno : EIO;
}

}  // namespace

bool WriteOut(std::string_view text) { return WriteTo(stdout, text) == 0; }

Status WriteStandardOutput(std::string_view text) {
  const int error = WriteTo(stdout, text);
  if (error == 0) return {};
  return Failure::System("standard output", error);
}

bool WriteErr(std::string_view text) { return WriteTo(stderr, text) == 0; }

bool ErrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace tamarind::platform
