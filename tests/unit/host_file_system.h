// The real file system of the host the tests run on, so that the tests of the window, the launch and
// the portal run against the Win32 one on Windows and against the POSIX one elsewhere.
#pragma once

#include <filesystem>
#include <string>

#ifdef _WIN32
#include "win32_fs/win32_file_system.h"
#else
#include "posix_fs/posix_file_system.h"
#endif

namespace tarnwick::testing {

#ifdef _WIN32
using HostFileSystem = Win32FileSystem;
using HostPendingFile = Win32PendingFile;
#else
using HostFileSystem = PosixFileSystem;
using HostPendingFile = PosixPendingFile;
#endif

// What the standard library opens for a path the logic built ("\" separators, names in any letter case).
inline std::filesystem::path HostPath(const std::string& logicPath) {
#ifdef _WIN32
  return WidePath(logicPath);
#else
  return ResolveCaseBlind(logicPath);
#endif
}

}  // namespace tarnwick::testing
