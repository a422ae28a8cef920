#include "wininet_ftp/wininet_transfer_control.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "transfer/ftp_failures.h"
#include "transfer/ftp_reply.h"
#include "transfer/transfer_channel.h"
#include "win32_fs/win32_file_system.h"

namespace tarnwick {
namespace {

using Clock = std::chrono::steady_clock;

// Asked of one InternetReadFile. Some WinINets (older Wine's) return only when the buffer is full or the
// file has ended: with a large buffer a slow link would look like a stalled one.
constexpr DWORD kReadSize = 8192;
constexpr DWORD kOpenFlags = FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

// The system's words for an error code, WinINet's own codes included, without the closing full stop.
std::string Reason(DWORD error) {
  const bool wininet = error >= INTERNET_ERROR_BASE && error <= INTERNET_ERROR_LAST;
  return wininet ? SystemReason(error, GetModuleHandleW(L"wininet.dll"), "WinINet error ") : SystemReason(error);
}

// What the thread of a link reports about the request it was given.
struct Fetched {
  bool opened = false;                     // the server took the RETR
  DWORD error = 0;                         // of the WinINet call that failed: the login, the RETR or a read
  std::string replies;                     // what the server said during the last call: the failed one, or
                                           // the closing of the file (its word on the transfer)
  std::optional<std::uint64_t> announced;  // by the 150 reply
  std::uint64_t bytes = 0;                 // written into the file
  DWORD writeError = 0;                    // of the file, when a write failed
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void*, DWORD);

// One login on the server, and the thread that makes WinINet's blocking calls on it. The control waits for
// that thread no longer than a request's time-out allows: a link left behind has its handles closed,
// which ends a blocked call on Windows, and its thread ends whenever WinINet lets it (Wine's after 30 s
// for a reply, never for a stalled data connection), touching neither the file nor the control again.
class Link {
 public:
  enum class Wait { Done, TimedOut, Abandoned };

  Link(const FtpRequest& login, int timeoutSeconds) : login_(login), timeoutSeconds_(timeoutSeconds) {}

  static std::shared_ptr<Link> Open(const FtpRequest& login, int timeoutSeconds) {
    auto link = std::make_shared<Link>(login, timeoutSeconds);
    std::thread([link] { link->Run(); }).detach();
    return link;
  }

  bool Serves(const FtpRequest& request) const {
    return request.host == login_.host && request.port == login_.port && request.user == login_.user &&
           request.password == login_.password;
  }

  // Hands the thread a file to fetch into `file`, which it writes until the request ends or is abandoned.
  void Fetch(const std::string& serverPath, PendingFile& file) {
    {
      const std::lock_guard lock(mutex_);
      job_ = serverPath;
      file_ = &file;
      done_ = false;
      fetched_ = {};
      lastProgress_ = Clock::now();
    }
    changed_.notify_all();
  }

  // Until the request ends, runs out of time or the link is abandoned; `report` hears of its progress.
  Wait Await(const std::function<void(const TransferProgress&)>& report) {
    Clock::time_point lastReport{};
    std::uint64_t reported = 0;
    std::unique_lock lock(mutex_);
    while (!abandoned_ && !done_) {
      const auto now = Clock::now();
      const auto deadline = lastProgress_ + std::chrono::seconds(timeoutSeconds_);
      if (now >= deadline) {
        return Wait::TimedOut;
      }
      if (fetched_.bytes != reported && now - lastReport >= TransferChannel::kProgressInterval) {
        reported = fetched_.bytes;
        lastReport = now;
        const TransferProgress progress{fetched_.bytes, fetched_.announced.value_or(0)};
        lock.unlock();
        report(progress);
        lock.lock();
        continue;
      }
      changed_.wait_until(lock, std::min(deadline, now + TransferChannel::kProgressInterval));
    }
    return abandoned_ ? Wait::Abandoned : Wait::Done;
  }

  // What the request that ended came to, and whether the login can serve another.
  Fetched Result() {
    const std::lock_guard lock(mutex_);
    return fetched_;
  }
  bool Kept() {
    const std::lock_guard lock(mutex_);
    return kept_ && !abandoned_;
  }
  bool Used() {
    const std::lock_guard lock(mutex_);
    return used_;
  }

  void Abandon() {
    HINTERNET root = nullptr;
    {
      const std::lock_guard lock(mutex_);
      if (abandoned_) {
        return;
      }
      abandoned_ = true;
      file_ = nullptr;
      if (inCall_) {
        std::swap(root, root_);  // closing it (and so its children) ends the blocked call where WinINet allows
      }
    }
    changed_.notify_all();
    if (root != nullptr) {
      InternetCloseHandle(root);
    }
  }

  // Called by WinINet for each reply of the server, on the thread that made the call.
  void Replied() {
    if (GetCurrentThreadId() != threadId_) {
      return;  // a closing of the handles from the control's side: its replies are nobody's
    }
    // Wine's copies as many bytes as it is offered out of a buffer of 1460: offer less. Windows says when
    // its text needs more.
    DWORD error = 0;
    std::string text(1024, '\0');
    auto length = static_cast<DWORD>(text.size());
    if (!InternetGetLastResponseInfoA(&error, text.data(), &length)) {
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return;
      }
      text.resize(length + 1);
      length = static_cast<DWORD>(text.size());
      if (!InternetGetLastResponseInfoA(&error, text.data(), &length)) {
        return;
      }
    }
    text.resize(std::min<size_t>(length, text.size()));
    replies_ = std::move(text);
  }

 private:
  void Run() {
    threadId_ = GetCurrentThreadId();
    for (std::string path; NextJob(path);) {
      if ((connection_ == nullptr && !Connect()) || !FetchInto(path) || !Finish()) {
        break;
      }
    }
    HINTERNET root = nullptr;
    {
      const std::lock_guard lock(mutex_);
      std::swap(root, root_);
    }
    if (root != nullptr) {
      InternetCloseHandle(root);  // and with it the login and a file left open
    }
    DropCacheCopy();
  }

  // Wine's WinINet keeps a copy of every file it fetches in the URL cache, INTERNET_FLAG_NO_CACHE_WRITE
  // or not: meeting documents have no business there. It can go once the file's handle is closed.
  void DropCacheCopy() {
    if (!cacheCopy_.empty()) {
      DeleteFileW(cacheCopy_.c_str());
      cacheCopy_.clear();
    }
  }

  bool NextJob(std::string& path) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return abandoned_ || job_.has_value(); });
    if (abandoned_) {
      return false;
    }
    path = *std::exchange(job_, std::nullopt);
    return true;
  }

  // Runs one blocking WinINet call, with the server's replies during it gathered afresh. False when the
  // link was abandoned before or during it: what the call came to is then nobody's business.
  template <typename Call>
  bool Blocking(Call call) {
    {
      const std::lock_guard lock(mutex_);
      if (abandoned_) {
        return false;
      }
      inCall_ = true;
    }
    replies_.clear();
    call();
    const std::lock_guard lock(mutex_);
    inCall_ = false;
    return !abandoned_;
  }

  DWORD_PTR Context() { return reinterpret_cast<DWORD_PTR>(this); }

  void Progressed() {
    const std::lock_guard lock(mutex_);
    lastProgress_ = Clock::now();
  }

  void Failed(DWORD error) {
    const std::lock_guard lock(mutex_);
    fetched_.error = error;
  }

  // The login. False only when the link was abandoned; a failed login is the request's failure.
  bool Connect() {
    HINTERNET root = InternetOpenA("tarnwick-download", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (root == nullptr) {
      Failed(GetLastError());
      return true;
    }
    InternetSetStatusCallbackA(root, OnStatus);
    // Where WinINet keeps these, a blocked call ends by itself near the time the control gives up on it.
    DWORD milliseconds = static_cast<DWORD>(timeoutSeconds_) * 1000;
    for (const DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
          INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT}) {
      InternetSetOptionA(root, option, &milliseconds, sizeof(milliseconds));
    }
    {
      const std::lock_guard lock(mutex_);
      root_ = root;
    }
    HINTERNET connection = nullptr;
    DWORD error = 0;
    const bool current = Blocking([&] {
      connection = InternetConnectA(root, login_.host.c_str(), static_cast<INTERNET_PORT>(login_.port),
                                    login_.user.empty() ? "anonymous" : login_.user.c_str(), login_.password.c_str(),
                                    INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, Context());
      error = connection != nullptr ? 0 : GetLastError();
    });
    if (!current) {
      return false;
    }
    if (connection == nullptr) {
      Failed(error);
    } else {
      connection_ = connection;
      Progressed();
    }
    return true;
  }

  // RETR and the bytes into the file. False only when the link was abandoned.
  bool FetchInto(const std::string& path) {
    if (connection_ == nullptr) {
      return true;  // the login failed
    }
    HINTERNET file = nullptr;
    DWORD error = 0;
    if (!Blocking([&] {
          file = FtpOpenFileA(connection_, path.c_str(), GENERIC_READ, kOpenFlags, Context());
          error = file != nullptr ? 0 : GetLastError();
        })) {
      return false;
    }
    if (file == nullptr) {
      Failed(error);
      return true;
    }
    wchar_t cacheCopy[MAX_PATH + 1] = {};
    DWORD size = sizeof(cacheCopy);
    if (InternetQueryOptionW(file, INTERNET_OPTION_DATAFILE_NAME, cacheCopy, &size)) {
      cacheCopy_ = cacheCopy;
    }
    {
      const std::lock_guard lock(mutex_);
      fetched_.opened = true;
      if (const auto reply = LastReply(replies_)) {
        fetched_.announced = AnnouncedSize(reply->line);
      }
      lastProgress_ = Clock::now();
    }
    std::string buffer(kReadSize, '\0');
    for (bool reading = true; reading;) {
      DWORD got = 0;
      if (!Blocking([&] { error = InternetReadFile(file, buffer.data(), kReadSize, &got) ? 0 : GetLastError(); })) {
        return false;
      }
      const std::lock_guard lock(mutex_);
      if (abandoned_) {
        return false;
      }
      if (error != 0 || got == 0) {  // a failed read, or the end of the file
        fetched_.error = error;
        reading = false;
      } else if (!file_->Write(std::string_view(buffer.data(), got))) {
        fetched_.writeError = file_->Error();
        reading = false;
      } else {
        fetched_.bytes += got;
        lastProgress_ = Clock::now();
      }
    }
    // Closing the file reads the server's word on the transfer (226, or why not).
    if (!Blocking([&] { InternetCloseHandle(file); })) {
      return false;
    }
    DropCacheCopy();
    return true;
  }

  // Hands the control what the request came to. True when the login can serve another: the last call
  // ended with a reply, and not with 421 ("closing the connection").
  bool Finish() {
    const auto last = LastReply(replies_);
    const bool kept = connection_ != nullptr && last && last->code >= 200 && last->code != 421;
    {
      const std::lock_guard lock(mutex_);
      fetched_.replies = replies_;
      file_ = nullptr;
      done_ = true;
      kept_ = kept;
      used_ = true;
    }
    changed_.notify_all();
    return kept;
  }

  const FtpRequest login_;  // host, port, user and password
  const int timeoutSeconds_;

  // The thread's own.
  DWORD threadId_ = 0;
  HINTERNET connection_ = nullptr;
  std::string replies_;     // of the call in flight, as WinINet reports them
  std::wstring cacheCopy_;  // WinINet's copy of the file in flight, if it keeps one

  std::mutex mutex_;
  std::condition_variable changed_;
  bool abandoned_ = false;
  bool inCall_ = false;
  HINTERNET root_ = nullptr;  // closed by the thread, or by Abandon while a call blocks
  std::optional<std::string> job_;
  PendingFile* file_ = nullptr;
  bool done_ = false;
  bool kept_ = true;
  bool used_ = false;
  Fetched fetched_;
  Clock::time_point lastProgress_;
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void*, DWORD) {
  if (status == INTERNET_STATUS_RESPONSE_RECEIVED && context != 0) {
    reinterpret_cast<Link*>(context)->Replied();
  }
}

}  // namespace

// The channel, and the login in use: the destructor abandons it (under the channel's lock).
struct WinInetTransferControl::Shared : TransferChannel {
  using TransferChannel::TransferChannel;

  std::shared_ptr<Link> link;
};

TransferOutcome WinInetFailure(unsigned long error, std::string_view replies, const FtpRequest& request,
                               int timeoutSeconds) {
  if (const auto reply = LastReply(replies); reply && reply->code >= 400) {
    return ftp_failure::ServerReply(request, reply->code, reply->line);
  }
  switch (error) {
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      return ftp_failure::HostUnknown(request);
    case ERROR_INTERNET_CANNOT_CONNECT:
      return ftp_failure::ConnectionRefused(request);
    case ERROR_INTERNET_TIMEOUT:
      return ftp_failure::NoAnswer(request, timeoutSeconds);
    default:
      return ftp_failure::ConnectionFailed(request, Reason(error));
  }
}

namespace {

using Shared = WinInetTransferControl::Shared;

// The login kept from earlier requests, or a new one when there is none that serves this request. Nothing
// once the control is being destroyed.
std::shared_ptr<Link> Login(Shared& shared, const FtpRequest& request) {
  std::shared_ptr<Link> replaced;
  std::shared_ptr<Link> link;
  const bool open = shared.UnlessStopped([&] {
    if (!shared.link || !shared.link->Serves(request)) {
      replaced = std::exchange(shared.link, Link::Open(request, shared.Settings().requestTimeoutSeconds));
    }
    link = shared.link;
  });
  if (!open) {
    return nullptr;
  }
  if (replaced) {
    replaced->Abandon();
  }
  return link;
}

void Drop(Shared& shared, const std::shared_ptr<Link>& link) {
  // Once stopped, the destructor has taken the login already.
  shared.UnlessStopped([&] {
    if (shared.link == link) {
      shared.link.reset();
    }
  });
  link->Abandon();
}

TransferOutcome Outcome(const Fetched& fetched, const FtpRequest& request, int timeoutSeconds, PendingFile& temp) {
  if (!fetched.opened || fetched.error != 0) {
    return WinInetFailure(fetched.error, fetched.replies, request, timeoutSeconds);
  }
  if (fetched.writeError != 0) {
    return ftp_failure::CannotWrite(request, Reason(fetched.writeError));
  }
  const auto closing = LastReply(fetched.replies);
  if (closing && closing->code >= 400) {
    return ftp_failure::ServerReply(request, closing->code, closing->line);
  }
  // A data connection closed early looks like the end of the file: the server's missing word on it
  // tells, or else the announced size. The temporary file goes with `temp`.
  if (!closing || closing->code / 100 != 2) {
    return fetched.announced && fetched.bytes < *fetched.announced
               ? ftp_failure::SizeDiffers(request, fetched.bytes, *fetched.announced)
               : ftp_failure::ConnectionFailed(request, "the server did not confirm the transfer");
  }
  if (fetched.announced && *fetched.announced != fetched.bytes) {
    return ftp_failure::SizeDiffers(request, fetched.bytes, *fetched.announced);
  }
  if (!temp.Commit()) {
    return ftp_failure::CannotPutInPlace(request);
  }
  return TransferOutcome::Completed(fetched.bytes);
}

// Nothing when the control is being destroyed.
std::optional<TransferOutcome> Transfer(const std::shared_ptr<Shared>& shared, const std::string& url,
                                        const std::string& operation) {
  const auto request = ParseFtpRequest(url, operation, shared->Settings().remotePort);
  if (!request) {
    return ftp_failure::UnreadableRequest();
  }
  PendingFile temp(WidePath(request->localPath));
  if (!temp.Ok()) {
    return ftp_failure::CannotCreateBeside(*request);
  }
  const int timeoutSeconds = shared->Settings().requestTimeoutSeconds;
  for (bool retried = false;; retried = true) {
    const std::shared_ptr<Link> link = Login(*shared, *request);
    if (!link) {
      return std::nullopt;
    }
    const bool reused = link->Used();
    link->Fetch(request->serverPath, temp);
    switch (link->Await([&](const TransferProgress& progress) { shared->Report(progress); })) {
      case Link::Wait::Abandoned:
        return std::nullopt;
      case Link::Wait::TimedOut:
        Drop(*shared, link);
        return ftp_failure::NoAnswer(*request, timeoutSeconds);
      case Link::Wait::Done:
        break;
    }
    const Fetched fetched = link->Result();
    if (!link->Kept()) {
      Drop(*shared, link);
    }
    // A kept login that the server closed meanwhile answers nothing at all: a new one gets a second try.
    if (fetched.opened || !fetched.replies.empty() || !reused || retried) {
      return Outcome(fetched, *request, timeoutSeconds, temp);
    }
  }
}

void RunWorker(const std::shared_ptr<Shared>& shared) {
  while (const auto next = shared->Next()) {
    const auto outcome = Transfer(shared, next->url, next->operation);
    if (!outcome) {
      return;
    }
    shared->Deliver(*outcome);
  }
}

}  // namespace

WinInetTransferControl::WinInetTransferControl(EventPoster& poster, TransferSettings settings)
    : shared_(std::make_shared<Shared>(poster, settings)) {
  worker_ = std::thread(RunWorker, shared_);
}

WinInetTransferControl::~WinInetTransferControl() {
  std::shared_ptr<Link> link;
  shared_->Stop([&] { link = std::exchange(shared_->link, nullptr); });
  if (link) {
    link->Abandon();
  }
  worker_.join();
}

void WinInetTransferControl::SetOutcomeHandler(OutcomeHandler handler) {
  shared_->SetOutcomeHandler(std::move(handler));
}

void WinInetTransferControl::SetProgressHandler(ProgressHandler handler) {
  shared_->SetProgressHandler(std::move(handler));
}

void WinInetTransferControl::Execute(const std::string& url, const std::string& operation) {
  shared_->Push(url, operation);
}

}  // namespace tarnwick
