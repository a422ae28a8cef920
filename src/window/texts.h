// The system's own texts, shown to the user or written to disk exactly as they stand.
#pragma once

#include <string_view>

namespace tarnwick::texts {

inline constexpr std::string_view kErrorTitle = "มีข้อผิดพลาด";
inline constexpr std::string_view kArgumentErrorText = "You Send Argument Error\r\nPlease. Asked Ostwin, 555-010101";
inline constexpr std::string_view kArgumentErrorTitle = "Error";
inline constexpr std::string_view kCreditsText = "   ทีมงานBrannock\r\n    มหาวิทยาลัยQuillon";
inline constexpr std::string_view kCreditsTitle = "พัฒนาโปรแกรมโดย...";
inline constexpr std::string_view kUpToDateCaption = "ข้อมูลในเครื่องเป็นปัจจุบันแล้วครับ";
inline constexpr std::string_view kManifestErrorPrefix = "Load FileUpdate Error ";
inline constexpr std::string_view kFileErrorPrefix = "Load File  ";
inline constexpr std::string_view kFileErrorMiddle = " Error ";
inline constexpr std::string_view kCompletedPrefix = "File Copy Completed =  ";
inline constexpr std::string_view kCompletedSuffix = " Files";

// Step labels: the text of a guarded step's error box.
inline constexpr std::string_view kStageStart = "Start-1";
inline constexpr std::string_view kStageChkFolder = "ChkFolder-1 ";
inline constexpr std::string_view kStagePage = "Page-1";

// Names in the component folder and the local folder.
inline constexpr std::string_view kMarkerName = "CodeWork";
inline constexpr std::string_view kMarkerLine = " 1 ";
inline constexpr std::string_view kServerManifestName = "FileUpDate.dat";
inline constexpr std::string_view kFetchedManifestName = "oFileUpdate.dat";
inline constexpr std::string_view kKeptManifestName = "FileUpdate.dat";
inline constexpr std::string_view kConfigName = "Tarnwick.cfg";
inline constexpr std::string_view kMessageName = "Tarnwick.msg";
inline constexpr std::string_view kPageName = "Tarnwick.html";

}  // namespace tarnwick::texts
