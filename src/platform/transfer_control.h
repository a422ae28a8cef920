// The transfer control (FTP, FTPS or HTTPS): one "Get" at a time, answered later by its outcome.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/busy_wait.h"
#include "platform/event_poster.h"

namespace tarnwick {

// How one request ended: completed (the remote file is at the local path), or failed with a code (the
// server's FTP reply, or one of the codes in response_codes.h).
struct TransferOutcome {
  bool completed = false;
  int code = 0;
  std::string detail;         // a failure in plain words, with the host and the remote path; never the password
  std::uint64_t bytes = 0;    // received, when completed
  bool transient = false;     // a busy server's refusal, which the same request may get past later
  int retryAfterSeconds = 0;  // positive: when the busy server said to come back

  static TransferOutcome Completed(std::uint64_t bytes) { return {true, 0, {}, bytes, false}; }
  static TransferOutcome Failed(int code, std::string detail, bool transient = false) {
    return {false, code, std::move(detail), 0, transient};
  }
};

// The server refused for now: the request is made again after a pause.
struct TransferWait {
  int nextTry = 0;     // counting the first as 1
  int tries = 0;       // in all at most; 0: as many as the busy wait's time allows
  int seconds = 0;     // until the next try
  std::string reason;  // the refusal, in plain words
};

// How far the request in flight has come.
struct TransferProgress {
  std::uint64_t bytes = 0;
  std::uint64_t size = 0;  // as the server announced it; 0 when it did not
};

// What the run knows of a file before it comes, checked while its bytes arrive: the file is put in place only
// when it agrees, so that what a participant opens is what the meeting's publisher listed.
struct FileChecks {
  std::optional<std::uint64_t> size;  // the manifest's size=
  std::string sha256;                 // the manifest's sha256=, 64 lower-case hexadecimal digits; empty: none
  std::uint64_t most = 0;             // positive: the request fails with 910 as soon as more than this came

  bool operator==(const FileChecks&) const = default;
};

// Execute could not even start the request.
class TransferRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TransferControl {
 public:
  using OutcomeHandler = std::function<void(const TransferOutcome&)>;
  using ProgressHandler = std::function<void(const TransferProgress&)>;
  using WaitHandler = std::function<void(const TransferWait&)>;

  virtual ~TransferControl() = default;
  virtual void SetOutcomeHandler(OutcomeHandler handler) = 0;
  // Reports of the request in flight, a few a second at most, through the window's event loop. A control
  // that cannot tell how far it has come never calls it.
  virtual void SetProgressHandler(ProgressHandler handler) { (void)handler; }
  // Told when the server refused for now and the request waits for its next try. A control that does not
  // try again never calls it.
  virtual void SetWaitHandler(WaitHandler handler) { (void)handler; }
  // Returns at once. Exactly one outcome follows per call, in call order, delivered through the
  // window's event loop, never from inside Execute. The URL is "ftp://" + user + ":" + password + "@" +
  // host[:port]; the operation "Get " + remote path + two blanks + local path. A file that passes a bound
  // of `checks` is stopped there; one that came whole but differs from them is fetched once more from
  // nothing, and a second difference fails the request with 914.
  virtual void Execute(const std::string& url, const std::string& operation, const FileChecks& checks) = 0;
};

// Whether the login and the files are protected with TLS (explicit FTPS: AUTH TLS, protected data).
enum class TlsMode {
  Off,          // plain FTP, as the meeting servers in use speak it
  WhenOffered,  // TLS when the server offers it, plain FTP otherwise
  Required,     // TLS or nothing: the password never goes in clear
};

// Where the meeting comes from: the FTP server (with TlsMode), or a web server over HTTPS (TLS always,
// whatever TlsMode says).
enum class Protocol { Ftp, Https };

inline constexpr int kFtpPort = 21;
inline constexpr int kHttpsPort = 443;

struct TransferSettings {
  Protocol protocol = Protocol::Ftp;
  int remotePort = kFtpPort;       // when the host names none
  int requestTimeoutSeconds = 60;  // time without progress after which a request fails
  TlsMode tls = TlsMode::Off;
  int tries = 0;  // of a request that a busy server refuses, at most; 0: no count; 1: no second try
  int busyWaitSeconds = kDefaultBusyWaitSeconds;  // the time a request waits for a busy server in all
  std::optional<std::string> proxy;               // the proxy's URL, or empty for none; nothing: the system's setting
};

// What a user's command line puts in place of the window's settings (for tests, slow links, busy servers).
struct TransferOverrides {
  int timeoutSeconds = 0;  // positive: the request time-out
  std::optional<TlsMode> tls;
  int tries = 0;                     // positive: the tries of a request
  int busyWaitSeconds = 0;           // positive: the time a request waits for a busy server
  std::optional<std::string> proxy;  // the proxy's URL, or empty for none, instead of the system's

  TransferSettings AppliedTo(TransferSettings settings) const {
    if (timeoutSeconds > 0) {
      settings.requestTimeoutSeconds = timeoutSeconds;
    }
    if (tls) {
      settings.tls = *tls;
    }
    if (tries > 0) {
      settings.tries = tries;
    }
    if (busyWaitSeconds > 0) {
      settings.busyWaitSeconds = busyWaitSeconds;
    }
    if (proxy) {
      settings.proxy = proxy;
    }
    return settings;
  }
};

class TransferControlFactory {
 public:
  virtual ~TransferControlFactory() = default;
  virtual std::unique_ptr<TransferControl> Create(const TransferSettings& settings) = 0;
  // Told once a run, on the window's thread, which way its requests go: through which proxy, or direct.
  // A factory that cannot tell never calls it.
  using RouteHandler = std::function<void(const std::string&)>;
  virtual void SetRouteHandler(RouteHandler handler) { (void)handler; }
};

}  // namespace tarnwick
