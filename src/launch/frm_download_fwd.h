#pragma once

namespace tarnwick {
class FrmDownLoad;
}
