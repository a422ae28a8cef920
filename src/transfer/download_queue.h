// The download queue: the download list fetched strictly one file at a time, in list order. A tick
// of the queue timer starts the next entry when none is in flight; the arrival of that file allows the
// next start and moves the progress bar.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

// What the window shows after an arrival: the progress value, or the end of the list.
struct QueueProgress {
  bool finished = false;
  int value = 0;  // when not finished
};

class DownloadQueue {
 public:
  // The hand-over: position 0, nothing in flight.
  void Start(std::vector<std::string> downloadList);

  // The entry to start now, marked as in flight; nothing while one is in flight, after a failure, or
  // when every entry has been started.
  std::optional<std::string> Tick();
  // The entry in flight has arrived (or, for an empty name, was passed over).
  QueueProgress Arrived();
  // The entry in flight failed: nothing more starts until the next hand-over.
  void Failed();
  // The entry started last, while it has neither arrived nor failed.
  std::optional<std::string> InFlight() const;

  const std::vector<std::string>& DownloadList() const { return downloadList_; }
  // How many entries have been started.
  size_t Position() const { return position_; }

 private:
  std::vector<std::string> downloadList_;
  size_t position_ = 0;
  bool readyForNext_ = false;
  bool stopped_ = false;
};

}  // namespace tarnwick
