#include "curl_transfer/curl_session.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "curl_transfer/curl_transfer.h"
#include "curl_transfer/proxy_route.h"
#ifdef _WIN32
#include "curl_transfer/system_proxy_win32.h"
#endif
#include "platform/busy_wait.h"
#include "remote/remote_request.h"
#include "remote/transfer_failures.h"

namespace tarnwick {
namespace {

// A web server that says when to come back (Retry-After) is taken at its word, within the longest pause and
// what is left of the busy wait.
std::chrono::milliseconds PauseLength(const BusyPause& pause, const TransferOutcome& refusal,
                                      std::chrono::milliseconds left) {
  if (refusal.retryAfterSeconds <= 0) {
    return pause.length;
  }
  return std::min<std::chrono::milliseconds>(
      {std::chrono::seconds(refusal.retryAfterSeconds), std::chrono::milliseconds(kBusyLongestPauseMs), left});
}

}  // namespace

CurlSession::CurlSession() : easy_(curl_easy_init()), multi_(curl_multi_init()) {
  worker_ = std::thread([this] { Work(); });
}

CurlSession::~CurlSession() {
  {
    const std::lock_guard lock(mutex_);
    stopped_ = true;
    cut_ = true;
  }
  wake_.notify_all();
  if (multi_ != nullptr) {
    curl_multi_wakeup(multi_);
  }
  worker_.join();
  curl_multi_cleanup(multi_);
  curl_easy_cleanup(easy_);
}

std::string CurlSession::ChooseProxy(TransferChannel& channel, const TransferChannel::Request& request) {
  const TransferSettings& settings = channel.Settings();
  std::string proxy = settings.proxy.value_or("");
  if (!settings.proxy) {
    const auto parsed = ParseRemoteRequest(request.url, request.operation, settings.remotePort);
    const auto variable = [](const char* name) -> std::optional<std::string> {
      const char* value = std::getenv(name);
      return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    };
    const std::string scheme = settings.protocol == Protocol::Https ? "https" : "ftp";
    const std::string host = parsed ? parsed->host : std::string();
    proxy = ProxyFromEnvironment(scheme, host, variable);
#ifdef _WIN32
    // Where the environment names none, Internet Options' proxy, as the browser finds it.
    if (proxy.empty() && parsed) {
      proxy = InternetOptionsProxy(scheme + "://" + host + ":" + std::to_string(parsed->port) + "/", scheme, host)
                  .value_or("");
    }
#endif
  }
  channel.PostToWindow([handler = routeHandler_, route = RouteText(proxy)] {
    if (*handler) {
      (*handler)(route);
    }
  });
  return proxy;
}

void CurlSession::Push(std::shared_ptr<TransferChannel> channel, TransferChannel::Request request) {
  {
    const std::lock_guard lock(mutex_);
    queue_.push_back({std::move(channel), std::move(request)});
  }
  wake_.notify_one();
}

void CurlSession::Forget(const TransferChannel* channel) {
  std::unique_lock lock(mutex_);
  std::erase_if(queue_, [&](const Pending& pending) { return pending.channel.get() == channel; });
  if (inFlight_ == channel) {
    cut_ = true;
    wake_.notify_all();  // a pause before the next try ends too
    curl_multi_wakeup(multi_);
    ended_.wait(lock, [&] { return inFlight_ != channel; });
  }
}

void CurlSession::Work() {
  for (;;) {
    Pending next;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stopped_ || !queue_.empty(); });
      if (stopped_) {
        return;
      }
      next = std::move(queue_.front());
      queue_.pop_front();
      inFlight_ = next.channel.get();
      cut_ = false;
    }
    if (!proxy_) {
      proxy_ = ChooseProxy(*next.channel, next.request);
    }
    const TransferOutcome outcome = Transfer(*next.channel, next.request, *proxy_);
    bool wasCut = false;
    {
      const std::lock_guard lock(mutex_);
      inFlight_ = nullptr;
      wasCut = cut_;
    }
    ended_.notify_all();
    if (!wasCut) {
      next.channel->Deliver(outcome);
    }
  }
}

// A busy server's refusal is waited out: the request is made again after growing pauses, until it gets
// through, the busy wait is spent or the control goes. The login stays, and what arrived of the file before a
// broken link stays too.
TransferOutcome CurlSession::Transfer(TransferChannel& channel, const TransferChannel::Request& pending,
                                      const std::string& proxy) {
  const TransferSettings& settings = channel.Settings();
  const auto request = ParseRemoteRequest(pending.url, pending.operation, settings.remotePort);
  if (!request) {
    return transfer_failure::UnreadableRequest();
  }
  if (easy_ == nullptr || multi_ == nullptr) {
    return transfer_failure::ConnectionFailed(*request, "libcurl could not start");
  }
  SetProxyOptions(easy_, proxy);
  CurlFileTransfer file(easy_, multi_, channel, *request, pending.checks, cut_, !proxy.empty());
  BusyWait busyWait(std::chrono::seconds(settings.busyWaitSeconds), settings.tries);
  const auto started = std::chrono::steady_clock::now();
  for (;;) {
    TransferOutcome outcome = TransferOnce(file);
    if (outcome.completed || !outcome.transient || cut_) {
      return outcome;
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    const auto pause = busyWait.NextPause(elapsed, random_);
    if (!pause) {
      return outcome;
    }
    const auto length = PauseLength(*pause, outcome, std::chrono::seconds(settings.busyWaitSeconds) - elapsed);
    channel.Wait({pause->nextTry, settings.tries,
                  static_cast<int>(std::chrono::ceil<std::chrono::seconds>(length).count()), outcome.detail});
    std::unique_lock lock(mutex_);
    if (wake_.wait_for(lock, length, [&] { return cut_.load() || stopped_; })) {
      return outcome;  // the control is going: nobody waits for this outcome
    }
  }
}

// A kept login that the server had closed (an idle time-out's 421, or the connection gone) is made again
// once, silently: the request never reached the server.
TransferOutcome CurlSession::TransferOnce(CurlFileTransfer& file) {
  CurlTry first = file.Try();
  if (!first.loginWasGone) {
    return first.outcome;
  }
  curl_easy_setopt(easy_, CURLOPT_FRESH_CONNECT, 1L);
  return file.Try().outcome;
}

}  // namespace tarnwick
