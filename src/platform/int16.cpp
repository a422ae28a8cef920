#include "platform/int16.h"

namespace tarnwick {

std::int16_t Int16::Checked(long long value) {
  if (value < -32768 || value > 32767) {
    throw OverflowError();
  }
  return static_cast<std::int16_t>(value);
}

}  // namespace tarnwick
