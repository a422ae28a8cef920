// What a run does, for those who follow it beyond the window's designed controls: a terminal's line of
// progress and its summary, an administrator's log. Called on the window's thread, in this order: files
// started, making progress and fetched one after the other, then one end: completed, current or failed.
// Each event does nothing unless a follower cares for it; a RunJournal itself follows nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/transfer_control.h"

namespace tarnwick {

struct RunSummary {
  size_t files = 0;                         // fetched, the fixed names included
  std::uint64_t bytes = 0;                  // received
  std::vector<std::string> noLongerListed;  // kept names that the new manifest no longer lists (left on disk)
};

class RunJournal {
 public:
  virtual ~RunJournal() = default;
  // `position` counts from 1 to `count`, the length of the download list.
  virtual void FileStarted(const std::string& /*name*/, size_t /*position*/, size_t /*count*/) {}
  virtual void FileProgress(std::uint64_t /*bytes*/, std::uint64_t /*size*/) {}  // size 0: not announced
  virtual void FileFetched(const std::string& /*name*/, std::uint64_t /*bytes*/) {}
  // The server refused for now; the request is made again after the pause.
  virtual void ServerBusy(const TransferWait& /*wait*/) {}
  virtual void RunCompleted(const RunSummary& /*summary*/) {}
  virtual void RunCurrent() {}  // the data on this machine is already current: nothing fetched
  // The run ended at an error box: its text and what happened in plain words.
  virtual void RunFailed(const std::string& /*text*/, const std::string& /*detail*/) {}
};

}  // namespace tarnwick
