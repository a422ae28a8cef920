// Reads the URL and operation text of an FTP request as the logic joins them, unescaped.
#pragma once

#include <optional>
#include <string>

namespace tarnwick {

struct FtpRequest {
  std::string host;
  int port = 21;
  std::string user;
  std::string password;
  std::string urlForLibcurl;  // ftp://host:port/ + the remote path in Windows-874, percent-encoded
  std::string remotePath;     // as the logic wrote it, with "/" for "\\": for messages
  std::string localPath;      // as the logic wrote it
};

// "ftp://" + user + ":" + password + "@" + host[:port]: the host follows the last "@" and the user ends
// at the first ":", so a ":", "@" or "/" in the password still reads right. The operation is
// "Get " + remote path + two blanks + local path; in the remote path "\" separates folders, and a
// leading "\" starts at the server's root. Nothing when either text cannot be read.
std::optional<FtpRequest> ParseFtpRequest(const std::string& url, const std::string& operation, int defaultPort);

}  // namespace tarnwick
