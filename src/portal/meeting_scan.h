// Which meeting folders "TW1" to "TW9" (any letter case) are directly inside the component folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/run_failure.h"

namespace tarnwick {

// 1 to 9 for a folder name "TW1" to "TW9" in any letter case, else 0.
int MeetingNumberOf(std::string_view folderName);

// The meeting numbers, ascending, each once; fails at ChkFolder when the component folder cannot be listed.
OrFailure<std::vector<int>> ScanMeetingFolders(FileSystem& fs, const std::string& componentFolder);

}  // namespace tarnwick
