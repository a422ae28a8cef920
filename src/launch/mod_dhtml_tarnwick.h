// The code module that carries the page's cookie text from the click to the window.
#pragma once

#include <string>

namespace tarnwick::modDHTMLTarnwick {

extern std::string LaunchCookie;

}  // namespace tarnwick::modDHTMLTarnwick
