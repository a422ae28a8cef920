// The file system of a Windows host, on the wide-character Win32 API.
// - [x] "\" and "/" as separators
// - [x] names as UTF-8 in the program and UTF-16 on disk (Thai names included)
// - [ ] names that are not valid UTF-8 (a malformed part reaches the system as U+FFFD)
// - [ ] names on disk that hold an unpaired surrogate
// - [ ] paths of MAX_PATH (260) characters or more (no "\\?\" prefix is added)
// - [x] the system's own case-blind lookup (an existing "tw5" answers for "TW5")
// - [x] a replaced file keeps the letter case it has on disk; a new one gets the name as written
// - [x] whole-file replacement: a temporary file beside the target (platform/temporary_name.h) moved over it
// - [x] names of up to 255 UTF-16 units replaced: the temporary name is shortened to fit
// - [ ] the temporary file marked hidden (only its name begins with ".")
// - [x] the content flushed before the move, and the move written through (MOVEFILE_WRITE_THROUGH)
// - [ ] Flush beyond that: each folder's handle is flushed where the system lets a folder be opened for
//       writing, and a refusal is not an error (every file was flushed when it was put in place)
// - [x] the temporary file removed when the write, the flush or the move fails
// - [x] the space of the disk a pending file is written to (GetDiskFreeSpaceExW on its folder): what this user
//       may still write, quotas counted, and the whole; nothing on one that tells no size
// - [ ] deleting or replacing a read-only file (FileError)
// - [ ] deleting or replacing a file another program holds open without FILE_SHARE_DELETE (FileError)
// - [x] removal of the temporary files that an interrupted run left (not folders, not reparse points)
// - [x] plain files: not folders, not reparse points, not marked hidden or system, name not beginning with "."
// - [ ] emptying a folder that is a reparse point, a junction or a symbolic link (ListPlainFiles refuses it)
// - [x] errors that name the path and give the system's reason (FormatMessageW) in UTF-8
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

// A file being written under a temporary name beside its target. Commit flushes it and moves it
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
  // Empties the file, for a download that starts again from nothing.
  bool Restart();
  bool Commit();
  // The space of the disk the file is on; nothing when the system cannot tell.
  std::optional<DiskSpace> Space() const;
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
  void Flush(const std::vector<std::string>& folders) override;
};

}  // namespace tarnwick
