// Opens a link as a browser hands it to the system: ShellExecuteExW with "open". Waits for the program that
// the link's class started and ends with its exit status (100 when nothing could be started). Meanwhile it
// reads the program's command line from the program's memory, as a task list does, and prints the last one
// read: what any other program of the user could see while the run went on.
//   open_link.exe LINK
// clang-format off
#include <windows.h>  // first: the headers below build on its types
#include <shellapi.h>
#include <winternl.h>
// clang-format on

#include <cstdio>
#include <string>

namespace {

// Empty when it cannot be read (the process is starting or has ended).
std::wstring CommandLineOf(HANDLE process) {
  PROCESS_BASIC_INFORMATION basic{};
  if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) {
    return {};
  }
  PEB peb{};
  RTL_USER_PROCESS_PARAMETERS parameters{};
  if (!ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
      !ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr)) {
    return {};
  }
  std::wstring line(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
  if (!ReadProcessMemory(process, parameters.CommandLine.Buffer, line.data(), parameters.CommandLine.Length, nullptr)) {
    return {};
  }
  std::erase(line, L'\0');  // what was overwritten
  return line;
}

}  // namespace

int main() {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (count != 2) {
    std::fputs("usage: open_link LINK\n", stderr);
    return 100;
  }
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = args[1];
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info) || info.hProcess == nullptr) {
    std::fprintf(stderr, "open_link: nothing started (error %lu)\n", GetLastError());
    return 100;
  }
  std::wstring seen;
  while (WaitForSingleObject(info.hProcess, 20) == WAIT_TIMEOUT) {
    if (auto line = CommandLineOf(info.hProcess); !line.empty()) {
      seen = std::move(line);
    }
  }
  std::string utf8(seen.size() * 3, '\0');
  utf8.resize(WideCharToMultiByte(CP_UTF8, 0, seen.data(), static_cast<int>(seen.size()), utf8.data(),
                                  static_cast<int>(utf8.size()), nullptr, nullptr));
  std::printf("command line: %s\n", utf8.c_str());
  DWORD status = 100;
  GetExitCodeProcess(info.hProcess, &status);
  CloseHandle(info.hProcess);
  return static_cast<int>(status);
}
