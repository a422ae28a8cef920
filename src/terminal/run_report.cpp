#include "terminal/run_report.h"

#include <cstdio>

#include "window/texts.h"

namespace tarnwick {
namespace {

std::string ThreeFigures(double value) {
  char text[32];
  std::snprintf(text, sizeof text, value < 10 ? "%.2f" : value < 100 ? "%.1f" : "%.0f", value);
  return text;
}

}  // namespace

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string FormatBytes(std::uint64_t bytes) {
  constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  if (bytes < 1024) {
    return std::to_string(bytes) + " B";
  }
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  return ThreeFigures(value) + " " + kUnits[unit];
}

std::string FormatSeconds(double seconds) { return ThreeFigures(seconds) + " s"; }

std::string FormatRate(std::uint64_t bytes, double seconds) {
  if (seconds <= 0) {
    return "-";
  }
  return FormatBytes(static_cast<std::uint64_t>(static_cast<double>(bytes) / seconds)) + "/s";
}

std::vector<std::string> SummaryLines(const RunSummary& summary, double seconds) {
  std::vector<std::string> lines;
  lines.push_back("Fetched " + std::to_string(summary.files) + (summary.files == 1 ? " file, " : " files, ") +
                  FormatBytes(summary.bytes) + " in " + FormatSeconds(seconds) + " (" +
                  FormatRate(summary.bytes, seconds) + ")");
  if (!summary.noLongerListed.empty()) {
    std::string names;
    for (const auto& name : summary.noLongerListed) {
      names += (names.empty() ? "" : ", ") + name;
    }
    lines.push_back("No longer listed on the server, kept on disk: " + names);
  }
  return lines;
}

std::string BusyLine(const TransferWait& wait) {
  const std::string of = wait.tries > 0 ? " of " + std::to_string(wait.tries) : "";
  return texts::ServerBusyCaption(wait.seconds) + " (try " + std::to_string(wait.nextTry) + of + "; " + wait.reason +
         ")";
}

}  // namespace tarnwick
