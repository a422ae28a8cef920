// The click on the meeting page's download element: it hands the page's cookie to the download window
// and shows the window modally. The window object lives as long as the launcher, so its run state
// (the launch parameters among it) carries over from one click to the next.
#pragma once

#include <memory>
#include <string>

#include "window/download_window.h"

namespace tarnwick {

class Launcher {
 public:
  Launcher(Platform& platform, std::string componentFolder);

  // Returns when the window has closed, with the way it closed.
  CloseReason Click(std::string cookie, LaunchSource source = LaunchSource::CookieFile);

 private:
  Platform& platform_;
  std::string componentFolder_;
  std::unique_ptr<DownloadWindow> window_;
};

}  // namespace tarnwick
