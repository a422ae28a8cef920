// The meeting from a web server over HTTPS: the address of a file, what a response's headers mean for the
// file, and what a response that is not the file means for the run, in the codes and boxes that FTP's
// replies have where FTP has them. Pure: the libcurl control hands the headers in and sends the address out.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/transfer_control.h"
#include "remote/remote_request.h"

namespace tarnwick {

// What the header lines of one response said.
struct HttpResponse {
  int status = 0;
  std::string reason;                               // the reason phrase; HTTP/2 sends none
  std::optional<std::uint64_t> contentLength;       // of a response with the file
  std::optional<std::uint64_t> otherContentLength;  // a second Content-Length that names another length
  std::string contentEncoding;  // none is asked for: anything but "identity" is not the file's own bytes
  int retryAfterSeconds = 0;    // of a busy server's 503 or 429: 0 for none
  std::string entityTag;        // a strong ETag; a weak one cannot ask for the rest
  std::string lastModified;
  std::optional<std::uint64_t> rangeStart;      // of a 206: where its bytes begin in the file
  std::optional<std::uint64_t> completeLength;  // of a 206: the whole file's length

  // What If-Range names so that the rest comes only of this very file: its ETag, else its date.
  std::string Validator() const { return entityTag.empty() ? lastModified : entityTag; }
};

// https://host:port/ + the server path percent-encoded from its Windows-874 bytes, from the web root
// whether or not it begins with "/".
std::string HttpsUrl(const RemoteRequest& request);

// Whether `url` (a redirect's target) is on the request's own scheme, host and port.
bool SameOrigin(const RemoteRequest& request, std::string_view url);

// Every value of one header of a response, by the header's name, in the order they came (libcurl's header
// interface hands them over; none when the header is missing).
using HeaderValues = std::function<std::vector<std::string>(std::string_view name)>;

// What a response said: its status and status line ("HTTP/1.1 404 Not Found", "HTTP/2 200"), the seconds of its
// Retry-After as libcurl reads them (a date in the past is negative, none is 0), and its headers.
HttpResponse ReadResponse(int status, std::string_view statusLine, std::int64_t retryAfterSeconds,
                          const HeaderValues& values);

// A status that is not the file (300 and above): 401 and 403 a refused login (530), 404 and 410 a missing
// file (550), 503 and 429 a busy server (421, for now, with
// its Retry-After), every other under its own status; the detail names
// the status and its reason phrase.
TransferOutcome HttpFailure(const RemoteRequest& request, const HttpResponse& response);

}  // namespace tarnwick
