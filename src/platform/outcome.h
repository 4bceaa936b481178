// A result that carries the reason of a failure from where it happens to
// where it is reported: either a value or a Failure.
//
// A Failure keeps its parts apart: the file it concerns, the system's error
// number (errno, or 0 when no system call failed) and a few words of
// context. The message is formed from them once, so every layer may add
// the file it knows without naming it twice, and the real cause ("File too
// large", "No space left on device") reaches the user as the system said
// it: "out/m.pdf: File too large", "out/a.jpg: is a device",
// "/tmp: the page's image: No space left on device".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace tamarind::platform {

// The system's text for the errno value |error| ("File too large"). Safe
// from any thread, unlike strerror, whose buffer another thread may be
// rewriting; use it wherever errno is shown.
std::string ErrorText(int error);

// The reason of a result that did not fail: "".
const std::string& NoReason();

class Failure {
 public:
  // A failure told in words only ("no line of it could be decoded").
  explicit Failure(std::string context) : Failure({}, 0, std::move(context)) {}

  // A system call on |path| failed with |error|; |context| says what was
  // being done when that is not plain from the call ("the page's image").
  static Failure System(std::string path, int error, std::string context = {}) {
    return Failure(std::move(path), error, std::move(context));
  }
  // Something about |path| that is not the system's error ("is a FIFO").
  static Failure About(std::string path, std::string context) {
    return Failure(std::move(path), 0, std::move(context));
  }

  const std::string& path() const { return path_; }
  int error() const { return error_; }
  const std::string& context() const { return context_; }
  // "path: context: system text", the parts that are empty left out, then
  // anything added with Also().
  const std::string& message() const { return message_; }

  // The same failure naming |path| unless it names a file already: a
  // caller that knows the file adds it, and no file is named twice.
  Failure WithPath(std::string path) &&;
  // A second thing that went wrong while handling the first ("...;
  // x.tmp: cannot be removed: Permission denied").
  Failure Also(const Failure& later) &&;

 private:
  Failure(std::string path, int error, std::string context);
  void Form();

  std::string path_;
  int error_ = 0;
  std::string context_;
  std::string also_;
  std::string message_;
};

// Ok, or a Failure. Converts from a Failure, so `return Failure{why};`
// reads naturally.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Failure failure) : failure_(std::move(failure)) {}

  static Status Ok() { return {}; }
  bool ok() const { return !failure_; }
  explicit operator bool() const { return ok(); }
  // The message; "" when ok.
  const std::string& reason() const { return failure_ ? failure_->message() : NoReason(); }
  // errno of the failure; 0 when ok or when no system call failed.
  int error() const { return failure_ ? failure_->error() : 0; }
  // Only when !ok().
  const Failure& failure() const& { return *failure_; }
  Failure failure() && { return std::move(*failure_); }

 private:
  std::optional<Failure> failure_;
};

// A T, or a Failure.
template <typename T>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Expected(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T value_or(T fallback) const { return ok() ? value() : fallback; }
  const std::string& reason() const { return ok() ? NoReason() : failure().message(); }
  int error() const { return ok() ? 0 : failure().error(); }
  // Only when !ok().
  const Failure& failure() const& { return std::get<1>(state_); }
  Failure failure() && { return std::move(std::get<1>(state_)); }
  Status status() const { return ok() ? Status() : Status(failure()); }

 private:
  std::variant<T, Failure> state_;
};

}  // namespace tamarind::platform
