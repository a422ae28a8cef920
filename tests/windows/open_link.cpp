// Opens a link as a browser hands it to the system: ShellExecuteExW with "open". Waits for the program that
// the link's class started and ends with its exit status (100 when nothing could be started).
//   open_link.exe LINK
// clang-format off
#include <windows.h>  // first: shellapi.h builds on its types
#include <shellapi.h>
// clang-format on

#include <cstdio>

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
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD status = 100;
  GetExitCodeProcess(info.hProcess, &status);
  CloseHandle(info.hProcess);
  return static_cast<int>(status);
}
