#include "platform/console.h"

#include <unistd.h>

#include <cstdio>

namespace tamarind::platform {

void WriteOut(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void WriteErr(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

bool ErrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace tamarind::platform
