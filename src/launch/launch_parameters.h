// The five launch parameters and the cookie text that carries them from the meeting page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/run_failure.h"

namespace tarnwick {

struct LaunchParameters {
  std::string host;         // HOST, every "%2E" turned into "."; may carry ":port"
  std::string subSource;    // SUBSOURCE: the remote source folder
  std::string localFolder;  // the part of subSource after its last "\": the meeting folder's name
  std::string login;        // LOGIN
  std::string password;     // PWD
  std::string timeSource;   // TIMESOURCE: the folder level between subSource and the file names
};

enum class CookieVerdict {
  Accepted,
  WrongCount,         // not exactly five recognised elements (an empty cookie included)
  UnsafeLocalFolder,  // the local folder would not be one folder inside the component folder
  ElementWithoutEquals,
  TooManyElements,  // more than 32,767
};

// Reads the cookie's ";"-separated elements into `parameters`. Keys are matched without regard to case;
// other keys are passed over. A key that is missing keeps the value it had, and fields written before a
// refusal stay written.
CookieVerdict ReadLaunchCookie(std::string_view cookie, LaunchParameters& parameters);

// What ends a run whose cookie was not accepted: nothing for CookieVerdict::Accepted.
std::optional<RunFailure> CookieFailure(CookieVerdict verdict);

}  // namespace tarnwick
