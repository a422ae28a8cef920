#include "window/design.h"

namespace tarnwick::design {

static_assert(FindControl("CmdOk").left == 2475);
static_assert(TwipsToPixels(kClientWidth) == 422 && TwipsToPixels(kClientHeight) == 119);
static_assert(kBackColour.Red() == 255 && kBackColour.Green() == 255 && kBackColour.Blue() == 170);

}  // namespace tarnwick::design
