#include "platform/console.h"

#include <unistd.h>

#include <cstdio>

namespace tamarind::platform {

namespace {

bool WriteTo(std::FILE* stream, std::string_view text) {
  const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  return std::fflush(stream) == 0 && written && !std::ferror(stream);
}

}  // namespace

bool WriteOut(std::string_view text) { return WriteTo(stdout, text); }

bool WriteErr(std::string_view text) { return WriteTo(stderr, text); }

bool ErrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace tamarind::platform
