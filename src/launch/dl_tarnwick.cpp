#include "launch/dl_tarnwick.h"

#include "launch/mod_dhtml_tarnwick.h"
#include "window/frm_download.h"

namespace tarnwick {

DLTarnwick::DLTarnwick(PageRuntime& page, Platform& platform, std::string componentFolder)
    : page_(page), platform_(platform), componentFolder_(std::move(componentFolder)) {}

DLTarnwick::~DLTarnwick() = default;

bool DLTarnwick::DownLoad_onclick() {
  modDHTMLTarnwick::LaunchCookie = page_.Cookie();
  if (!form_) {
    form_ = std::make_unique<FrmDownLoad>(platform_, componentFolder_);
  }
  platform_.host.ShowModal(*form_);
  return false;
}

}  // namespace tarnwick
