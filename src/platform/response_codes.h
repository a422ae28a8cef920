// Response codes of our own, shown where the server gave no FTP reply code.
#pragma once

namespace tarnwick::codes {

// Reported by the transfer control.
inline constexpr int kNoConnection = 901;         // host unknown or connection refused
inline constexpr int kTimedOut = 902;             // no progress for the request time-out
inline constexpr int kLocalWrite = 903;           // the local file cannot be written
inline constexpr int kConnectionLost = 904;       // the connection failed without a reply code
inline constexpr int kBadRequest = 905;           // URL or operation text that cannot be read
inline constexpr int kTlsFailed = 906;            // TLS required but not offered, or the server's certificate refused
inline constexpr int kDiffersFromManifest = 914;  // twice a file whose length or digest is not what the manifest says

// Reported by the run itself.
// fetched manifest unreadable, under two lines, or too long (the transfer control stops it at its bound)
inline constexpr int kUnusableManifest = 910;
inline constexpr int kNameOutsideFolder = 911;  // file name that leads outside the local folder
inline constexpr int kCannotDelete = 912;       // a local file that has to go cannot be deleted
inline constexpr int kRequestRefused = 913;     // the transfer control refused the request
// the component folder holds its publisher's keys, and the manifest is not signed by one of them, or signed
// but leaves a file unchecked
inline constexpr int kNotSigned = 915;

}  // namespace tarnwick::codes
