// The request texts are joined from the cookie and the manifest without escaping, and split again before
// they reach a transfer control. Input: the URL, a line feed, the operation. The same lines, cut at tabs, also give
// the parts for a join-then-split round trip: login, password, host; remote path, local path.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "launch/launch_parameters.h"
#include "remote/remote_request.h"
#include "transfer/remote_paths.h"

namespace {

std::vector<std::string_view> Cut(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t pos = text.find(separator); pos != std::string_view::npos; pos = text.find(separator, start)) {
    parts.push_back(text.substr(start, pos - start));
    start = pos + 1;
  }
  parts.push_back(text.substr(start));
  return parts;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Independently of how StaysInsideFolder looks: a name it lets through must not lead out of the folder.
void CheckInsideFolder(std::string_view name) {
  if (!tarnwick::StaysInsideFolder(name)) {
    return;
  }
  FUZZ_REQUIRE(name.find('\0') == std::string_view::npos);
  FUZZ_REQUIRE(!name.starts_with('\\') && !name.starts_with('/'));
  FUZZ_REQUIRE(!(name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':'));
  for (const auto backslashPart : Cut(name, '\\')) {
    for (const auto part : Cut(backslashPart, '/')) {
      FUZZ_REQUIRE(part != "..");
    }
  }
}

// What goes into an FTP command line must stay one command: no line end in the user or the password, no
// control character in the path the server is sent.
bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20; }

bool HoldsLineEnd(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) != text.npos; }

void CheckRequest(const tarnwick::RemoteRequest& request) {
  FUZZ_REQUIRE(!request.host.empty());
  FUZZ_REQUIRE(request.port >= 1 && request.port <= 65535);
  FUZZ_REQUIRE(!HoldsLineEnd(request.user) && !HoldsLineEnd(request.password));
  FUZZ_REQUIRE(std::none_of(request.serverPath.begin(), request.serverPath.end(), IsControl));
}

// Joined by the logic's own builders, split by the transfer control: every part comes back, provided it
// holds nothing that the joined text uses as a separator.
void CheckRoundTrip(std::string_view urlLine, std::string_view operationLine) {
  const auto urlParts = Cut(urlLine, '\t');
  const auto operationParts = Cut(operationLine, '\t');
  if (urlParts.size() != 3 || operationParts.size() != 2) {
    return;
  }
  tarnwick::LaunchParameters parameters;
  parameters.login = urlParts[0];
  parameters.password = urlParts[1];
  parameters.host = urlParts[2];
  const std::string_view remote = operationParts[0];
  const std::string_view local = operationParts[1];
  if (parameters.login.find_first_of(":@") != std::string::npos ||
      parameters.host.find_first_of(":@") != std::string::npos || parameters.host.empty() || remote.empty() ||
      remote.find("  ") != std::string_view::npos || remote.ends_with(' ') || HoldsLineEnd(parameters.login) ||
      HoldsLineEnd(parameters.password) || std::any_of(remote.begin(), remote.end(), IsControl)) {
    return;
  }
  const auto request =
      tarnwick::ParseRemoteRequest(tarnwick::BuildFtpUrl(parameters), tarnwick::BuildGetOperation(remote, local), 2121);
  FUZZ_REQUIRE(request);
  FUZZ_REQUIRE(request->user == parameters.login);
  FUZZ_REQUIRE(request->password == parameters.password);
  FUZZ_REQUIRE(request->host == parameters.host);
  FUZZ_REQUIRE(request->port == 2121);
  FUZZ_REQUIRE(request->localPath == local);
  CheckRequest(*request);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckInsideFolder(input);

  const size_t lineEnd = input.find('\n');
  const std::string_view urlLine = input.substr(0, lineEnd);
  const std::string_view operationLine = lineEnd == std::string_view::npos ? "" : input.substr(lineEnd + 1);
  if (const auto request = tarnwick::ParseRemoteRequest(std::string(urlLine), std::string(operationLine), 21)) {
    CheckRequest(*request);
  }
  if (operationLine.size() > 4) {
    CheckInsideFolder(operationLine.substr(4));  // the remote path as the manifest named it
  }
  CheckRoundTrip(urlLine, operationLine);
  return 0;
}
