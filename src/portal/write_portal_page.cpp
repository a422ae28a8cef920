// Rewrites the portal page from the configuration, the meeting folders and their message files.
#include "platform/text_lines.h"
#include "portal/portal_page.h"
#include "window/frm_download.h"
#include "window/texts.h"

namespace tarnwick {
namespace {

// The meeting server's web site when the configuration file gives none.
constexpr std::string_view kDefaultServerHost = "meeting.tarnwick.example";

constexpr size_t kMaxMessageLines = 32767;

struct PageFailure {};

}  // namespace

bool FrmDownLoad::WritePortalPage() {
  const auto config = platform_.fs.ReadFile(InComponentFolder(texts::kConfigName));
  const auto configLines = config ? DecodeTextLines(*config) : std::vector<std::string>{};
  state_.ServerUrl = configLines.size() >= 2 ? configLines[1] : "https://" + std::string(kDefaultServerHost) + "/meeting";

  ClearMeetingNo();
  ScanMeetingFolders();
  CompactMeetingNo();

  try {
    std::vector<PortalMeeting> meetings;
    for (int i = 0; i <= state_.LastMeeting; ++i) {
      const int number = state_.MeetingNo[static_cast<size_t>(i)];
      const auto bytes = platform_.fs.ReadFile(MeetingFolderPath(number) + "\\" + std::string(texts::kMessageName));
      auto lines = bytes ? DecodeTextLines(*bytes) : std::vector<std::string>{};
      // A missing or empty message file lists the meeting with an empty title and no message.
      PortalMeeting meeting{number, lines.empty() ? std::string() : lines.front(), {}};
      if (lines.size() > 1) {
        meeting.messageLines.assign(lines.begin() + 1, lines.end());
      }
      if (meeting.messageLines.size() > kMaxMessageLines) {
        throw PageFailure{};
      }
      state_.MeetingTitle[static_cast<size_t>(i)] = meeting.title;
      meetings.push_back(std::move(meeting));
    }
    const auto page = BuildPortalPage(state_.ServerUrl, componentFolder_, meetings);
    platform_.fs.ReplaceFile(InComponentFolder(texts::kPageName), EncodeTextLines(page));
    return true;
  } catch (const PageFailure&) {
  } catch (const FileError&) {
  }
  // The old page stays; the window closes without OK, so the next run fetches and writes again.
  state_.ErrorStage = std::string(texts::kStagePage);
  ShowErrorStageBox();
  CloseWindow(CloseReason::ErrorBox);
  return false;
}

}  // namespace tarnwick
