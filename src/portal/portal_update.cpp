#include "portal/portal_update.h"

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

}  // namespace

PortalUpdate RewritePortalPage(FileSystem& fs, const std::string& componentFolder) {
  const std::string serverUrl = ConfiguredServerUrl(fs, componentFolder).value_or(std::string(kDefaultServerUrl));
  const MeetingScan scan = ScanMeetingFolders(fs, componentFolder);
  if (scan.failed) {
    return {true, false, scan.problem};  // the old page stays: one without the meetings on disk would hide them
  }
  std::vector<PortalMeeting> meetings;
  for (const int number : scan.numbers) {
    meetings.push_back(ReadMeeting(fs, componentFolder, number));
    if (meetings.back().messageLines.size() > kMaxMessageLines) {
      return {false, false, "the message file of TW" + std::to_string(number) + " has more than 32,767 lines"};
    }
  }
  try {
    fs.ReplaceFile(JoinPathOnce(componentFolder, kPortalPageName),
                   EncodeTextLines(BuildPortalPage(serverUrl, componentFolder, meetings)));
  } catch (const FileError& error) {
    return {false, false, error.what()};
  }
  return {false, true, {}};
}

}  // namespace tarnwick
