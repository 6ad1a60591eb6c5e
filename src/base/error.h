// Failures as values. An Error holds context messages outermost first, the
// last one being the cause; callers add one frame saying what they were doing.
// Result<T> is a value or an Error; Status is Result<void>.
#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>
#include <vector>

class [[nodiscard]] Error {
 public:
  explicit Error(std::string cause) : messages_{std::move(cause)} {}

  // Returns this error with `outer` in front of its messages.
  Error context(std::string outer) && {
    messages_.insert(messages_.begin(), std::move(outer));
    return std::move(*this);
  }

  const std::vector<std::string>& messages() const { return messages_; }

  // The messages joined by ": ", outermost first.
  std::string message() const;

  bool operator==(const Error&) const = default;

 private:
  std::vector<std::string> messages_;
};

// An Error whose cause is the operating system's message for `errnum`.
Error os_error(int errnum);

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return state_.index() == 0; }

  // REQUIRES: ok()
  T& value() & { assert(ok()); return std::get<0>(state_); }
  const T& value() const& { assert(ok()); return std::get<0>(state_); }
  T&& value() && { assert(ok()); return std::get<0>(std::move(state_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

  // REQUIRES: !ok()
  const Error& error() const& { assert(!ok()); return std::get<1>(state_); }
  Error&& error() && { assert(!ok()); return std::get<1>(std::move(state_)); }

  // On failure, adds `outer` as the outermost context; a value passes through.
  Result context(std::string outer) && {
    if (ok()) return std::move(*this);
    return std::get<1>(std::move(state_)).context(std::move(outer));
  }

 private:
  std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : error_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return error_.index() == 0; }

  const Error& error() const& { assert(!ok()); return std::get<1>(error_); }
  Error&& error() && { assert(!ok()); return std::get<1>(std::move(error_)); }

  Result context(std::string outer) && {
    if (ok()) return std::move(*this);
    return std::get<1>(std::move(error_)).context(std::move(outer));
  }

 private:
  std::variant<std::monostate, Error> error_;
};

using Status = Result<void>;

#define TOVIK_CONCAT_INNER(a, b) a##b
#define TOVIK_CONCAT(a, b) TOVIK_CONCAT_INNER(a, b)

// Returns the error of `expr` (a Status or Result) from the enclosing function.
#define RETURN_IF_ERROR(expr)                                   \
  do {                                                          \
    if (auto tovik_status_ = (expr); !tovik_status_.ok())       \
      return std::move(tovik_status_).error();                  \
  } while (0)

// Declares or assigns `lhs` from the value of `expr`, a Result, or returns its
// error from the enclosing function.
#define ASSIGN_OR_RETURN(lhs, expr)                                      \
  auto TOVIK_CONCAT(tovik_result_, __LINE__) = (expr);                   \
  if (!TOVIK_CONCAT(tovik_result_, __LINE__).ok())                       \
    return std::move(TOVIK_CONCAT(tovik_result_, __LINE__)).error();     \
  lhs = std::move(TOVIK_CONCAT(tovik_result_, __LINE__)).value()
