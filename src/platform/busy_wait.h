// How a busy server is waited for: a request that it refuses for now is made again after a pause, until it
// gets through or the waiting is spent (its time budget, or a count of tries when one is set). The pauses
// grow to about a minute, each drawn at random over its whole length, so that a hall of participants refused
// at once spreads out instead of coming back in waves.
#pragma once

#include <chrono>
#include <optional>
#include <random>

namespace tarnwick {

// bench/hall_model.py reads these three lines as they stand ("inline constexpr int kName = N;").
inline constexpr int kBusyFirstPauseMs = 2000;       // the longest pause before the second try
inline constexpr int kBusyLongestPauseMs = 60000;    // pauses double up to this
inline constexpr int kDefaultBusyWaitSeconds = 600;  // the time a request waits for a busy server in all

// The longest pause before try `nextTry` (2, 3, ...): the first, doubled for every try after the second.
std::chrono::milliseconds BusyPauseCeiling(int nextTry);

struct BusyPause {
  std::chrono::milliseconds length{0};
  int nextTry = 0;  // the try it comes before, counting the first as 1
};

class BusyWait {
 public:
  // `tries` 0: no count, only the budget.
  BusyWait(std::chrono::milliseconds budget, int tries) : budget_(budget), tries_(tries) {}

  // After a refusal for now, `elapsed` after the first try began: the pause before the next try, anywhere
  // between nothing and its ceiling, cut so that the last try comes when the budget ends. Nothing when the
  // waiting is spent.
  std::optional<BusyPause> NextPause(std::chrono::milliseconds elapsed, std::minstd_rand& random);

 private:
  std::chrono::milliseconds budget_;
  int tries_;
  int triesMade_ = 1;  // the pauses given included
};

}  // namespace tarnwick
