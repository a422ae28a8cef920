#include "launch/mod_dhtml_tarnwick.h"

namespace tarnwick::modDHTMLTarnwick {

std::string LaunchCookie;

}  // namespace tarnwick::modDHTMLTarnwick
