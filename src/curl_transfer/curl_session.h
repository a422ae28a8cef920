// The session of a run: one worker thread, the queue of the controls' requests, the waiting between the
// tries of a request that a busy server refused, and the kept login that every control of the run shares.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "remote/transfer_channel.h"

namespace tarnwick {

class CurlFileTransfer;

// One request at a time, in the order the controls asked, on one libcurl handle.
class CurlSession {
 public:
  CurlSession();
  ~CurlSession();
  CurlSession(const CurlSession&) = delete;
  CurlSession& operator=(const CurlSession&) = delete;

  // The window's thread.
  void Push(std::shared_ptr<TransferChannel> channel, TransferChannel::Request request);
  void SetRouteHandler(std::function<void(const std::string&)> handler) { *routeHandler_ = std::move(handler); }

  // The channel's requests that wait are dropped and its request in flight is cut short; returns when
  // that one has ended.
  void Forget(const TransferChannel* channel);

 private:
  struct Pending {
    std::shared_ptr<TransferChannel> channel;
    TransferChannel::Request request;
  };

  void Work();
  // The worker's, for the run's first request, for every request after: finding the system's proxy may take
  // seconds (automatic detection), which the window does not wait for.
  std::string ChooseProxy(TransferChannel& channel, const TransferChannel::Request& request);
  TransferOutcome Transfer(TransferChannel& channel, const TransferChannel::Request& pending, const std::string& proxy);
  TransferOutcome TransferOnce(CurlFileTransfer& file);

  CURL* easy_;
  CURLM* multi_;

  std::mutex mutex_;  // guards what follows
  std::condition_variable wake_;
  std::condition_variable ended_;
  std::deque<Pending> queue_;
  const TransferChannel* inFlight_ = nullptr;
  std::atomic<bool> cut_{false};
  bool stopped_ = false;
  std::minstd_rand random_{std::random_device{}()};
  std::optional<std::string> proxy_;  // the worker's: the proxy's URL, empty: none; nothing: not chosen yet

  // The window's thread only; shared with the event that tells the route there.
  std::shared_ptr<std::function<void(const std::string&)>> routeHandler_ =
      std::make_shared<std::function<void(const std::string&)>>();

  std::thread worker_;
};

}  // namespace tarnwick
