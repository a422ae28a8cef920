// Signed 16-bit integer of the run state: arithmetic that leaves -32768..32767 raises OverflowError.
#pragma once

#include <cstdint>
#include <stdexcept>

namespace tarnwick {

class OverflowError : public std::runtime_error {
 public:
  OverflowError() : std::runtime_error("16-bit overflow") {}
};

class Int16 {
 public:
  constexpr Int16() = default;
  Int16(long long value) : value_(Checked(value)) {}  // NOLINT(google-explicit-constructor): reads like the field it models

  int Get() const { return value_; }
  operator int() const { return value_; }  // NOLINT(google-explicit-constructor)

  Int16& operator+=(long long delta) {
    value_ = Checked(value_ + delta);
    return *this;
  }
  Int16& operator-=(long long delta) { return *this += -delta; }

  static std::int16_t Checked(long long value);

 private:
  std::int16_t value_ = 0;
};

// Booleans kept in 16-bit fields.
inline constexpr int kTrue16 = -1;
inline constexpr int kFalse16 = 0;

}  // namespace tarnwick
