// A result that carries the reason of a failure from where it happens to
// where it is reported: either a value or a failure with a message in the
// user's words ("out/a.jpg: Permission denied").
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace tamarind::platform {

// The system's text for the errno value |error| ("File too large"). Safe
// from any thread, unlike strerror, whose buffer another thread may be
// rewriting; use it wherever errno is shown.
std::string ErrorText(int error);

struct Failure {
  std::string reason;
};

// Ok, or a Failure. Converts from a Failure, so `return Failure{why};`
// reads naturally.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Failure failure) : reason_(std::move(failure.reason)), failed_(true) {}

  static Status Ok() { return {}; }
  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  // "" when ok.
  const std::string& reason() const { return reason_; }

 private:
  std::string reason_;
  bool failed_ = false;
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
  const std::string& reason() const {
    static const std::string kNone;
    return ok() ? kNone : std::get<1>(state_).reason;
  }
  Status status() const { return ok() ? Status() : Status(Failure{reason()}); }

 private:
  std::variant<T, Failure> state_;
};

}  // namespace tamarind::platform
