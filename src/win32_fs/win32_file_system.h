// The file system of a Windows host, on the wide-character Win32 API.
//
// Supports: "\" and "/" as separators; names as UTF-8 in the program and UTF-16 on disk (Thai names
//   included); the system's own case-blind lookup (an existing "tw5" answers for "TW5"; a replaced file
//   keeps the letter case it has on disk); whole-file replacement through a temporary file beside the
//   target ("." + name + ".part-" + six letters or digits, the name shortened so that the whole fits in
//   255 UTF-16 units), written fully and flushed, then moved over the target with MoveFileExW
//   (MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) and removed when anything fails; removal of such
//   temporary files that an interrupted run left; plain files = regular files (not a folder, not a
//   reparse point) whose name does not begin with "." and that are not marked hidden or system; errors
//   that name the path and give the system's reason (FormatMessageW) in UTF-8.
// Does not support: paths of MAX_PATH (260) characters or more (no "\\?\" prefix is added); emptying a
//   folder that is a reparse point, a junction or a symbolic link (ListPlainFiles refuses it, so nothing
//   behind it is deleted); deleting or replacing a read-only file, or a file another program holds open
//   without FILE_SHARE_DELETE (FileError); names that are not valid UTF-8 (a malformed part reaches the
//   system as U+FFFD) or, on disk, that hold an unpaired surrogate.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "win32_codec/windows874_win32.h"

namespace tarnwick {

// The UTF-16 path that the system is given for a path the logic built: "/" turned to "\".
std::wstring WidePath(const std::string& path);

// The system's words for an error code, without the closing full stop; "error " and the number when the
// system has none.
std::string SystemReason(unsigned long error);

// A file being written under a hidden temporary name beside its target. Commit flushes it and moves it
// over the target, which keeps the letter case it has on disk; without a commit it is removed, so a
// half-written file never carries the target's name.
class Win32PendingFile {
 public:
  explicit Win32PendingFile(const std::wstring& target);
  ~Win32PendingFile();
  Win32PendingFile(const Win32PendingFile&) = delete;
  Win32PendingFile& operator=(const Win32PendingFile&) = delete;

  bool Ok() const { return handle_ != nullptr; }
  bool Write(std::string_view bytes);
  bool Commit();
  // The system's error code of the step that failed.
  unsigned long Error() const { return error_; }

 private:
  void Fail();

  std::wstring target_;
  std::wstring temp_;
  void* handle_ = nullptr;  // a HANDLE; never INVALID_HANDLE_VALUE
  bool created_ = false;
  bool committed_ = false;
  unsigned long error_ = 0;
};

class Win32FileSystem : public FileSystem {
 public:
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  std::vector<std::string> ListPlainFiles(const std::string& folder) override;
  std::vector<std::string> ListSubfolders(const std::string& folder) override;
  void DeleteFile(const std::string& path) override;
  void CreateFolder(const std::string& path) override;
  std::optional<std::uint64_t> FileSize(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  void ReplaceFile(const std::string& path, std::string_view bytes) override;
  void RemoveLeftovers(const std::string& folder) override;
};

}  // namespace tarnwick
