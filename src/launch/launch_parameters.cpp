// Start of a run: the launch cookie, its check, and the recovery marker.
#include <string_view>

#include "launch/mod_dhtml_tarnwick.h"
#include "platform/text_lines.h"
#include "transfer/remote_paths.h"
#include "window/frm_download.h"
#include "window/texts.h"

namespace tarnwick {
namespace {

struct ArgumentError {};
struct MalformedElement {};

std::vector<std::string_view> SplitCookie(std::string_view cookie) {
  std::vector<std::string_view> elements;
  if (cookie.empty()) {
    return elements;
  }
  size_t start = 0;
  for (size_t pos = cookie.find(';'); pos != std::string_view::npos; pos = cookie.find(';', start)) {
    elements.push_back(cookie.substr(start, pos - start));
    start = pos + 1;
  }
  elements.push_back(cookie.substr(start));
  return elements;
}

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - ('a' - 'A'));
    }
  }
  return upper;
}

void DecodeHostDots(std::string& host) {
  // A "." never forms a new "%2E", so one pass from left to right equals replacing the first until none is left.
  for (size_t pos = host.find("%2E"); pos != std::string::npos; pos = host.find("%2E", pos + 1)) {
    host.replace(pos, 3, ".");
  }
}

// The local folder must be one folder directly inside the component folder, or the recovery step
// could delete files elsewhere.
bool NamesOneFolderInside(const std::string& localFolder) {
  return !localFolder.empty() && localFolder != "." && localFolder != ".." &&
         localFolder.find('/') == std::string::npos && localFolder.find('\0') == std::string::npos;
}

// Returns the field that the key names, or nullptr for a key that is passed over.
std::string* FieldForKey(RunState& state, const std::string& key) {
  if (key == "HOST") return &state.Host;
  if (key == "SUBSOURCE") return &state.SubSource;
  if (key == "TIMESOURCE") return &state.TimeSource;
  if (key == "LOGIN") return &state.Login;
  if (key == "PWD") return &state.Password;
  return nullptr;
}

Int16 StoreCookieElements(RunState& state, std::string_view cookie) {
  Int16 recognised = 0;
  const auto elements = SplitCookie(cookie);
  for (Int16 index = 0; index < static_cast<int>(elements.size()); index += 1) {
    const std::string_view element = TrimBlanks(elements[static_cast<size_t>(index.Get())]);
    const size_t equals = element.find('=');
    if (equals == std::string_view::npos) {
      throw MalformedElement{};
    }
    std::string* field = FieldForKey(state, UpperAscii(element.substr(0, equals)));
    if (field == nullptr) {
      continue;
    }
    *field = std::string(element.substr(equals + 1));
    if (field == &state.SubSource) {
      state.LocalFolder = LastBackslashComponent(state.SubSource);
    }
    recognised += 1;
  }
  return recognised;
}

}  // namespace

void FrmDownLoad::Form_Resize() {
  platform_.host.RepaintNow();
  state_.NewRevision = "2";
  state_.KeptRevision = "1";
  controls_.timer1.enabled = false;
  // A start in the same window begins afresh: earlier lists go, earlier notifications become stale.
  ++runSerial_;
  dLst_.Clear();
  fLst_.Clear();
  nLst_.Clear();
  sLst_.Clear();
  ReadLaunchParameters();
}

void FrmDownLoad::ReadLaunchParameters() {
  try {
    state_.ErrorStage = std::string(texts::kStageStart);
    const Int16 recognised = StoreCookieElements(state_, modDHTMLTarnwick::LaunchCookie);
    DecodeHostDots(state_.Host);
    if (recognised != 5 || !NamesOneFolderInside(state_.LocalFolder)) {
      throw ArgumentError{};
    }
    const std::string localFolder = LocalFolderPath();
    if (platform_.fs.FileExists(MarkerPath()) && platform_.fs.FolderExists(localFolder)) {
      for (const auto& name : platform_.fs.ListPlainFiles(localFolder)) {
        platform_.fs.DeleteFile(localFolder + "\\" + name);
      }
    }
    platform_.fs.ReplaceFile(MarkerPath(), EncodeTextLines({std::string(texts::kMarkerLine)}));
    FetchManifest();
  } catch (const ArgumentError&) {
    platform_.host.MessageBox(std::string(texts::kArgumentErrorText), std::string(texts::kArgumentErrorTitle),
                              MessageIcon::Critical);
    CloseWindow(CloseReason::ArgumentError);
  } catch (...) {
    ShowErrorStageBox();
    CloseWindow(CloseReason::ErrorBox);
  }
}

}  // namespace tarnwick
