#include "portal/portal_update.h"

#include <new>
#include <vector>

#include "base/paths.h"
#include "base/text_lines.h"
#include "launch/folder_configuration.h"
#include "portal/meeting_scan.h"
#include "portal/portal_page.h"

namespace tarnwick {
namespace {

constexpr std::string_view kMessageName = "Tarnwick.msg";

// The count of a meeting's message lines is a 16-bit integer.
constexpr size_t kMaxMessageLines = 32767;

PortalMeeting ReadMeeting(FileSystem& fs, const std::string& componentFolder, int number) {
  const std::string folder = JoinPath(componentFolder, "TW" + std::to_string(number));
  const auto bytes = fs.ReadFile(JoinPath(folder, kMessageName));
  auto lines = bytes ? DecodeTextLines(*bytes) : std::vector<std::string>{};
  // A missing or empty message file lists the meeting with an empty title and no message.
  PortalMeeting meeting{number, lines.empty() ? std::string() : lines.front(), {}};
  if (lines.size() > 1) {
    meeting.messageLines.assign(std::make_move_iterator(lines.begin() + 1), std::make_move_iterator(lines.end()));
  }
  return meeting;
}

// The old page stays, and the window closes without OK: the next run fetches and writes again.
RunFailure PageNotWritten(const std::string& problem) {
  return {FailureBox::Page, 0, "the portal page was not written: " + problem};
}

}  // namespace

std::optional<RunFailure> RewritePortalPage(FileSystem& fs, const std::string& componentFolder) {
  try {
    const std::string serverUrl = ConfiguredServerUrl(fs, componentFolder).value_or(std::string(kDefaultServerUrl));
    const auto scan = ScanMeetingFolders(fs, componentFolder);
    if (const auto* failure = std::get_if<RunFailure>(&scan)) {
      return *failure;  // the old page stays: one without the meetings on disk would hide them
    }
    std::vector<PortalMeeting> meetings;
    for (const int number : std::get<std::vector<int>>(scan)) {
      meetings.push_back(ReadMeeting(fs, componentFolder, number));
      if (meetings.back().messageLines.size() > kMaxMessageLines) {
        return PageNotWritten("the message file of TW" + std::to_string(number) + " has more than 32,767 lines");
      }
    }
    try {
      fs.ReplaceFile(JoinPathOnce(componentFolder, kPortalPageName),
                     EncodeTextLines(BuildPortalPage(serverUrl, componentFolder, meetings)));
    } catch (const FileError& error) {
      return PageNotWritten(error.what());
    }
  } catch (const std::bad_alloc&) {
    return PageNotWritten("out of memory while the portal page was built");
  }
  return std::nullopt;
}

}  // namespace tarnwick
