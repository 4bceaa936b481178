#include "platform/outcome.h"

#include <cstring>

namespace tamarind::platform {

namespace {

// strerror_r comes in two kinds: the XSI one returns 0 and fills the
// buffer, the GNU one returns the text (which may or may not be the
// buffer). Overloads pick whichever the C library declares.
[[maybe_unused]] const char* TextOf(int result, const char* buffer) { return result == 0 ? buffer : nullptr; }
[[maybe_unused]] const char* TextOf(const char* result, const char*) { return result; }

}  // namespace

std::string ErrorText(int error) {
  char buffer[256] = {};
  const char* text = TextOf(strerror_r(error, buffer, sizeof buffer), buffer);
  if (text && *text) return text;
  return "error " + std::to_string(error);
}

}  // namespace tamarind::platform
