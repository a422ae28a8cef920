// The secret key's password for tarnwick-publish --sign.
#pragma once

#include <string>

#include "signature/minisign.h"

namespace tarnwick {

// Asks with `prompt` and reads the answer without echo when standard input is a terminal (a console on
// Windows); else reads the first line of standard input, for scripts. Whether anything came, a line end at
// least; Password::TooLong() tells a line too long.
bool ReadPassword(const std::string& prompt, Password& password);

}  // namespace tarnwick
