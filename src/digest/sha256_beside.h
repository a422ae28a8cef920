// A file's SHA-256 reckoned on a thread of its own, beside the transfer that writes the file: hashing a large
// file then costs the transfer no time on a machine with a second core.
// - [x] blocks handed over in the file's order, taken over without a copy
// - [x] Finish waits for every block handed over; Reset drops those not yet hashed
// - [x] a failure of the library, told by Finish
// - [ ] more than one thread handing blocks over at once
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "digest/sha256.h"

namespace tarnwick {

class Sha256Beside {
 public:
  Sha256Beside();
  ~Sha256Beside();
  Sha256Beside(const Sha256Beside&) = delete;
  Sha256Beside& operator=(const Sha256Beside&) = delete;

  // The next bytes of the file.
  void Add(std::string block);
  // The digest of everything added since construction or the last Finish or Reset; then starts anew. Throws
  // std::runtime_error when the library failed.
  std::string Finish();
  // Drops what was added.
  void Reset();

 private:
  void Work();

  Sha256 sha_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> blocks_;
  bool hashing_ = false;  // a block taken from blocks_ is being hashed
  bool stopping_ = false;
  std::optional<std::string> error_;
  std::thread worker_;
};

}  // namespace tarnwick
