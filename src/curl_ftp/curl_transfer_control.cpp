#include "curl_ftp/curl_transfer_control.h"

#include <curl/curl.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/response_codes.h"
#include "posix_fs/posix_file_system.h"
#include "transfer/ftp_failures.h"
#include "transfer/ftp_reply.h"
#include "transfer/ftp_request.h"
#include "transfer/transfer_channel.h"

namespace tarnwick {

// The channel, and what the destructor needs to cut the request in flight short.
struct CurlTransferControl::Shared : TransferChannel {
  using TransferChannel::TransferChannel;

  std::atomic<bool> abort{false};
  std::atomic<CURLM*> multi{nullptr};
};

namespace {

// One request's file and what is known of its length.
struct Receipt {
  int fd = -1;
  std::uint64_t written = 0;
  std::optional<std::uint64_t> announced;  // by the server's 150 reply, when it says
  int writeError = 0;                      // errno of a write that failed
  std::string lastReply;                   // the server's last reply line, for a failure's detail
};

// Where the progress of the request in flight goes, a few times a second at most.
struct ProgressReports {
  std::shared_ptr<CurlTransferControl::Shared> shared;
  const Receipt* receipt = nullptr;
  std::chrono::steady_clock::time_point lastReport{};
};

size_t WriteToFile(char* data, size_t size, size_t count, void* user) {
  auto& receipt = *static_cast<Receipt*>(user);
  const size_t total = size * count;
  for (size_t done = 0; done < total;) {
    const ssize_t written = write(receipt.fd, data + done, total - done);
    if (written <= 0) {
      receipt.writeError = errno;
      return 0;  // libcurl ends the transfer with a write error
    }
    done += static_cast<size_t>(written);
  }
  receipt.written += total;
  return total;
}

// libcurl hands every reply line of the control connection here.
size_t ReadReply(char* data, size_t size, size_t count, void* user) {
  const size_t total = size * count;
  auto& receipt = *static_cast<Receipt*>(user);
  std::string_view line(data, total);
  if (const auto announced = AnnouncedSize(line)) {
    receipt.announced = announced;
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
    line.remove_suffix(1);
  }
  receipt.lastReply = line;
  return total;
}

// Also the abort check of a control that is being destroyed.
int ReportProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto& reports = *static_cast<ProgressReports*>(user);
  if (reports.shared->abort) {
    return 1;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - reports.lastReport >= TransferChannel::kProgressInterval && reports.receipt->written > 0) {
    reports.lastReport = now;
    reports.shared->Report({reports.receipt->written, reports.receipt->announced.value_or(0)});
  }
  return 0;
}

// The code of a failed request and what happened in plain words. A reply code from the server says
// what happened better than libcurl's reading of it: libcurl reports a 421 ("closing the connection")
// as a time-out.
TransferOutcome Failure(CURLcode result, CURL* easy, const FtpRequest& request, const Receipt& receipt,
                        int timeoutSeconds, const char* curlError) {
  long reply = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply);
  if (reply >= 400) {
    return ftp_failure::ServerReply(request, static_cast<int>(reply), receipt.lastReply);
  }
  switch (result) {
    case CURLE_WRITE_ERROR:
      return ftp_failure::CannotWrite(request, std::strerror(receipt.writeError));
    case CURLE_COULDNT_RESOLVE_HOST:
      return ftp_failure::HostUnknown(request);
    case CURLE_COULDNT_CONNECT: {
      long osError = 0;
      curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
      return osError == ECONNREFUSED
                 ? ftp_failure::ConnectionRefused(request)
                 : ftp_failure::NoConnection(request,
                                             osError != 0 ? std::strerror(static_cast<int>(osError)) : curlError);
    }
    case CURLE_OPERATION_TIMEDOUT:
      return ftp_failure::NoAnswer(request, timeoutSeconds);
    default:
      // The data came to an end before the announced size: that is what the user needs to know, whatever
      // libcurl read on the control connection afterwards.
      return receipt.announced && receipt.written < *receipt.announced
                 ? ftp_failure::CutShort(request, receipt.written, *receipt.announced)
                 : ftp_failure::ConnectionFailed(request, curlError);
  }
}

// ftp://host:port/ + the server path percent-encoded; a path from the root opens with "%2F", libcurl's
// way of saying that the first folder hangs off "/", not off the login's home.
std::string LibcurlUrl(const FtpRequest& request) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const bool fromRoot = request.serverPath.starts_with('/');
  std::string url = "ftp://" + request.host + ":" + std::to_string(request.port) + "/" + (fromRoot ? "%2F" : "");
  for (const char c : std::string_view(request.serverPath).substr(fromRoot ? 1 : 0)) {
    const auto u = static_cast<unsigned char>(c);
    const bool plain = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' ||
                       u == '.' || u == '_' || u == '~' || u == '/';
    if (plain) {
      url += c;
    } else {
      url += '%';
      url += kHex[u >> 4];
      url += kHex[u & 0xF];
    }
  }
  return url;
}

void SetTransferOptions(CURL* easy, const FtpRequest& request, int timeoutSeconds, Receipt* receipt,
                        ProgressReports* reports, char* errorBuffer) {
  curl_easy_setopt(easy, CURLOPT_URL, LibcurlUrl(request).c_str());
  curl_easy_setopt(easy, CURLOPT_USERNAME, request.user.empty() ? "anonymous" : request.user.c_str());
  curl_easy_setopt(easy, CURLOPT_PASSWORD, request.password.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  // Per file only PASV and RETR: no CWD (the whole path goes with RETR), no SIZE, no EPSV attempt.
  // Ignoring the length also stops libcurl from checking the size a 150 reply announces: Transfer does.
  curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
  curl_easy_setopt(easy, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
  curl_easy_setopt(easy, CURLOPT_FTP_USE_EPSV, 0L);
  curl_easy_setopt(easy, CURLOPT_FTP_SKIP_PASV_IP, 1L);
  // No progress for the time-out ends the request; a long transfer that moves does not.
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(timeoutSeconds));
  curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(timeoutSeconds));
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeoutSeconds));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteToFile);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, receipt);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, ReadReply);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, receipt);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, ReportProgress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, reports);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
}

// Drives one transfer through the multi interface. While libcurl opens the data connection it names no
// socket to wait on and would sleep up to a second; then it is asked again after 1 ms instead.
CURLcode Drive(CURLM* multi, CURL* easy, const std::atomic<bool>& abort) {
  curl_multi_add_handle(multi, easy);
  CURLcode result = CURLE_OK;
  for (bool done = false; !done;) {
    int running = 0;
    curl_multi_perform(multi, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
      if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
        result = message->data.result;
        done = true;
      }
    }
    if (done || abort) {
      result = done ? result : CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    long timeoutMs = -1;
    curl_multi_timeout(multi, &timeoutMs);
    fd_set readSet, writeSet, errorSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&errorSet);
    int maxFd = -1;
    curl_multi_fdset(multi, &readSet, &writeSet, &errorSet, &maxFd);
    const long ceiling = maxFd < 0 ? 1 : 1000;
    const long wait = timeoutMs < 0 ? ceiling : std::min(timeoutMs, ceiling);
    curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait), nullptr);
  }
  curl_multi_remove_handle(multi, easy);
  return result;
}

TransferOutcome Transfer(CURLM* multi, CURL* easy, const std::shared_ptr<CurlTransferControl::Shared>& shared,
                         const std::string& url, const std::string& operation) {
  const auto request = ParseFtpRequest(url, operation, shared->Settings().remotePort);
  if (!request) {
    return ftp_failure::UnreadableRequest();
  }
  PendingFile temp(ResolveCaseBlind(request->localPath));
  if (!temp.Ok()) {
    return ftp_failure::CannotCreateBeside(*request);
  }
  Receipt receipt;
  receipt.fd = temp.Fd();
  ProgressReports reports{shared, &receipt};
  char curlError[CURL_ERROR_SIZE] = {};
  const int timeoutSeconds = shared->Settings().requestTimeoutSeconds;
  SetTransferOptions(easy, *request, timeoutSeconds, &receipt, &reports, curlError);
  const CURLcode result = Drive(multi, easy, shared->abort);
  // The connection outlives this request; what it reads or reports later is none of this request's business.
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, nullptr);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, nullptr);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, nullptr);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 1L);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
  if (result != CURLE_OK) {
    return Failure(result, easy, *request, receipt, timeoutSeconds, curlError);
  }
  // A data connection closed early looks like the end of the file; only the announced size tells.
  // The temporary file goes with `temp`.
  if (receipt.announced && *receipt.announced != receipt.written) {
    return ftp_failure::CutShort(*request, receipt.written, *receipt.announced);
  }
  if (!temp.Commit()) {
    return ftp_failure::CannotPutInPlace(*request);
  }
  return TransferOutcome::Completed(receipt.written);
}

void RunWorker(const std::shared_ptr<CurlTransferControl::Shared>& shared) {
  CURL* easy = curl_easy_init();
  CURLM* multi = curl_multi_init();
  shared->multi = multi;
  // A request cut short by the destructor goes back to Next, which ends the loop once the cut is over.
  while (const auto next = shared->Next()) {
    const TransferOutcome outcome = easy && multi
                                        ? Transfer(multi, easy, shared, next->url, next->operation)
                                        : TransferOutcome::Failed(codes::kConnectionLost, "libcurl could not start");
    if (!shared->abort) {
      shared->Deliver(outcome);
    }
  }
  shared->multi = nullptr;
  curl_multi_cleanup(multi);
  curl_easy_cleanup(easy);
}

}  // namespace

CurlTransferControl::CurlTransferControl(EventPoster& poster, TransferSettings settings)
    : shared_(std::make_shared<Shared>(poster, settings)) {
  static const CURLcode globalInit = curl_global_init(CURL_GLOBAL_DEFAULT);
  (void)globalInit;
  worker_ = std::thread(RunWorker, shared_);
}

CurlTransferControl::~CurlTransferControl() {
  shared_->Stop([&] {
    shared_->abort = true;
    if (CURLM* multi = shared_->multi.load()) {
      curl_multi_wakeup(multi);
    }
  });
  worker_.join();
}

void CurlTransferControl::SetOutcomeHandler(OutcomeHandler handler) { shared_->SetOutcomeHandler(std::move(handler)); }

void CurlTransferControl::SetProgressHandler(ProgressHandler handler) {
  shared_->SetProgressHandler(std::move(handler));
}

void CurlTransferControl::Execute(const std::string& url, const std::string& operation) {
  shared_->Push(url, operation);
}

}  // namespace tarnwick
