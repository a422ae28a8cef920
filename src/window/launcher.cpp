#include "window/launcher.h"

namespace tarnwick {

Launcher::Launcher(Platform& platform, std::string componentFolder)
    : platform_(platform), componentFolder_(std::move(componentFolder)) {}

CloseReason Launcher::Click(std::string cookie, LaunchSource source) {
  if (!window_) {
    window_ = std::make_unique<DownloadWindow>(platform_, componentFolder_);
  }
  window_->SetLaunchCookie(std::move(cookie), source);
  platform_.host.ShowModal(*window_);
  return window_->LastCloseReason();
}

}  // namespace tarnwick
