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

std::optional<std::chrono::milliseconds> BusyWait::NextPause(std::chrono::milliseconds elapsed,
                                                             std::minstd_rand& random) {
  if ((tries_ > 0 && tries_made_ >= tries_) || elapsed >= budget_) {
    return std::nullopt;
  }
  ++tries_made_;
  const auto ceiling = BusyPauseCeiling(tries_made_);
  const double share = std::uniform_real_distribution<double>(0, 1)(random);
  const auto pause = std::chrono::milliseconds(static_cast<long long>(static_cast<double>(ceiling.count()) * share));
  return std::min(pause, budget_ - elapsed);
}

}  // namespace tarnwick
