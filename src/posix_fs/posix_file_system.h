// The file system of a POSIX host.
// - [x] "\" and "/" as separators
// - [x] a missing name found as an existing one that differs only in ASCII letter case ("tw5" answers for "TW5")
// - [x] a folder's names read once for that lookup, then kept as this program adds and removes files there; a
//       name found is checked on the disk first, a name not found is looked for afresh (but for a file about to
//       be written, which gets the name as written: one that another program adds meanwhile is not seen)
// - [ ] letter case beyond ASCII (Thai has none)
// - [ ] a literal "\" inside a name
// - [x] a replaced file keeps the letter case it has on disk; a new one gets the name as written
// - [x] whole-file replacement: a temporary file beside the target (platform/temporary_name.h) renamed over it
// - [x] names of up to 255 bytes replaced: the temporary name is shortened to fit
// - [x] the temporary file removed when the write or the rename fails
// - [ ] the content flushed to the disk before the rename (no fsync per file); the writing to the disk of a file
//       of 1 MiB or more is started then, not waited for (sync_file_range), so that Flush finds little left
// - [x] Flush: one syncfs per file system of the folders given (contents and folder entries of all files)
// - [x] new files created with 0666 less the umask
// - [x] the space of the disk a pending file is written to (fstatvfs on its file): what an unprivileged user may
//       still write (f_bavail, not the blocks kept for root) and the whole; nothing on one that tells no size
// - [x] removal of the temporary files that an interrupted run left (regular files only)
// - [x] plain files: regular files, not symbolic links, whose name does not begin with "."
// - [ ] emptying a folder that is a symbolic link (ListPlainFiles refuses it, so nothing behind it is deleted)
// - [x] subfolders: folders and symbolic links to folders
// - [x] errors that name the path and give the system's reason (strerror)
#pragma once

#include "platform/file_system.h"

namespace tarnwick {

// The native path for a path the logic built: separators turned to "/", each missing name replaced by an
// existing one that differs only in letter case. Safe to call from any thread.
std::string ResolveCaseBlind(const std::string& path);
// The same for a file about to be written: its own name, when the folder's kept names hold it in no letter
// case, is taken as written without reading the folder again.
std::string ResolveForWriting(const std::string& path);

// A file being written under a hidden temporary name beside its target. Commit renames it over the
// target; without a commit it is removed, so a half-written file never carries the target's name.
class PosixPendingFile {
 public:
  explicit PosixPendingFile(const std::string& nativeTarget);
  ~PosixPendingFile();
  PosixPendingFile(const PosixPendingFile&) = delete;
  PosixPendingFile& operator=(const PosixPendingFile&) = delete;

  bool Ok() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  bool Write(std::string_view bytes);
  // Empties the file, for a download that starts again from nothing.
  bool Restart();
  bool Commit();
  // The space of the disk the file is on; nothing when the system cannot tell, or after the commit.
  std::optional<DiskSpace> Space() const;

 private:
  static constexpr std::uint64_t kEarlyWriteBytes = 1 << 20;  // a file this large starts its way to the disk at Commit

  std::string target_;
  std::string temp_;
  int fd_ = -1;
  std::uint64_t written_ = 0;
  bool created_ = false;
  bool committed_ = false;
};

class PosixFileSystem : public FileSystem {
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
