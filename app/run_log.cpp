#include "app/run_log.h"

#include <ctime>

#include "base/escaped_text.h"
#include "terminal/run_report.h"

namespace tarnwick {
namespace {

std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace

RunLog::RunLog(const std::string& path, const std::string& componentFolder)
    : file_(path, std::ios::app), started_(std::chrono::steady_clock::now()) {
  Line("run in " + componentFolder);
}

// Whatever a server put in a line (a new manifest may leave out thousands of names), it is cut to
// kMostLogLineBytes where a character ends.
void RunLog::Line(const std::string& text) {
  std::string line = Now() + " " + EscapeControls(text);
  constexpr std::string_view kCut = "…";
  if (line.size() + 1 > kMostLogLineBytes) {
    size_t end = kMostLogLineBytes - 1 - kCut.size();
    while ((static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) {
      --end;
    }
    line.resize(end);
    line += kCut;
  }
  file_ << line << "\n" << std::flush;
}

void RunLog::FileStarted(const std::string&, size_t, size_t) { fileStarted_ = std::chrono::steady_clock::now(); }

void RunLog::FileFetched(const std::string& name, std::uint64_t bytes) {
  Line("fetched " + name + " (" + FormatBytes(bytes) + " in " + FormatSeconds(SecondsSince(fileStarted_)) + ")");
}

void RunLog::RunCompleted(const RunSummary& summary) {
  for (const auto& line : SummaryLines(summary, SecondsSince(started_))) {
    Line(line);
  }
  Line("completed");
}

void RunLog::RunCurrent() { Line("the data on this machine is current: nothing fetched"); }

void RunLog::ServerBusy(const TransferWait& wait) { Line(BusyLine(wait)); }

void RunLog::RunFailed(const std::string& text, const std::string& detail) {
  std::string oneLine;
  for (const auto& line : BoxLines(text)) {
    oneLine += (oneLine.empty() ? "" : " / ") + line;
  }
  Line("failed: " + oneLine + (detail.empty() ? "" : " (" + detail + ")"));
}

void JournalFanOut::FileStarted(const std::string& name, size_t position, size_t count) {
  for (auto* journal : journals_) journal->FileStarted(name, position, count);
}
void JournalFanOut::FileProgress(std::uint64_t bytes, std::uint64_t size) {
  for (auto* journal : journals_) journal->FileProgress(bytes, size);
}
void JournalFanOut::FileFetched(const std::string& name, std::uint64_t bytes) {
  for (auto* journal : journals_) journal->FileFetched(name, bytes);
}
void JournalFanOut::RunCompleted(const RunSummary& summary) {
  for (auto* journal : journals_) journal->RunCompleted(summary);
}
void JournalFanOut::RunCurrent() {
  for (auto* journal : journals_) journal->RunCurrent();
}
void JournalFanOut::RunFailed(const std::string& text, const std::string& detail) {
  for (auto* journal : journals_) journal->RunFailed(text, detail);
}

void JournalFanOut::ServerBusy(const TransferWait& wait) {
  for (auto* journal : journals_) journal->ServerBusy(wait);
}

}  // namespace tarnwick
