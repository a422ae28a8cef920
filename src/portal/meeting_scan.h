// Which meeting folders "TW1" to "TW9" (any letter case) are directly inside the component folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tarnwick {

// 1 to 9 for a folder name "TW1" to "TW9" in any letter case, else 0.
int MeetingNumberOf(std::string_view folderName);

struct MeetingScan {
  std::vector<int> numbers;  // ascending, each once
  bool failed = false;       // the component folder could not be listed: no numbers
  std::string problem;       // why, when failed
};

MeetingScan ScanMeetingFolders(FileSystem& fs, const std::string& componentFolder);

}  // namespace tarnwick
