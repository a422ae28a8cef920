#include "curl_transfer/curl_transfer.h"

#ifndef _WIN32
#include <sys/select.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ascii.h"
#include "curl_transfer/proxy_route.h"
#include "digest/sha256_beside.h"
#include "ftp/ftp_reply.h"
#include "http/http_response.h"
#include "remote/transfer_failures.h"
#ifdef _WIN32
#include "win32_fs/win32_file_system.h"
#else
#include "posix_fs/posix_file_system.h"
#endif

namespace tarnwick {
namespace {

#ifdef _WIN32
constexpr long kConnectionRefused = 10061;  // WSAECONNREFUSED, as CURLINFO_OS_ERRNO gives it
using PendingFile = Win32PendingFile;
std::wstring NativeTarget(const std::string& localPath) { return WidePath(localPath); }
std::string OsReason(long error) { return SystemReason(static_cast<unsigned long>(error)); }
std::string WriteReason(const PendingFile& file) { return SystemReason(file.Error()); }
#else
constexpr long kConnectionRefused = ECONNREFUSED;
using PendingFile = PosixPendingFile;
std::string NativeTarget(const std::string& localPath) { return ResolveForWriting(localPath); }
std::string OsReason(long error) { return std::strerror(static_cast<int>(error)); }
std::string WriteReason(const PendingFile&) { return std::strerror(errno); }
#endif

// libcurl reads up to this much at a time, and the file is written in pieces of this size: libcurl hands
// data over in 16 KiB at most, and a write each costs a big file its pace.
constexpr size_t kLargeBlock = 1 << 20;

// A try that asks for the rest asks from this far before the end of the kept bytes: the server's bytes
// there must equal the kept ones, which proves that the rest continues the same file.
constexpr std::uint64_t kOverlap = 64 << 10;

// The temporary file and what is known of the bytes in it, kept from one try to the next.
struct FileSoFar {
  std::unique_ptr<PendingFile> file;
  std::uint64_t bytes = 0;             // in the file, or on their way to it
  std::optional<Sha256Beside> digest;  // of those written, when the manifest gives the file's digest
  std::string tail;                    // their last kOverlap bytes at most

  void Append(std::string_view more) {
    bytes += more.size();
    if (more.size() >= kOverlap) {
      tail.assign(more.substr(more.size() - kOverlap));
    } else {
      tail.append(more);
      if (tail.size() >= 2 * kOverlap) {
        tail.erase(0, tail.size() - kOverlap);
      }
    }
  }
  // Empties the file for a download from nothing; false when it cannot be emptied.
  bool Restart() {
    if (!file->Restart()) {
      return false;
    }
    bytes = 0;
    tail.clear();
    try {
      if (digest) {
        digest->Reset();
      }
    } catch (const std::exception&) {  // the digest's library failed; its caller may be libcurl
      return false;
    }
    return true;
  }
  std::string_view Tail(std::uint64_t length) const {
    return std::string_view(tail).substr(tail.size() - static_cast<size_t>(length));
  }
};

// Why a try stopped the bytes coming, when it did.
enum class Stop {
  None,
  NotTheSameFile,  // the overlap differs from the kept bytes: the rest would splice two files
  PastAnnounced,   // more than the server announced
  PastListed,      // more than the manifest's size=
  PastMost,        // more than the request's bound
  DiskNearlyFull,  // no length known, and the disk's reserve reached
  TwoLengths,      // the web server announced two lengths: which one ends the file cannot be told
  Encoded,         // the web server sent the file encoded, which was not asked for: not its own bytes
};

// One try of one request: where its bytes go and what is known of their length.
struct Receipt {
  FileSoFar* file = nullptr;
  const FileChecks* checks = nullptr;
  std::uint64_t written = 0;                 // the position in the file that the answer's bytes have come to
  std::uint64_t from = 0;                    // asked for the rest from here (REST, or over HTTPS Range)
  std::uint64_t keptEnd = 0;                 // the answer's bytes before here are the overlap, compared, not written
  bool restByCommand = false;                // over FTP: REST sent on its own, without libcurl's SIZE before it
  std::optional<std::uint64_t> announced;    // the whole file's length, as the server said it
  std::optional<std::uint64_t> firstLength;  // the whole file's length, as the first answer said it
  Stop stop = Stop::None;
  std::uint64_t stoppedAt = 0;            // how far the answer had come when it was stopped
  std::optional<std::string> writeError;  // why a write failed
  std::string lastReply;                  // the server's last reply line, for a failure's detail
  std::string unwritten;                  // received, for the file's next large write
  bool http = false;
  bool throughProxy = false;
  CURL* easy = nullptr;    // over HTTPS: whose headers libcurl keeps
  std::string statusLine;  // over HTTPS: the status line of the response coming
  HttpResponse response;   // over HTTPS: what the headers said, once they have all come

  // The bytes received so far to the file, and to its digest; false (and why in writeError) when the write
  // failed.
  bool WriteOut() {
    if (unwritten.empty()) {
      return true;
    }
    if (!file->file->Write(unwritten)) {
      writeError = WriteReason(*file->file);
      return false;
    }
    if (file->digest) {
      file->digest->Add(std::exchange(unwritten, {}));
      unwritten.reserve(kLargeBlock);
    } else {
      unwritten.clear();
    }
    return true;
  }

  // The most bytes the file may have, and which bound that is.
  std::pair<std::optional<std::uint64_t>, Stop> Bound() const {
    std::pair<std::optional<std::uint64_t>, Stop> bound{announced, Stop::PastAnnounced};
    const auto tighter = [&](std::optional<std::uint64_t> most, Stop which) {
      if (most && (!bound.first || *most < *bound.first)) {
        bound = {most, which};
      }
    };
    tighter(checks->size, Stop::PastListed);
    tighter(checks->most > 0 ? std::optional(checks->most) : std::nullopt, Stop::PastMost);
    return bound;
  }

  // The answer's bytes stop coming: libcurl ends the transfer with a write error.
  size_t Stopped(Stop why, std::uint64_t at) {
    stop = why;
    stoppedAt = at;
    return 0;
  }

  // A file of no known length leaves the disk its reserve: an endless answer never fills it.
  bool LeavesTheReserve() const {
    const auto space = file->file->Space();
    return !space || space->available >= DiskReserve(*space) + unwritten.size();
  }
};

// Over HTTPS only a 2xx response's body is the file; another's (a page saying 404) is dropped, and so is a
// 206 that is not the rest asked for: another start, or a whole file of another length than the one that
// the first answer and the manifest name ("*" names none).
bool IsTheFile(const Receipt& receipt) {
  const HttpResponse& response = receipt.response;
  if (!receipt.http) {
    return true;
  }
  if (response.status == 206) {
    const auto agrees = [&](std::optional<std::uint64_t> length) {
      return !length || response.completeLength == length;
    };
    return response.rangeStart == receipt.from && response.completeLength && agrees(receipt.firstLength) &&
           agrees(receipt.checks->size);
  }
  return response.status >= 200 && response.status < 300;
}

// Where the progress of the request in flight goes, a few times a second at most, and whether to cut it.
struct ProgressReports {
  TransferChannel* channel = nullptr;
  const Receipt* receipt = nullptr;
  const std::atomic<bool>* cut = nullptr;
  std::chrono::steady_clock::time_point lastReport{};
};

size_t WriteToFile(char* data, size_t size, size_t count, void* user) {
  auto& receipt = *static_cast<Receipt*>(user);
  const size_t total = size * count;
  if (!IsTheFile(receipt)) {
    return total;
  }
  std::string_view bytes(data, total);
  if (receipt.written < receipt.keptEnd) {
    const auto overlap = static_cast<size_t>(std::min<std::uint64_t>(bytes.size(), receipt.keptEnd - receipt.written));
    const std::string_view kept = receipt.file->Tail(receipt.keptEnd - receipt.written).substr(0, overlap);
    if (bytes.substr(0, overlap) != kept) {
      return receipt.Stopped(Stop::NotTheSameFile, receipt.written);
    }
    receipt.written += overlap;
    bytes.remove_prefix(overlap);
  }
  if (bytes.empty()) {
    return total;
  }
  if (const auto [most, which] = receipt.Bound(); most && receipt.written + bytes.size() > *most) {
    return receipt.Stopped(which, receipt.written + bytes.size());
  }
  receipt.file->Append(bytes);
  receipt.unwritten.append(bytes);
  receipt.written += bytes.size();
  if (receipt.unwritten.size() >= kLargeBlock) {
    if (!receipt.Bound().first && !receipt.LeavesTheReserve()) {
      return receipt.Stopped(Stop::DiskNearlyFull, receipt.written);
    }
    if (!receipt.WriteOut()) {
      return 0;  // libcurl ends the transfer with a write error
    }
  }
  return total;
}

// What libcurl read of the response whose header lines have just ended.
HttpResponse ResponseRead(CURL* easy, std::string_view statusLine) {
  long status = 0;
  curl_off_t retryAfter = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_getinfo(easy, CURLINFO_RETRY_AFTER, &retryAfter);
  return ReadResponse(static_cast<int>(status), statusLine, retryAfter, [easy](std::string_view name) {
    std::vector<std::string> values;
    const std::string key(name);
    curl_header* header = nullptr;
    for (size_t index = 0;
         curl_easy_header(easy, key.c_str(), index, CURLH_HEADER, -1, &header) == CURLHE_OK && index < header->amount;
         ++index) {
      values.emplace_back(header->value);
    }
    return values;
  });
}

// libcurl hands every reply line of the control connection, or every header line, here.
size_t ReadReply(char* data, size_t size, size_t count, void* user) {
  const size_t total = size * count;
  auto& receipt = *static_cast<Receipt*>(user);
  std::string_view line(data, total);
  if (receipt.http) {
    if (StartsWithIgnoringAsciiCase(line, "HTTP/")) {  // a response starts afresh: an interim one's lines go
      receipt.statusLine = line;
      receipt.response = {};
      return total;
    }
    if (line != "\r\n" && line != "\n") {
      return total;
    }
    receipt.response = ResponseRead(receipt.easy, receipt.statusLine);
    const HttpResponse& response = receipt.response;
    receipt.announced = !IsTheFile(receipt)      ? std::nullopt
                        : response.status == 206 ? response.completeLength
                                                 : response.contentLength;
    if (IsTheFile(receipt) && response.otherContentLength) {
      return receipt.Stopped(Stop::TwoLengths, 0);
    }
    if (IsTheFile(receipt) && !response.contentEncoding.empty()) {
      return receipt.Stopped(Stop::Encoded, 0);
    }
    // Asked for the rest, the web server sends the whole file (published anew since): from nothing.
    if (receipt.keptEnd > 0 && response.status == 200) {
      if (!receipt.file->Restart()) {
        receipt.writeError = WriteReason(*receipt.file->file);
        return 0;  // libcurl ends the transfer with a write error
      }
      receipt.from = 0;
      receipt.written = 0;
      receipt.keptEnd = 0;
    }
    return total;
  }
  // After REST a 150 names the whole or the rest, as servers differ: the first try's size stands.
  if (const auto announced = AnnouncedSize(line); announced && receipt.from == 0) {
    receipt.announced = announced;
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
    line.remove_suffix(1);
  }
  receipt.lastReply = line;
  return total;
}

// Also the check of a control that is being destroyed.
int ReportProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto& reports = *static_cast<ProgressReports*>(user);
  if (*reports.cut) {
    return 1;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - reports.lastReport >= TransferChannel::kProgressInterval && reports.receipt->written > 0) {
    reports.lastReport = now;
    reports.channel->Report({reports.receipt->written, reports.receipt->announced.value_or(0)});
  }
  return 0;
}

// The code of a failed request and what happened in plain words. A reply code from the server says
// what happened better than libcurl's reading of it: libcurl reports a 421 ("closing the connection")
// as a time-out.
TransferOutcome Failure(CURLcode result, CURL* easy, const RemoteRequest& request, const Receipt& receipt,
                        int timeoutSeconds, const char* curlError) {
  if (result == CURLE_USE_SSL_FAILED) {  // the server's refusal of AUTH TLS is not the run's failure to show
    return transfer_failure::NoTlsOffered(request);
  }
  // The proxy's own answer to CONNECT: its refusal is not the meeting server's (a 407 is no 530).
  long proxyReply = 0;
  curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &proxyReply);
  if (proxyReply >= 300) {
    return transfer_failure::ProxyRefused(request, static_cast<int>(proxyReply));
  }
  long reply = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply);
  if (reply >= 400) {
    return transfer_failure::ServerReply(request, static_cast<int>(reply), receipt.lastReply);
  }
  switch (result) {
    case CURLE_COULDNT_RESOLVE_PROXY:
      return transfer_failure::ProxyUnknown(request);
    case CURLE_WRITE_ERROR:
      return transfer_failure::CannotWrite(request, receipt.writeError.value_or(curlError));
    case CURLE_COULDNT_RESOLVE_HOST:
      return transfer_failure::HostUnknown(request);
    case CURLE_COULDNT_CONNECT: {
      long osError = 0;
      curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
      if (receipt.throughProxy) {  // the meeting server's refusal would come as the proxy's answer to CONNECT
        return transfer_failure::ProxyUnreachable(request, osError != 0 ? OsReason(osError) : curlError);
      }
      return osError == kConnectionRefused
                 ? transfer_failure::ConnectionRefused(request)
                 : transfer_failure::NoConnection(request, osError != 0 ? OsReason(osError) : curlError);
    }
    case CURLE_OPERATION_TIMEDOUT:
      return transfer_failure::NoAnswer(request, timeoutSeconds);
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CACERT_BADFILE:
      return transfer_failure::CertificateRefused(request, curlError);
    default:
      // A connection that broke in the middle of a file (a data connection reset with the server's 426
      // unread behind it, or the login gone after the data) is a link that broke: a refusal for now, however
      // much of the file came. Only a file that the server ended as complete is measured against its size.
      if (result == CURLE_SEND_ERROR || result == CURLE_RECV_ERROR || result == CURLE_GOT_NOTHING) {
        return transfer_failure::ConnectionReset(request, curlError);
      }
      // After REST libcurl knows the size and ends a data connection that closes early itself, before the
      // server's last reply (Windows reads a reset as such a close); over HTTPS it always knows it from
      // Content-Length, and the connection's close is all there is: when bytes came, the link broke.
      if (result == CURLE_PARTIAL_FILE && (receipt.from > 0 || receipt.http) && receipt.written > receipt.from) {
        return transfer_failure::ConnectionReset(request, curlError);
      }
      if (receipt.announced && receipt.written < *receipt.announced) {
        return transfer_failure::SizeDiffers(request, receipt.written, *receipt.announced);
      }
      return transfer_failure::ConnectionFailed(request, curlError);
  }
}

// A kept login that the server had closed (an idle time-out's 421, or the connection gone): the request
// never reached the server, and a new login serves it.
bool LoginWasGone(CURLcode result, CURL* easy, const Receipt& receipt) {
  long reply = 0;
  long newConnections = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply);
  curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &newConnections);
  if (newConnections != 0 || receipt.written != 0) {
    return false;
  }
  const bool brokenLink = result == CURLE_SEND_ERROR || result == CURLE_RECV_ERROR || result == CURLE_GOT_NOTHING ||
                          result == CURLE_FTP_WEIRD_SERVER_REPLY;
  return reply == 421 || (reply == 0 && brokenLink);
}

}  // namespace

void SetProxyOptions(CURL* easy, const std::string& proxy) {
  curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
  // The route is chosen once, by the run (and logged): libcurl must not bypass it after its own no_proxy reading.
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
  if (proxy.empty()) {
    return;
  }
  // Basic (or another method) from the proxy URL's login. Without one, only what needs no password: Negotiate
  // with the system's Kerberos ticket (SSPI's logon on Windows, NTLM there too), for which ":" is the login
  // that makes libcurl answer at all; a proxy that asks for Basic then gets nothing, and its 407 stands.
  const auto address = ReadProxyAddress(proxy);
  const bool login = address && address->hasUser;
#ifdef _WIN32
  constexpr unsigned long kWithoutPassword = CURLAUTH_NEGOTIATE | CURLAUTH_NTLM;
#else
  constexpr unsigned long kWithoutPassword = CURLAUTH_NEGOTIATE;
#endif
  curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<long>(login ? CURLAUTH_ANY : kWithoutPassword));
  curl_easy_setopt(easy, CURLOPT_PROXYUSERPWD, login ? nullptr : ":");
  // The proxy's answer to CONNECT is not the meeting server's: its headers never reach the receipt.
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  // FTP only in a tunnel too: as an ftp:// URL the proxy would be handed the meeting's password in clear.
  curl_easy_setopt(easy, CURLOPT_HTTPPROXYTUNNEL, 1L);
}

namespace {

// ftp://host:port/ + the server path percent-encoded; a path from the root opens with "%2F", libcurl's
// way of saying that the first folder hangs off "/", not off the login's home.
std::string LibcurlUrl(const RemoteRequest& request) {
  const bool fromRoot = request.serverPath.starts_with('/');
  return "ftp://" + request.host + ":" + std::to_string(request.port) + "/" + (fromRoot ? "%2F" : "") +
         PercentEncoded(std::string_view(request.serverPath).substr(fromRoot ? 1 : 0));
}

long UseSsl(TlsMode tls) {
  switch (tls) {
    case TlsMode::Required:
      return CURLUSESSL_ALL;
    case TlsMode::WhenOffered:
      return CURLUSESSL_TRY;
    case TlsMode::Off:
      break;
  }
  return CURLUSESSL_NONE;
}

// Over HTTPS alone, never plain HTTP, so the login goes only where TLS protects it; the certificate is
// checked (libcurl's default). Basic authentication when the cookie names a login. Redirects are not left
// to libcurl: TryTransfer follows those that stay on the same host. HTTP/2 where libcurl has it.
void SetHttpsOptions(CURL* easy, const RemoteRequest& request) {
  curl_easy_setopt(easy, CURLOPT_URL, HttpsUrl(request).c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
  if (!request.user.empty()) {
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(easy, CURLOPT_USERNAME, request.user.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, request.password.c_str());
  }
}

void SetTransferOptions(CURL* easy, const RemoteRequest& request, const TransferSettings& settings, Receipt* receipt,
                        ProgressReports* reports, char* errorBuffer) {
  const auto timeoutSeconds = static_cast<long>(settings.requestTimeoutSeconds);
  if (receipt->http) {
    SetHttpsOptions(easy, request);
  } else {
    curl_easy_setopt(easy, CURLOPT_URL, LibcurlUrl(request).c_str());
    curl_easy_setopt(easy, CURLOPT_USERNAME, request.user.empty() ? "anonymous" : request.user.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, request.password.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
  }
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  // AUTH TLS before USER when asked for; the certificate is always checked (libcurl's default).
  curl_easy_setopt(easy, CURLOPT_USE_SSL, UseSsl(settings.tls));
  curl_easy_setopt(easy, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
  // Per file only PASV and RETR: no CWD (the whole path goes with RETR), no SIZE, no EPSV attempt.
  // Ignoring the length also stops libcurl from checking the size a 150 reply announces: Transfer does.
  curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
  // Over TLS the size is read (SIZE, one command more a file): with Schannel, a read to the end of a
  // protected data connection waits for the server's close, while the server waits for the client's.
  // libcurl sends REST (the bytes kept, skipped) only after SIZE: a try that resumes reads the size.
  // A server that refuses SIZE gets REST as a command of its own, before RETR (PREQUOTE, set by Try).
  curl_easy_setopt(
      easy, CURLOPT_IGNORE_CONTENT_LENGTH,
      settings.tls == TlsMode::Off && !receipt->http && (receipt->from == 0 || receipt->restByCommand) ? 1L : 0L);
  curl_easy_setopt(easy, CURLOPT_RESUME_FROM_LARGE,
                   static_cast<curl_off_t>(receipt->http || receipt->restByCommand ? 0 : receipt->from));
  curl_easy_setopt(easy, CURLOPT_FTP_USE_EPSV, 0L);
  curl_easy_setopt(easy, CURLOPT_FTP_SKIP_PASV_IP, 1L);
  // No progress for the time-out ends the request; a long transfer that moves does not.
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, timeoutSeconds);
  curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, timeoutSeconds);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, timeoutSeconds);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteToFile);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, receipt);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, ReadReply);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, receipt);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, ReportProgress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, reports);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, static_cast<long>(kLargeBlock));
}

// Where a redirect leads: its Location resolved by libcurl's URL parser against the address that answered,
// which names no login (the login goes as options), so a login in the result is the Location's own.
std::optional<std::string> RedirectTarget(CURL* easy) {
  curl_header* location = nullptr;
  char* answered = nullptr;
  if (curl_easy_header(easy, "Location", 0, CURLH_HEADER, -1, &location) != CURLHE_OK ||
      curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &answered) != CURLE_OK || answered == nullptr) {
    return std::nullopt;
  }
  const std::unique_ptr<CURLU, void (*)(CURLU*)> url(curl_url(), curl_url_cleanup);
  char* resolved = nullptr;
  if (!url || curl_url_set(url.get(), CURLUPART_URL, answered, 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_USER, nullptr, 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_PASSWORD, nullptr, 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_URL, location->value, 0) != CURLUE_OK ||
      curl_url_get(url.get(), CURLUPART_URL, &resolved, 0) != CURLUE_OK) {
    return std::nullopt;
  }
  std::string target = resolved;
  curl_free(resolved);
  return target;
}

// The connection outlives the request; what it reads or reports later is none of this request's business.
void ClearTransferOptions(CURL* easy) {
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, nullptr);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, nullptr);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, nullptr);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 1L);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
  curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 0L);
  curl_easy_setopt(easy, CURLOPT_NOBODY, 0L);
  curl_easy_setopt(easy, CURLOPT_FILETIME, 0L);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(easy, CURLOPT_RANGE, nullptr);
  curl_easy_setopt(easy, CURLOPT_PREQUOTE, nullptr);
}

// Drives one transfer through the multi interface. Between the data port's reply and opening the data
// connection libcurl names no socket to wait on and would sleep up to a second; then it is asked again at
// once, and after 1 ms each time while it still names none.
CURLcode Drive(CURLM* multi, CURL* easy, const std::atomic<bool>& cut) {
  curl_multi_add_handle(multi, easy);
  CURLcode result = CURLE_OK;
  int roundsWithoutSocket = 0;
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
    if (done || cut) {
      result = done ? result : CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    long timeoutMs = -1;
    curl_multi_timeout(multi, &timeoutMs);
    fd_set readSet;
    fd_set writeSet;
    fd_set errorSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&errorSet);
    int maxFd = -1;
    curl_multi_fdset(multi, &readSet, &writeSet, &errorSet, &maxFd);
    roundsWithoutSocket = maxFd < 0 ? roundsWithoutSocket + 1 : 0;
    if (roundsWithoutSocket == 1) {
      continue;
    }
    const long ceiling = maxFd < 0 ? 1 : 1000;
    const long wait = timeoutMs < 0 ? ceiling : std::min(timeoutMs, ceiling);
    curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait), nullptr);
  }
  curl_multi_remove_handle(multi, easy);
  return result;
}

}  // namespace

// The temporary file and what the server said of the file, kept from one try to the next.
struct CurlFileTransfer::Kept {
  FileSoFar sofar;
  std::optional<std::uint64_t> size;   // the whole file's length, as the first answer said it
  std::optional<curl_off_t> modified;  // by MDTM, at the first try that asked
  std::string validator;               // over HTTPS: the first try's ETag or date, for If-Range
  bool differedOnce = false;           // the file came whole once already but not as the manifest says
  bool restByCommand = false;          // the server refused SIZE or MDTM: the overlap alone proves the rest
};

CurlFileTransfer::CurlFileTransfer(CURL* easy, CURLM* multi, TransferChannel& channel, const RemoteRequest& request,
                                   const FileChecks& checks, const std::atomic<bool>& cut, bool throughProxy)
    : easy_(easy),
      multi_(multi),
      channel_(channel),
      request_(request),
      checks_(checks),
      cut_(cut),
      throughProxy_(throughProxy),
      kept_(std::make_unique<Kept>()) {}

CurlFileTransfer::~CurlFileTransfer() = default;

CurlTry CurlFileTransfer::Try() {
  FileSoFar& sofar = kept_->sofar;
  if (!sofar.file) {
    sofar.file = std::make_unique<PendingFile>(NativeTarget(request_.localPath));
    if (!sofar.file->Ok()) {
      sofar.file.reset();
      return {transfer_failure::CannotCreateBeside(request_)};
    }
    if (!checks_.sha256.empty()) {
      try {
        sofar.digest.emplace();
      } catch (const std::exception& error) {  // the digest's library failed
        return {transfer_failure::CannotWrite(request_, error.what())};
      }
    }
  }
  const TransferSettings& settings = channel_.Settings();
  if (sofar.bytes > 0) {
    // A web server is asked for the rest along with what names the file (If-Range): it answers with the
    // rest, or with the whole file when it has another. Without an ETag or a date that cannot be asked.
    const bool https = settings.protocol == Protocol::Https;
    const std::optional<CurlTry> failed = !https                     ? AskForTheRest()
                                          : kept_->validator.empty() ? StartFromNothing()
                                                                     : std::nullopt;
    if (failed) {
      return *failed;
    }
  }
  Receipt receipt;
  receipt.file = &sofar;
  receipt.checks = &checks_;
  receipt.throughProxy = throughProxy_;
  receipt.http = settings.protocol == Protocol::Https;
  receipt.easy = easy_;
  receipt.keptEnd = sofar.bytes;
  receipt.from = sofar.bytes - std::min(sofar.bytes, kOverlap);
  receipt.written = receipt.from;
  receipt.restByCommand = !receipt.http && kept_->restByCommand && receipt.from > 0;
  if (receipt.keptEnd > 0) {
    receipt.announced = kept_->size;
    receipt.firstLength = kept_->size;
  }
  ProgressReports reports{&channel_, &receipt, &cut_};
  char curlError[CURL_ERROR_SIZE] = {};
  SetTransferOptions(easy_, request_, settings, &receipt, &reports, curlError);
  const std::unique_ptr<curl_slist, void (*)(curl_slist*)> ifRange(
      receipt.http && receipt.keptEnd > 0 ? curl_slist_append(nullptr, ("If-Range: " + kept_->validator).c_str())
                                          : nullptr,
      curl_slist_free_all);
  if (ifRange) {
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, ifRange.get());
    curl_easy_setopt(easy_, CURLOPT_RANGE, (std::to_string(receipt.from) + "-").c_str());
  }
  const std::unique_ptr<curl_slist, void (*)(curl_slist*)> rest(
      receipt.restByCommand ? curl_slist_append(nullptr, ("REST " + std::to_string(receipt.from)).c_str()) : nullptr,
      curl_slist_free_all);
  if (rest) {
    curl_easy_setopt(easy_, CURLOPT_PREQUOTE, rest.get());
  }
  CURLcode result = Drive(multi_, easy_, cut_);
  // A web server's redirect is followed while it stays on the meeting server's scheme, host and port.
  constexpr int kMostRedirects = 5;
  for (int hop = 0; receipt.http && result == CURLE_OK && receipt.response.status / 100 == 3 && hop < kMostRedirects;
       ++hop) {
    const std::optional<std::string> target = RedirectTarget(easy_);
    if (!target || !SameOrigin(request_, *target)) {
      break;
    }
    curl_easy_setopt(easy_, CURLOPT_URL, target->c_str());
    result = Drive(multi_, easy_, cut_);
  }
  ClearTransferOptions(easy_);
  if (cut_) {
    return {Failure(result, easy_, request_, receipt, settings.requestTimeoutSeconds, curlError)};
  }
  const bool resumed = receipt.keptEnd > 0;
  const bool notTheRest = receipt.http && result == CURLE_OK && !IsTheFile(receipt);
  if (resumed && (receipt.stop == Stop::NotTheSameFile || result == CURLE_FTP_COULDNT_USE_REST ||
                  (receipt.restByCommand && result == CURLE_QUOTE_ERROR) || result == CURLE_BAD_DOWNLOAD_RESUME ||
                  notTheRest || receipt.response.status == 416)) {
    // The server would not send the rest of the very file that is kept: the file from nothing, on this try.
    if (const std::optional<CurlTry> failed = StartFromNothing()) {
      return *failed;
    }
    return Try();
  }
  switch (receipt.stop) {
    case Stop::PastAnnounced:
      return {transfer_failure::SizeDiffers(request_, receipt.stoppedAt, receipt.announced.value_or(0))};
    case Stop::PastListed:
      return Differs(transfer_failure::LongerThanListed(request_, *checks_.size));
    case Stop::PastMost:
      return {transfer_failure::LongerThanBound(request_, checks_.most)};
    case Stop::DiskNearlyFull:
      return {transfer_failure::DiskNearlyFull(request_, receipt.stoppedAt)};
    case Stop::TwoLengths:
      return {transfer_failure::LengthsDisagree(request_, receipt.response.contentLength.value_or(0),
                                                receipt.response.otherContentLength.value_or(0))};
    case Stop::Encoded:
      return {transfer_failure::EncodedAnswer(request_, receipt.response.contentEncoding)};
    case Stop::NotTheSameFile:
    case Stop::None:
      break;
  }
  if (!receipt.WriteOut()) {
    return {transfer_failure::CannotWrite(request_, *receipt.writeError)};
  }
  if (receipt.http && receipt.response.status >= 300) {
    return {HttpFailure(request_, receipt.response)};
  }
  if (notTheRest) {
    return {HttpFailure(request_, receipt.response)};
  }
  if (result != CURLE_OK) {
    if (receipt.from == 0) {
      kept_->size = receipt.announced;
      kept_->validator = receipt.response.Validator();
    }
    return {Failure(result, easy_, request_, receipt, settings.requestTimeoutSeconds, curlError),
            LoginWasGone(result, easy_, receipt)};
  }
  // A data connection closed early looks like the end of the file; only the announced size tells.
  // The temporary file goes with this transfer.
  if (receipt.announced && *receipt.announced != receipt.written) {
    return {transfer_failure::SizeDiffers(request_, receipt.written, *receipt.announced)};
  }
  if (checks_.size && *checks_.size != sofar.bytes) {
    return Differs(transfer_failure::NotTheListedSize(request_, sofar.bytes, *checks_.size));
  }
  if (sofar.digest) {
    std::string digest;
    try {
      digest = sofar.digest->Finish();
    } catch (const std::exception& error) {
      return {transfer_failure::CannotWrite(request_, error.what())};
    }
    if (digest != checks_.sha256) {
      return Differs(transfer_failure::NotTheListedDigest(request_, digest, checks_.sha256));
    }
  }
  if (!sofar.file->Commit()) {
    return {transfer_failure::CannotPutInPlace(request_)};
  }
  return {TransferOutcome::Completed(sofar.bytes)};
}

// A file that is not what the manifest says may have met a fault on its way: it comes once more from
// nothing. A second difference is the server's file itself.
CurlTry CurlFileTransfer::Differs(TransferOutcome difference) {
  if (kept_->differedOnce) {
    return {std::move(difference)};
  }
  kept_->differedOnce = true;
  if (const std::optional<CurlTry> failed = StartFromNothing()) {
    return *failed;
  }
  return Try();
}

// The kept bytes are worth asking the rest for only while the server's file may be the one they came from:
// its size (SIZE) that of the first answer and of the manifest, its modification time (MDTM) that of the
// first try that asked. A server that names another gets the file from nothing; one that refuses either gets
// REST all the same, as a command of its own. The overlap of the next try proves the rest.
std::optional<CurlTry> CurlFileTransfer::AskForTheRest() {
  Receipt receipt;
  receipt.file = &kept_->sofar;
  receipt.checks = &checks_;
  receipt.throughProxy = throughProxy_;
  ProgressReports reports{&channel_, &receipt, &cut_};
  char curlError[CURL_ERROR_SIZE] = {};
  SetTransferOptions(easy_, request_, channel_.Settings(), &receipt, &reports, curlError);
  curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(easy_, CURLOPT_FILETIME, 1L);
  // libcurl hands what it learnt to the body's writer too, as header lines; none of it belongs in the file.
  curl_easy_setopt(
      easy_, CURLOPT_WRITEFUNCTION, +[](char*, size_t size, size_t count, void*) { return size * count; });
  curl_easy_setopt(easy_, CURLOPT_IGNORE_CONTENT_LENGTH, 0L);
  const CURLcode result = Drive(multi_, easy_, cut_);
  curl_off_t size = -1;
  curl_off_t modified = -1;
  long reply = 0;
  curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
  curl_easy_getinfo(easy_, CURLINFO_FILETIME_T, &modified);
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &reply);
  ClearTransferOptions(easy_);
  constexpr long kRefused = 500;  // a refusal for good, of SIZE or MDTM: not of the file
  if (result != CURLE_OK && (reply < kRefused || cut_)) {
    return CurlTry{Failure(result, easy_, request_, receipt, channel_.Settings().requestTimeoutSeconds, curlError),
                   !cut_ && LoginWasGone(result, easy_, receipt)};
  }
  if (result != CURLE_OK) {
    // Nothing to compare with: the rest is asked for all the same, and the overlap alone proves it.
    kept_->restByCommand = true;
    return std::nullopt;
  }
  // Without a size from the first answer (a 150 reply that named none), SIZE's stands from now on.
  const auto agrees = [&](std::optional<std::uint64_t> length) {
    return !length || static_cast<std::uint64_t>(size) == *length;
  };
  const bool same = size >= 0 && agrees(kept_->size) && agrees(checks_.size) && modified >= 0 &&
                    kept_->modified.value_or(modified) == modified;
  if (same) {
    kept_->size = static_cast<std::uint64_t>(size);
    kept_->modified = modified;
    return std::nullopt;
  }
  return StartFromNothing();
}

std::optional<CurlTry> CurlFileTransfer::StartFromNothing() {
  if (!kept_->sofar.Restart()) {
    return CurlTry{transfer_failure::CannotWrite(request_, WriteReason(*kept_->sofar.file))};
  }
  kept_->size.reset();
  kept_->modified.reset();
  kept_->validator.clear();
  kept_->restByCommand = false;
  return std::nullopt;
}

}  // namespace tarnwick
