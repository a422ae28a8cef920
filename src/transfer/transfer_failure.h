// A step of a transfer failed; reported with a response code.
#pragma once

#include <stdexcept>

namespace tarnwick {

class TransferFailure : public std::runtime_error {
 public:
  explicit TransferFailure(int code) : std::runtime_error("transfer failure"), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

}  // namespace tarnwick
