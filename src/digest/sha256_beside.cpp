#include "digest/sha256_beside.h"

#include <stdexcept>
#include <utility>

namespace tarnwick {

Sha256Beside::Sha256Beside() : worker_([this] { Work(); }) {}

Sha256Beside::~Sha256Beside() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void Sha256Beside::Add(std::string block) {
  if (block.empty()) {
    return;
  }
  {
    const std::lock_guard lock(mutex_);
    blocks_.push_back(std::move(block));
  }
  changed_.notify_all();
}

std::string Sha256Beside::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return blocks_.empty() && !hashing_; });
  if (error_) {
    const std::string error = *std::exchange(error_, std::nullopt);
    sha_.Reset();
    throw std::runtime_error(error);
  }
  return sha_.Finish();
}

void Sha256Beside::Reset() {
  std::unique_lock lock(mutex_);
  blocks_.clear();
  changed_.wait(lock, [&] { return !hashing_; });
  error_.reset();
  sha_.Reset();
}

void Sha256Beside::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || !blocks_.empty(); });
    if (stopping_) {
      return;
    }
    const std::string block = std::move(blocks_.front());
    blocks_.pop_front();
    hashing_ = true;
    lock.unlock();
    std::optional<std::string> error;
    try {
      sha_.Add(block);
    } catch (const std::exception& failure) {
      error = failure.what();
    }
    lock.lock();
    hashing_ = false;
    if (error && !error_) {
      error_ = std::move(error);
    }
    changed_.notify_all();
  }
}

}  // namespace tarnwick
