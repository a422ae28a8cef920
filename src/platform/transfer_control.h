// The internet transfer control: one FTP "Get" at a time, answered later by a state notification.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace tarnwick {

inline constexpr int icError = 11;
inline constexpr int icResponseCompleted = 12;

// Execute could not even start the request.
class TransferRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TransferControl {
 public:
  using StateChangedHandler = std::function<void(int state)>;

  virtual ~TransferControl() = default;
  virtual void SetStateChanged(StateChangedHandler handler) = 0;
  // Returns at once. Exactly one notification follows per call, in call order: 12 when the remote
  // file has been written to the local path, 11 when the request failed. It is delivered through the
  // window's event loop, never from inside Execute.
  virtual void Execute(const std::string& url, const std::string& operation) = 0;
  // The code of the request whose notification was delivered last.
  virtual int ResponseCode() const = 0;
};

struct TransferSettings {
  int requestTimeoutSeconds = 60;
};

class TransferControlFactory {
 public:
  virtual ~TransferControlFactory() = default;
  virtual std::unique_ptr<TransferControl> Create(const TransferSettings& settings) = 0;
};

}  // namespace tarnwick
