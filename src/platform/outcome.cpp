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
#ifdef _WIN32
  const char* text = strerror_s(buffer, sizeof buffer, error) == 0 ? buffer : nullptr;
#else
  const char* text = TextOf(strerror_r(error, buffer, sizeof buffer), buffer);
#endif
  if (text && *text) return text;
  return "error " + std::to_string(error);
}

const std::string& NoReason() {
  static const std::string kNone;
  return kNone;
}

Failure::Failure(std::string path, int error, std::string context)
    : path_(std::move(path)), error_(error), context_(std::move(context)) {
  Form();
}

void Failure::Form() {
  message_.clear();
  for (std::string_view part : {std::string_view(path_), std::string_view(context_)}) {
    if (part.empty()) continue;
    if (!message_.empty()) message_ += ": ";
    message_ += part;
  }
  if (error_ != 0) {
    if (!message_.empty()) message_ += ": ";
    message_ += ErrorText(error_);
  }
  if (!also_.empty()) message_ += "; " + also_;
}

Failure Failure::WithPath(std::string path) && {
  if (path_.empty()) {
    path_ = std::move(path);
    Form();
  }
  return std::move(*this);
}

Failure Failure::Also(const Failure& later) && {
  if (!also_.empty()) also_ += "; ";
  also_ += later.message();
  Form();
  return std::move(*this);
}

}  // namespace tamarind::platform
