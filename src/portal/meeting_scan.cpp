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

MeetingScan ScanMeetingFolders(FileSystem& fs, const std::string& componentFolder) {
  MeetingScan scan;
  try {
    for (const auto& name : fs.ListSubfolders(componentFolder)) {
      if (const int number = MeetingNumberOf(name)) {
        scan.numbers.push_back(number);
      }
    }
  } catch (const FileError& error) {
    return {{}, true, error.what()};
  }
  // Case-blind names can name one meeting twice ("TW3" and "tw3"): it is listed once.
  std::sort(scan.numbers.begin(), scan.numbers.end());
  scan.numbers.erase(std::unique(scan.numbers.begin(), scan.numbers.end()), scan.numbers.end());
  return scan;
}

}  // namespace tarnwick
