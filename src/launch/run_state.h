// The member fields of the download window that carry a run; they outlive the window's controls.
#pragma once

#include <array>
#include <string>

#include "platform/int16.h"

namespace tarnwick {

struct RunState {
  std::array<Int16, 10> MeetingNo{};
  std::array<std::string, 10> MeetingTitle{};
  std::string KeptRevision;
  std::string NewRevision;
  std::string ErrorStage;
  Int16 LastMeeting;
  std::string ServerUrl;
  std::string Host;
  std::string SubSource;
  std::string LocalFolder;
  std::string Login;
  std::string Password;
  std::string TimeSource;
  Int16 FileIndex;
  Int16 ReadyForNext;
};

}  // namespace tarnwick
