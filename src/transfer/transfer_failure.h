// A step of a transfer failed; reported with a response code and what happened in plain words.
#pragma once

#include <stdexcept>
#include <string>

namespace tarnwick {

class TransferFailure : public std::runtime_error {
 public:
  TransferFailure(int code, const std::string& detail) : std::runtime_error(detail), code_(code) {}
  int Code() const { return code_; }
  std::string Detail() const { return what(); }

 private:
  int code_;
};

}  // namespace tarnwick
