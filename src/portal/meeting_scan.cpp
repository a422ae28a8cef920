#include "portal/meeting_scan.h"

#include <algorithm>

#include "base/ascii.h"

namespace tarnwick {

int MeetingNumberOf(std::string_view folderName) {
  if (folderName.size() != 3 || !StartsWithIgnoringAsciiCase(folderName, "TW") || folderName[2] < '1' ||
      folderName[2] > '9') {
    return 0;
  }
  return folderName[2] - '0';
}

OrFailure<std::vector<int>> ScanMeetingFolders(FileSystem& fs, const std::string& componentFolder) {
  std::vector<int> numbers;
  try {
    for (const auto& name : fs.ListSubfolders(componentFolder)) {
      if (const int number = MeetingNumberOf(name)) {
        numbers.push_back(number);
      }
    }
  } catch (const FileError& error) {
    return RunFailure{FailureBox::ChkFolder, 0, std::string("the meeting folders cannot be listed: ") + error.what()};
  }
  // Case-blind names can name one meeting twice ("TW3" and "tw3"): it is listed once.
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

}  // namespace tarnwick
