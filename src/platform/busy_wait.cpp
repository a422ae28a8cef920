#include "platform/busy_wait.h"

#include <algorithm>

namespace tarnwick {

std::chrono::milliseconds BusyPauseCeiling(int nextTry) {
  long long ceiling = kBusyFirstPauseMs;
  for (int n = 2; n < nextTry && ceiling < kBusyLongestPauseMs; ++n) {
    ceiling *= 2;
  }
  return std::chrono::milliseconds(std::min<long long>(ceiling, kBusyLongestPauseMs));
}

std::optional<BusyPause> BusyWait::NextPause(std::chrono::milliseconds elapsed, std::minstd_rand& random) {
  if ((tries_ > 0 && triesMade_ >= tries_) || elapsed >= budget_) {
    return std::nullopt;
  }
  ++triesMade_;
  const auto ceiling = BusyPauseCeiling(triesMade_);
  const double share = std::uniform_real_distribution<double>(0, 1)(random);
  const auto length = std::chrono::milliseconds(static_cast<long long>(static_cast<double>(ceiling.count()) * share));
  return BusyPause{std::min(length, budget_ - elapsed), triesMade_};
}

}  // namespace tarnwick
