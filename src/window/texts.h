// The window's own texts, shown to the user exactly as they stand.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/escaped_text.h"

namespace tarnwick::texts {

inline constexpr std::string_view kErrorTitle = "มีข้อผิดพลาด";
inline constexpr std::string_view kArgumentErrorText = "You Send Argument Error\r\nPlease. Asked Ostwin, 555-010101";
// The title of the boxes that refuse a run before it touches anything: the argument error, an untrusted
// server, a component folder that another run holds.
inline constexpr std::string_view kRefusalTitle = "Error";
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

// The detail lines the window words itself; every other step words its own failures.
inline constexpr std::string_view kOutOfMemoryDetail = "out of memory";
inline constexpr std::string_view kManifestRequestRefusedDetail = "the manifest request could not be started: ";
inline constexpr std::string_view kRequestRefusedDetail = "the request could not be started: ";
inline constexpr std::string_view kNameOutsideFolderDetail =
    "the name leads outside the meeting folder; it was not requested";

// The texts above that carry a value, with the value filled in. The host came from a link, the name from the
// server's manifest.
inline std::string UntrustedServerText(std::string_view host) {
  return std::string(kUntrustedServerPrefix).append(ShownValue(host)).append(kUntrustedServerSuffix);
}
inline std::string ManifestErrorText(int code) { return std::string(kManifestErrorPrefix) + std::to_string(code); }
inline std::string FileErrorText(std::string_view name, int code) {
  return std::string(kFileErrorPrefix).append(ShownValue(name)).append(kFileErrorMiddle) + std::to_string(code);
}
inline std::string CompletedCaption(size_t files) {
  return std::string(kCompletedPrefix) + std::to_string(files) + std::string(kCompletedSuffix);
}
inline std::string ServerBusyCaption(int seconds) {
  return std::string(kServerBusyPrefix) + std::to_string(seconds) + std::string(kServerBusySuffix);
}

}  // namespace tarnwick::texts
