#include "window/layout.h"

namespace tarnwick::layout {

static_assert(TwipsToPixels(kClientWidth) == 422 && TwipsToPixels(kClientHeight) == 119);
static_assert(TwipsToPixels(kClientWidth, 144) == 633 && TwipsToPixels(kClientHeight, 144) == 179);
static_assert(kBackColour.Red() == 255 && kBackColour.Green() == 255 && kBackColour.Blue() == 170);
static_assert(kOkBackColour.Red() == 235 && kOkBackColour.Green() == 226 && kOkBackColour.Blue() == 67);

}  // namespace tarnwick::layout
