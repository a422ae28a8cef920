// The window's own texts, shown to the user exactly as they stand.
#pragma once

#include <string_view>

namespace tarnwick::texts {

inline constexpr std::string_view kErrorTitle = "มีข้อผิดพลาด";
inline constexpr std::string_view kArgumentErrorText = "You Send Argument Error\r\nPlease. Asked Ostwin, 555-010101";
inline constexpr std::string_view kArgumentErrorTitle = "Error";
// A link from a web page names a server that the component folder does not trust.
inline constexpr std::string_view kUntrustedServerPrefix = "The meeting server ";
inline constexpr std::string_view kUntrustedServerSuffix = " is not trusted on this computer. Nothing was downloaded.";
inline constexpr std::string_view kCreditsText = "   ทีมงานBrannock\r\n    มหาวิทยาลัยQuillon";
inline constexpr std::string_view kCreditsTitle = "พัฒนาโปรแกรมโดย...";
inline constexpr std::string_view kUpToDateCaption = "ข้อมูลในเครื่องเป็นปัจจุบันแล้วครับ";
inline constexpr std::string_view kManifestErrorPrefix = "Load FileUpdate Error ";
inline constexpr std::string_view kFileErrorPrefix = "Load File  ";
inline constexpr std::string_view kFileErrorMiddle = " Error ";
inline constexpr std::string_view kCompletedPrefix = "File Copy Completed =  ";
inline constexpr std::string_view kCompletedSuffix = " Files";
// The status line while a busy server is waited for: prefix, seconds, suffix.
inline constexpr std::string_view kServerBusyPrefix = "Server busy: next try in ";
inline constexpr std::string_view kServerBusySuffix = " s";

// Step labels: the text of a guarded step's error box.
inline constexpr std::string_view kStageStart = "Start-1";
inline constexpr std::string_view kStageChkFolder = "ChkFolder-1 ";
inline constexpr std::string_view kStagePage = "Page-1";

}  // namespace tarnwick::texts
