// How the terminal and the run log put a run's numbers into words.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/run_journal.h"

namespace tarnwick {

// Seconds on the steady clock since `start`.
double SecondsSince(std::chrono::steady_clock::time_point start);
// "512 B", "20.0 KiB", "1.5 MiB", "2.10 GiB".
std::string FormatBytes(std::uint64_t bytes);
// "0.25 s", "12.5 s", "200 s".
std::string FormatSeconds(double seconds);
// Bytes over seconds as "850 KiB/s"; "-" when no time has passed.
std::string FormatRate(std::uint64_t bytes, double seconds);
// "Server busy: next try in 8 s (try 3 of 6; <the refusal>)"; without " of 6" when the tries have no count.
std::string BusyLine(const TransferWait& wait);
// The end of a completed run: what came, how much, how fast; and the names no longer listed.
std::vector<std::string> SummaryLines(const RunSummary& summary, double seconds);

}  // namespace tarnwick
