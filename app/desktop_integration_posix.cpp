#include "app/desktop_integration.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/component_folder.h"
#include "app/run.h"
#include "base/ascii.h"
#include "base/escaped_text.h"
#include "base/utf8.h"
#include "portal/portal_update.h"

extern char** environ;  // posix_spawnp passes it on

namespace tarnwick {
namespace {

// An argument that every launcher passes on whole. The desktop entry format could quote any other, but
// xdg-open's generic path (bare X, several desktops, the one a browser uses there) splits the Exec line at
// blanks, ignores quotes and expands "*", "?" and "[", so a path with one of those would not arrive.
bool PassesWhole(const std::string& arg) {
  if (arg.empty() || arg.find_first_of(" \t\"'\\<>~|&;$*?[]#()`%") != std::string::npos) {
    return false;
  }
  for (size_t pos = 0; pos < arg.size();) {
    const auto cp = ReadUtf8CodePoint(arg, pos);
    if (!cp || *cp < 0x20 || *cp == 0x7F) {
      return false;
    }
  }
  return true;
}

std::filesystem::path HomeBased(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value != nullptr && *value != '\0') {
    return value;
  }
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr ? home : ".") / fallback;
}

std::filesystem::path EntryPath() {
  return HomeBased("XDG_DATA_HOME", ".local/share") / "applications" / kLinkEntryName;
}

std::filesystem::path MimeAppsPath() { return HomeBased("XDG_CONFIG_HOME", ".config") / "mimeapps.list"; }

// Written beside the target and renamed over it: a reader sees the old file or the new one.
bool WriteWhole(const std::filesystem::path& path, const std::string& text) {
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  const auto temporary = path.parent_path() / ("." + path.filename().string() + ".new");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) {
      return false;
    }
  }
  std::filesystem::rename(temporary, path, error);
  return !error;
}

int RunTool(std::vector<std::string> args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (auto& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    return -1;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::filesystem::path ExecutablePath() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error);
}

std::optional<std::string> LinkDesktopEntry(const std::string& executable, const std::vector<std::string>& options) {
  std::vector<std::string> args{executable};
  args.insert(args.end(), options.begin(), options.end());
  std::string exec;
  for (const auto& arg : args) {
    if (!PassesWhole(arg)) {
      return std::nullopt;
    }
    exec += arg + " ";
  }
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Version=1.0\n"
         "Name=Tarnwick meeting download\n"
         "Name[th]=ดาวน์โหลดเอกสารการประชุม Tarnwick\n"
         "Comment=Starts a meeting's download from the link on its meeting page\n"
         "Comment[th]=เริ่มดาวน์โหลดเอกสารการประชุมจากลิงก์บนหน้าการประชุม\n"
         "Exec=" +
         exec +
         "-- %u\n"
         "Terminal=false\n"
         "NoDisplay=true\n"
         "MimeType=" +
         kLinkMimeType + ";\n";
}

std::optional<std::string> WithoutLinkDefault(const std::string& mimeapps) {
  std::istringstream in(mimeapps);
  std::string result;
  bool changed = false;
  for (std::string line; std::getline(in, line);) {
    // A file with CR LF line ends stays one; the key may stand between blanks.
    const bool crlf = line.ends_with('\r');
    const std::string_view content(line.data(), line.size() - (crlf ? 1 : 0));
    const size_t equals = content.find('=');
    if (equals != std::string_view::npos && TrimAscii(content.substr(0, equals), " \t") == kLinkMimeType) {
      // A list of entries: only this program's goes.
      std::string kept;
      std::istringstream entries{std::string(content.substr(equals + 1))};
      for (std::string entry; std::getline(entries, entry, ';');) {
        const std::string_view name = TrimAscii(entry, " \t");
        if (name == kLinkEntryName) {
          changed = true;
        } else if (!name.empty()) {
          kept += std::string(name) + ";";
        }
      }
      if (kept.empty()) {
        continue;
      }
      line = std::string(kLinkMimeType) + "=" + kept + (crlf ? "\r" : "");
    }
    result += line + "\n";
  }
  if (!changed) {
    return std::nullopt;
  }
  return result;
}

int RegisterLinkHandler(const CommandLine& line) {
  const auto executable = ExecutablePath();
  if (executable.empty()) {
    std::cerr << kApplicationName << ": cannot tell where this program is\n";
    return kExitErrorBox;
  }
  const auto entry = LinkDesktopEntry(executable.string(), RunOptionArguments(line));
  if (!entry) {
    std::cerr << kApplicationName << ": the links' handler cannot pass on a path with a blank, a quote or one of "
              << "\\ % * ? [ ] $ & ; | < > ( ) # ~ `: choose a folder (and a log) whose path has none\n";
    return kExitArgumentError;
  }
  const auto path = EntryPath();
  if (!WriteWhole(path, *entry)) {
    std::cerr << kApplicationName << ": cannot write " << EscapeControls(path.string()) << "\n";
    return kExitErrorBox;
  }
  std::cout << "wrote the desktop entry " << EscapeControls(path.string()) << "\n";
  if (RunTool({"xdg-mime", "default", kLinkEntryName, kLinkMimeType}) != 0) {
    std::cerr << kApplicationName << ": xdg-mime could not make it the handler of tarnwick-download: links "
              << "(it comes with Debian's xdg-utils)\n";
    return kExitErrorBox;
  }
  std::string command = executable.string();
  for (const auto& option : RunOptionArguments(line)) {
    command += " " + option;
  }
  std::cout << "tarnwick-download: links now start " << EscapeControls(command) << " -- LINK\n";
  return kExitOk;
}

int UnregisterLinkHandler() {
  const auto path = EntryPath();
  std::error_code error;
  const bool removed = std::filesystem::remove(path, error);
  if (error) {
    std::cerr << kApplicationName << ": cannot remove " << EscapeControls(path.string()) << ": " << error.message()
              << "\n";
    return kExitErrorBox;
  }
  const auto mimeapps = MimeAppsPath();
  std::ifstream in(mimeapps, std::ios::binary);
  const auto after =
      WithoutLinkDefault(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
  const bool defaultRemoved = after.has_value();
  if (defaultRemoved && !WriteWhole(mimeapps, *after)) {
    std::cerr << kApplicationName << ": cannot rewrite " << EscapeControls(mimeapps.string()) << "\n";
    return kExitErrorBox;
  }
  if (!removed && !defaultRemoved) {
    std::cout << "nothing to unregister: this user has no handler of tarnwick-download: links from this program\n";
    return kExitOk;
  }
  std::cout << "removed the desktop entry " << EscapeControls(path.string());
  if (defaultRemoved) {
    std::cout << " and its line in " << EscapeControls(mimeapps.string());
  }
  std::cout << "; tarnwick-download: links no longer start this program\n";
  return kExitOk;
}

int OpenPortalPage(const std::string& componentFolder) {
  const auto page = FindIgnoringCase(PathFromUtf8(componentFolder), std::string(kPortalPageName));
  if (!page) {
    std::cerr << kApplicationName << ": " << EscapeControls(NoPortalPageText(componentFolder)) << "\n";
    return kExitErrorBox;
  }
  if (RunTool({"xdg-open", page->string()}) != 0) {
    std::cerr << kApplicationName << ": xdg-open could not open " << EscapeControls(page->string()) << "\n";
    return kExitErrorBox;
  }
  return kExitOk;
}

}  // namespace tarnwick
