#include "app/desktop_integration.h"

// clang-format off
#include <windows.h>  // first: shellapi.h builds on its types
#include <shellapi.h>
// clang-format on
#undef MessageBox  // the window host's member, not the system's macro

#include <iostream>

#include "app/component_folder.h"
#include "app/run.h"
#include "base/escaped_text.h"
#include "portal/portal_update.h"
#include "win32_codec/windows874_win32.h"

namespace tarnwick {
namespace {

constexpr const wchar_t* kSchemeKey = L"Software\\Classes\\tarnwick-download";

// As CommandLineToArgvW splits it back: quoted when it holds a blank or a quote, a quote escaped, and the
// backslashes before a quote (or before the closing one) doubled.
std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
    return arg;
  }
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

bool SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::string& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring wide = WideFromUtf8(value);
  const LONG result = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                                     static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return result == ERROR_SUCCESS;
}

}  // namespace

std::filesystem::path ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return {};
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::optional<std::string> LinkOpenCommand(const std::string& executable, const std::vector<std::string>& options) {
  std::vector<std::string> args{executable};
  args.insert(args.end(), options.begin(), options.end());
  std::string command;
  for (const auto& arg : args) {
    if (arg.find_first_of("%\"") != std::string::npos) {
      return std::nullopt;
    }
    command += QuoteArgument(arg) + " ";
  }
  return command + "-- \"%1\"";
}

int RegisterLinkHandler(const CommandLine& line) {
  const std::wstring key = kSchemeKey;
  const auto command = LinkOpenCommand(Utf8FromWide(ExecutablePath().wstring()), RunOptionArguments(line));
  if (!command) {
    std::cerr << kApplicationName << ": the links' handler cannot pass on a path with a % or a quote: choose a "
              << "folder (and a log) whose path has none\n"
              << std::flush;
    return kExitArgumentError;
  }
  if (!SetValue(HKEY_CURRENT_USER, key, nullptr, "URL:tarnwick-download") ||
      !SetValue(HKEY_CURRENT_USER, key, L"URL Protocol", "") ||
      !SetValue(HKEY_CURRENT_USER, key + L"\\shell\\open\\command", nullptr, *command)) {
    std::cerr << kApplicationName << ": cannot write HKEY_CURRENT_USER\\" << Utf8FromWide(key) << "\n" << std::flush;
    return kExitErrorBox;
  }
  std::cout << "registered HKEY_CURRENT_USER\\" << Utf8FromWide(key) << ": tarnwick-download: links now start "
            << EscapeControls(*command) << "\n"
            << std::flush;
  return kExitOk;
}

int UnregisterLinkHandler() {
  const LONG result = RegDeleteTreeW(HKEY_CURRENT_USER, kSchemeKey);
  if (result == ERROR_FILE_NOT_FOUND) {
    std::cout << "nothing to unregister: this user has no handler of tarnwick-download: links\n" << std::flush;
    return kExitOk;
  }
  if (result != ERROR_SUCCESS) {
    std::cerr << kApplicationName << ": cannot remove HKEY_CURRENT_USER\\" << Utf8FromWide(kSchemeKey) << "\n"
              << std::flush;
    return kExitErrorBox;
  }
  std::cout << "removed HKEY_CURRENT_USER\\" << Utf8FromWide(kSchemeKey)
            << "; tarnwick-download: links no longer start this program\n"
            << std::flush;
  return kExitOk;
}

int OpenPortalPage(const std::string& componentFolder) {
  const auto page = FindIgnoringCase(PathFromUtf8(componentFolder), std::string(kPortalPageName));
  if (!page) {
    // Started from the Start menu there is no console to read: the text goes in a box too.
    const std::string text = NoPortalPageText(componentFolder);
    std::cerr << kApplicationName << ": " << EscapeControls(text) << "\n" << std::flush;
    MessageBoxW(nullptr, WideFromUtf8(text).c_str(), WideFromUtf8(kApplicationName).c_str(),
                MB_OK | MB_ICONINFORMATION);
    return kExitErrorBox;
  }
  const auto opened =
      reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", page->c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (opened <= 32) {  // what ShellExecute returns on failure
    std::cerr << kApplicationName << ": cannot open " << Utf8FromWide(page->wstring()) << " (error " << opened << ")\n"
              << std::flush;
    return kExitErrorBox;
  }
  return kExitOk;
}

}  // namespace tarnwick
