// The outcome of an operation that depends on the world outside the
// program (a file, a folder, the disk): its value, or why it failed, in
// words fit for the log. Faults of the program itself end the step instead
// (host/exit.h).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace x11sa {

// Why an operation failed.
struct Failure {
  std::string reason;
};

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : outcome_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design
  Result(Failure failure) : outcome_(std::in_place_index<1>, std::move(failure)) {}  // NOLINT

  [[nodiscard]] bool ok() const noexcept { return outcome_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }
  // The value; only when ok().
  [[nodiscard]] T& value() & { return std::get<0>(outcome_); }
  [[nodiscard]] T&& value() && { return std::get<0>(std::move(outcome_)); }
  T* operator->() { return &value(); }
  // Why it failed; only when !ok().
  [[nodiscard]] const std::string& error() const { return std::get<1>(outcome_).reason; }

 private:
  std::variant<T, Failure> outcome_;
};

// An operation that gives nothing back but may fail.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Failure failure) : failure_(std::move(failure)) {}  // NOLINT: implicit by design

  [[nodiscard]] bool ok() const noexcept { return !failure_; }
  explicit operator bool() const noexcept { return ok(); }
  // Why it failed; only when !ok().
  [[nodiscard]] const std::string& error() const { return failure_->reason; }

 private:
  std::optional<Failure> failure_;
};

}  // namespace x11sa
