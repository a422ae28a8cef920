// Which meeting folders TW1 to TW9 are on disk.
#include "window/frm_download.h"
#include "window/texts.h"

namespace tarnwick {
namespace {

// 1 to 9 for a folder name "TW1" to "TW9" in any letter case, else 0.
int MeetingNumberOf(const std::string& folderName) {
  if (folderName.size() != 3 || (folderName[0] != 'T' && folderName[0] != 't') ||
      (folderName[1] != 'W' && folderName[1] != 'w') || folderName[2] < '1' || folderName[2] > '9') {
    return 0;
  }
  return folderName[2] - '0';
}

}  // namespace

void FrmDownLoad::ClearMeetingNo() { state_.MeetingNo.fill(Int16(0)); }

void FrmDownLoad::ScanMeetingFolders() {
  state_.ErrorStage = std::string(texts::kStageChkFolder);
  try {
    for (const auto& name : platform_.fs.ListSubfolders(componentFolder_)) {
      if (const int number = MeetingNumberOf(name)) {
        state_.MeetingNo[static_cast<size_t>(number)] = number;
      }
    }
  } catch (const FileError&) {
    ShowErrorStageBox();
    CloseWindow(CloseReason::ErrorBox);
  }
}

void FrmDownLoad::CompactMeetingNo() {
  state_.LastMeeting = -1;
  for (size_t i = 1; i <= 9; ++i) {
    if (state_.MeetingNo[i] > 0) {
      state_.LastMeeting += 1;
      state_.MeetingNo[static_cast<size_t>(state_.LastMeeting.Get())] = state_.MeetingNo[i];
    }
  }
}

}  // namespace tarnwick
