// The run log of --log FILE: an administrator's record, appended to, of what each run fetched and how
// it ended, a time stamp a line.
#pragma once

#include <chrono>
#include <cstddef>
#include <fstream>
#include <string>
#include <vector>

#include "platform/run_journal.h"

namespace tarnwick {

// The longest line of the log, its time stamp and line end included.
inline constexpr std::size_t kMostLogLineBytes = std::size_t{8} << 10;

class RunLog : public RunJournal {
 public:
  // Opens the file for appending; Ok() tells whether it could be.
  RunLog(const std::string& path, const std::string& componentFolder);
  bool Ok() const { return file_.good(); }

  void FileStarted(const std::string& name, size_t position, size_t count) override;
  void FileFetched(const std::string& name, std::uint64_t bytes) override;
  void RunCompleted(const RunSummary& summary) override;
  void RunCurrent() override;
  void RunFailed(const std::string& text, const std::string& detail) override;
  void ServerBusy(const TransferWait& wait) override;
  // Which way the run's requests went: through which proxy, or direct.
  void Route(const std::string& route) { Line("connection: " + route); }

 private:
  void Line(const std::string& text);

  std::ofstream file_;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point fileStarted_;
};

// Hands every event to each journal in turn.
class JournalFanOut : public RunJournal {
 public:
  explicit JournalFanOut(std::vector<RunJournal*> journals) : journals_(std::move(journals)) {}

  void FileStarted(const std::string& name, size_t position, size_t count) override;
  void FileProgress(std::uint64_t bytes, std::uint64_t size) override;
  void FileFetched(const std::string& name, std::uint64_t bytes) override;
  void RunCompleted(const RunSummary& summary) override;
  void RunCurrent() override;
  void RunFailed(const std::string& text, const std::string& detail) override;
  void ServerBusy(const TransferWait& wait) override;

 private:
  std::vector<RunJournal*> journals_;
};

}  // namespace tarnwick
