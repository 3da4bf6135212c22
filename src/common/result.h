// The outcome of an operation that can fail: success, or the system's error
// code of the failure, handed back as a value rather than left in the
// thread's last error. Converts to bool, so "if (!op())" reads as before.
#pragma once

#include <cstdint>

class [[nodiscard]] Result {
public:
  Result() = default; // success
  // A failure always carries a code: 0 would read as success, so it
  // becomes ERROR_GEN_FAILURE (31).
  static Result failure(std::uint32_t error) { return Result(error ? error : 31u); }

  explicit operator bool() const { return error_ == 0; }
  std::uint32_t error() const { return error_; }
  bool failedWith(std::uint32_t error) const { return error_ != 0 && error_ == error; }

private:
  explicit Result(std::uint32_t error) : error_(error) {}
  std::uint32_t error_ = 0;
};
