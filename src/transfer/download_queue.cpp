// The download queue: Timer1 starts the next file whenever none is in flight; Inet2 ends it.
#include "platform/response_codes.h"
#include "transfer/remote_paths.h"
#include "window/frm_download.h"
#include "window/texts.h"

namespace tarnwick {

void FrmDownLoad::Timer1_Timer() {
  if (!open_ || !controls_.timer1.enabled || state_.ReadyForNext == kFalse16 ||
      state_.FileIndex >= fLst_.ListCount()) {
    return;
  }
  const std::string name = fLst_.List(state_.FileIndex);
  if (name.empty()) {
    // An empty manifest line names no file: passed over, and counts as done.
    state_.FileIndex += 1;
    FileArrived();
    return;
  }
  try {
    StartFileDownload(name);
  } catch (const TransferFailure& failure) {
    FailFile(name, failure.Code());
    return;
  }
  state_.ReadyForNext = kFalse16;
  state_.FileIndex += 1;
}

void FrmDownLoad::StartFileDownload(const std::string& name) {
  if (!StaysInsideFolder(name)) {
    throw TransferFailure(codes::kNameOutsideFolder);
  }
  const std::string localTarget = LocalFolderPath() + "\\" + name;
  try {
    if (platform_.fs.FileExists(localTarget)) {
      platform_.fs.DeleteFile(localTarget);
    }
  } catch (const FileError&) {
    throw TransferFailure(codes::kCannotDelete);
  }
  try {
    ExecuteOn(*inet2_, inet2Pending_, RemoteFolder() + "\\" + name, localTarget);
  } catch (const TransferRefused&) {
    throw TransferFailure(codes::kRequestRefused);
  }
}

void FrmDownLoad::Inet2_StateChanged(int state) {
  if (state == icError) {
    FailFile(fLst_.List(state_.FileIndex - 1), inet2_->ResponseCode());
  } else if (state == icResponseCompleted) {
    FileArrived();
  }
}

void FrmDownLoad::FileArrived() {
  state_.ReadyForNext = kTrue16;
  const Int16 count = fLst_.ListCount();
  if (state_.FileIndex > count - 1) {
    FinishQueue();
  } else {
    controls_.progressBar1.value = state_.FileIndex + 1;
  }
}

void FrmDownLoad::FinishQueue() {
  controls_.timer1.enabled = false;
  if (!WritePortalPage() || !open_) {
    return;
  }
  controls_.lblwait.caption = std::string(texts::kCompletedPrefix) + std::to_string(fLst_.ListCount().Get()) +
                              std::string(texts::kCompletedSuffix);
  controls_.cmdOk.enabled = true;
}

void FrmDownLoad::FailFile(const std::string& name, int code) {
  state_.ReadyForNext = kFalse16;
  EndRunWithBox(std::string(texts::kFileErrorPrefix) + name + std::string(texts::kFileErrorMiddle) +
                std::to_string(code));
}

}  // namespace tarnwick
