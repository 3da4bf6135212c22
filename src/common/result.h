// The outcome of an operation that can fail: success, or the system's error
// code of the failure and the name of the call that failed, handed back as
// a value rather than left in the thread's last error or logged on the way.
// The caller decides whether and how to say it. Converts to bool, so
// "if (!op())" reads as before. Expected<T> is the same for an operation
// that answers a value.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

class [[nodiscard]] Result {
public:
  Result() = default; // success
  // A failure always carries a code: 0 would read as success, so it
  // becomes ERROR_GEN_FAILURE (31). A failure without a call is an answer
  // rather than a fault (a service that does not exist, an item the system
  // does not know): there is nothing to log.
  static Result failure(std::uint32_t error, const char *call = nullptr) {
    return Result(error ? error : 31u, call, false);
  }
  // A refusal that leaves things where the caller wanted them (a start of a
  // service that runs already): worth a line, not an alarm.
  static Result refusal(std::uint32_t error, const char *call) { return Result(error, call, true); }
  // The failure with subject: what it failed at (a value's name, a reason
  // in words), for the caller's own message.
  Result about(std::string subject) && {
    subject_ = std::move(subject);
    return std::move(*this);
  }

  explicit operator bool() const { return error_ == 0; }
  std::uint32_t error() const { return error_; }
  bool failedWith(std::uint32_t error) const { return error_ != 0 && error_ == error; }
  const char *call() const { return call_; }
  bool routine() const { return routine_; }
  const std::string &subject() const { return subject_; }

private:
  Result(std::uint32_t error, const char *call, bool routine)
      : error_(error), call_(call), routine_(routine) {}
  std::uint32_t error_ = 0;
  const char *call_ = nullptr;
  bool routine_ = false;
  std::string subject_;
};

// A value, or the Result of the failure that kept it from being had.
template <typename T> class [[nodiscard]] Expected {
public:
  Expected(T value) : value_(std::move(value)) {}
  Expected(Result failure) : result_(std::move(failure)) {}

  explicit operator bool() const { return static_cast<bool>(result_); }
  const Result &result() const { return result_; }
  std::uint32_t error() const { return result_.error(); }
  T &operator*() { return value_; }
  const T &operator*() const { return value_; }
  T *operator->() { return &value_; }
  const T *operator->() const { return &value_; }

private:
  Result result_;
  T value_{};
};
