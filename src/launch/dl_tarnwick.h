// The page class whose element DownLoad starts a run.
#pragma once

#include <memory>
#include <string>

#include "platform/page_runtime.h"

namespace tarnwick {

class FrmDownLoad;
struct Platform;

class DLTarnwick {
 public:
  DLTarnwick(PageRuntime& page, Platform& platform, std::string componentFolder);
  ~DLTarnwick();

  // Click of DownLoad: returns when the download window has closed; always false.
  bool DownLoad_onclick();

  // The window object, once the first click has created it.
  FrmDownLoad* Form() const { return form_.get(); }

 private:
  PageRuntime& page_;
  Platform& platform_;
  std::string componentFolder_;
  std::unique_ptr<FrmDownLoad> form_;
};

}  // namespace tarnwick
