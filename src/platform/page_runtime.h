// The hosting page: it delivers the click of DownLoad and lends its cookie to the run.
#pragma once

#include <string>

namespace tarnwick {

class PageRuntime {
 public:
  virtual ~PageRuntime() = default;
  // BaseWindow.document.cookie at the time of the call.
  virtual std::string Cookie() = 0;
};

}  // namespace tarnwick
