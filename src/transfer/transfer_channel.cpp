#include "transfer/transfer_channel.h"

namespace tarnwick {

TransferChannel::TransferChannel(EventPoster& poster, TransferSettings settings)
    : poster_(poster), settings_(settings) {}

void TransferChannel::Push(const std::string& url, const std::string& operation) {
  {
    const std::lock_guard lock(mutex_);
    requests_.push_back({url, operation});
  }
  wake_.notify_one();
}

void TransferChannel::Stop(const std::function<void()>& cut) {
  alive_ = false;
  {
    const std::lock_guard lock(mutex_);
    stopped_ = true;
    cut();
  }
  wake_.notify_all();
}

std::optional<TransferChannel::Request> TransferChannel::Next() {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [&] { return stopped_ || !requests_.empty(); });
  if (stopped_) {
    return std::nullopt;
  }
  Request next = std::move(requests_.front());
  requests_.pop_front();
  return next;
}

bool TransferChannel::UnlessStopped(const std::function<void()>& step) {
  const std::lock_guard lock(mutex_);
  if (stopped_) {
    return false;
  }
  step();
  return true;
}

void TransferChannel::Deliver(const TransferOutcome& outcome) {
  poster_.Post([self = shared_from_this(), outcome] {
    if (self->alive_ && self->outcomeHandler_) {
      self->outcomeHandler_(outcome);
    }
  });
}

void TransferChannel::Report(const TransferProgress& progress) {
  poster_.Post([self = shared_from_this(), progress] {
    if (self->alive_ && self->progressHandler_) {
      self->progressHandler_(progress);
    }
  });
}

void TransferChannel::Wait(const TransferWait& wait) {
  poster_.Post([self = shared_from_this(), wait] {
    if (self->alive_ && self->waitHandler_) {
      self->waitHandler_(wait);
    }
  });
}

}  // namespace tarnwick
