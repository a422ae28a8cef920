#include <windows.h>

#include <cwchar>

#include "app/folder_lock.h"
#include "win32_fs/win32_file_system.h"

namespace tarnwick {

FolderLock::FolderLock(const std::string& folder) {
  // One name per folder, however it is spelled: the system's final path, in capitals (names are case-blind).
  std::wstring path = WidePath(folder);
  const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    wchar_t final[MAX_PATH * 2];
    const DWORD length = GetFinalPathNameByHandleW(handle, final, MAX_PATH * 2, FILE_NAME_NORMALIZED);
    if (length > 0 && length < MAX_PATH * 2) {
      path.assign(final, length);
    }
    CloseHandle(handle);
  }
  CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
  std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a: a mutex's name cannot hold the path's "\"
  for (const wchar_t unit : path) {
    hash = (hash ^ static_cast<std::uint16_t>(unit)) * 1099511628211ULL;
  }
  wchar_t name[64];
  swprintf(name, 64, L"Global\\tarnwick-download-%016llx", static_cast<unsigned long long>(hash));
  // Owned only by the run that creates it: a later one finds it there and does not own it.
  const HANDLE mutex = CreateMutexW(nullptr, TRUE, name);
  const DWORD error = GetLastError();
  if (mutex == nullptr) {
    problem_ = SystemReason(error);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
  busy_ = error == ERROR_ALREADY_EXISTS;
}

FolderLock::~FolderLock() {
  if (handle_ != -1) {
    const auto mutex = reinterpret_cast<HANDLE>(handle_);
    if (!busy_) {
      ReleaseMutex(mutex);
    }
    CloseHandle(mutex);
  }
}

}  // namespace tarnwick
