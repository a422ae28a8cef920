// The FTP transfer control: one "Get" at a time, answered later by its outcome.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace tarnwick {

// How one request ended: completed (the remote file is at the local path), or failed with a code (the
// server's FTP reply, or one of the codes in response_codes.h).
struct TransferOutcome {
  bool completed = false;
  int code = 0;

  static TransferOutcome Completed() { return {true, 0}; }
  static TransferOutcome Failed(int code) { return {false, code}; }
};

// Execute could not even start the request.
class TransferRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TransferControl {
 public:
  using OutcomeHandler = std::function<void(const TransferOutcome&)>;

  virtual ~TransferControl() = default;
  virtual void SetOutcomeHandler(OutcomeHandler handler) = 0;
  // Returns at once. Exactly one outcome follows per call, in call order, delivered through the
  // window's event loop, never from inside Execute. The URL is "ftp://" + user + ":" + password + "@" +
  // host[:port]; the operation "Get " + remote path + two blanks + local path.
  virtual void Execute(const std::string& url, const std::string& operation) = 0;
};

struct TransferSettings {
  int remotePort = 21;             // when the host names none
  int requestTimeoutSeconds = 60;  // time without progress after which a request fails
};

class TransferControlFactory {
 public:
  virtual ~TransferControlFactory() = default;
  virtual std::unique_ptr<TransferControl> Create(const TransferSettings& settings) = 0;
};

}  // namespace tarnwick
