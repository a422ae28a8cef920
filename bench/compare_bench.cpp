// Times the comparison of a fetched manifest with the kept copy at the sizes a manifest can reach.
//
//     build/bench/compare_bench
//
// Prints one line per case; exits non-zero when two full manifests take 50 ms or more to compare.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "transfer/manifest.h"

namespace tarnwick {
namespace {

constexpr int kRuns = 5;
constexpr double kLimitMs = 50.0;

struct Timing {
  double bestMs = 0;
  double medianMs = 0;
  size_t downloads = 0;
  size_t noLongerListed = 0;
};

std::string Details(std::mt19937& random) {
  const auto size = static_cast<unsigned long>(1000 + random() % 5000000);
  const auto day = static_cast<unsigned long>(1 + random() % 28);
  char details[32];
  std::snprintf(details, sizeof details, " %lu 2026-11-%02lu", size, day);
  return details;
}

std::string Numbered(const char* prefix, size_t number, const char* suffix) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%05zu", number);
  return prefix + std::string(digits) + suffix;
}

// The kept copy and a fetched manifest of the same generation, both full: a tenth of the entries
// changed, a few hundred names renamed by case, as many dropped as there are new names that sort first.
void FullManifests(Manifest& kept, Manifest& fetched) {
  std::mt19937 random(7);
  kept = Manifest{"G", "41", {}};
  fetched = Manifest{"G", "42", {}};
  for (size_t i = 0; i < kMaxListEntries; ++i) {
    kept.entries.push_back(Numbered("doc", i, ".pdf") + Details(random));
  }
  size_t dropped = 0;
  for (const auto& line : kept.entries) {
    const auto roll = random() % 100;
    if (roll < 2) {
      ++dropped;
    } else if (roll < 3) {
      fetched.entries.push_back("D" + line.substr(1));
    } else if (roll < 13) {
      fetched.entries.push_back(std::string(EntryName(line)) + Details(random));
    } else {
      fetched.entries.push_back(line);
    }
  }
  for (size_t i = 0; i < dropped; ++i) {
    fetched.entries.push_back(Numbered("agenda", i, ".doc") + Details(random));
  }
  // Neither file is written in the order of the comparison.
  std::shuffle(kept.entries.begin(), kept.entries.end(), random);
  std::shuffle(fetched.entries.begin(), fetched.entries.end(), random);
}

// Every kept entry is still listed, after as many new names that all sort before the first of them.
void NewNamesFirst(size_t count, Manifest& kept, Manifest& fetched) {
  std::mt19937 random(11);
  kept = Manifest{"G", "41", {}};
  fetched = Manifest{"G", "42", {}};
  for (size_t i = 0; i < count; ++i) {
    kept.entries.push_back(Numbered("doc", i, ".pdf") + Details(random));
    fetched.entries.push_back(Numbered("agenda", i, ".doc") + Details(random));
  }
  fetched.entries.insert(fetched.entries.end(), kept.entries.begin(), kept.entries.end());
}

Timing Time(const Manifest& kept, const Manifest& fetched) {
  std::vector<double> runs;
  Timing timing;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const auto difference = CompareManifests(kept, fetched);
    const auto end = std::chrono::steady_clock::now();
    runs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    if (difference) {
      timing.downloads = difference->downloadList.size();
      timing.noLongerListed = difference->noLongerListed.size();
    }
  }
  std::sort(runs.begin(), runs.end());
  timing.bestMs = runs.front();
  timing.medianMs = runs[runs.size() / 2];
  return timing;
}

void Print(const char* what, const Manifest& kept, const Manifest& fetched, const Timing& timing) {
  std::printf("compare %zu + %zu entries%s: best %.1f ms, median %.1f ms (%zu to fetch, %zu no longer listed)\n",
              kept.entries.size(), fetched.entries.size(), what, timing.bestMs, timing.medianMs, timing.downloads,
              timing.noLongerListed);
}

}  // namespace
}  // namespace tarnwick

int main() {
  using namespace tarnwick;
  Manifest kept;
  Manifest fetched;

  FullManifests(kept, fetched);
  const Timing full = Time(kept, fetched);
  Print("", kept, fetched, full);

  NewNamesFirst(16000, kept, fetched);
  Print(", every new name sorting first", kept, fetched, Time(kept, fetched));

  if (full.bestMs >= kLimitMs) {
    std::printf("TOO SLOW: two full manifests took %.1f ms at best, the limit is %.0f ms\n", full.bestMs, kLimitMs);
    return 1;
  }
  return 0;
}
