// Reads the URL and operation text of a request for a remote file as the logic joins them, unescaped,
// whichever protocol then fetches it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

struct RemoteRequest {
  std::string host;
  int port = 21;
  std::string user;
  std::string password;
  std::string serverPath;  // as the server is sent it: Windows-874, "/" between folders, a leading "/" from the root
  std::string remotePath;  // as the logic wrote it, with "/" for "\\": for messages
  std::string localPath;   // as the logic wrote it
};

// "ftp://" + user + ":" + password + "@" + host[:port]: the host follows the last "@" and the user ends
// at the first ":", so a ":", "@" or "/" in the password still reads right. The operation is
// "Get " + remote path + two blanks + local path; in the remote path "\" separates folders, and a
// leading "\" starts at the server's root. Nothing when either text cannot be read, and nothing for a
// line end in the user or password or a control character in the remote path: each goes into an FTP
// command line, where it would end the command early.
std::optional<RemoteRequest> ParseRemoteRequest(const std::string& url, const std::string& operation, int defaultPort);

// A server path as it goes into a URL: every byte but letters, digits, "-._~" and "/" as "%XX".
std::string PercentEncoded(std::string_view serverPath);

}  // namespace tarnwick
