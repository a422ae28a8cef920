#include "transfer/download_queue.h"

namespace tarnwick {

void DownloadQueue::Start(std::vector<std::string> downloadList) {
  downloadList_ = std::move(downloadList);
  position_ = 0;
  readyForNext_ = true;
  stopped_ = false;
}

std::optional<std::string> DownloadQueue::Tick() {
  if (stopped_ || !readyForNext_ || position_ >= downloadList_.size()) {
    return std::nullopt;
  }
  readyForNext_ = false;
  return downloadList_[position_++];
}

QueueProgress DownloadQueue::Arrived() {
  readyForNext_ = true;
  if (position_ >= downloadList_.size()) {
    return {true, 0};
  }
  // The bar runs one ahead: after the k-th arrival it shows k + 1, so it is full while the last file is in flight.
  return {false, static_cast<int>(position_) + 1};
}

void DownloadQueue::Failed() {
  readyForNext_ = false;
  stopped_ = true;
}

std::optional<std::string> DownloadQueue::InFlight() const {
  if (stopped_ || readyForNext_ || position_ == 0) {
    return std::nullopt;
  }
  return downloadList_[position_ - 1];
}

}  // namespace tarnwick
