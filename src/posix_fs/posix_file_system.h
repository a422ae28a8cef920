// The file system of a POSIX host.
//
// Supports: "\" and "/" as separators; names found without regard to ASCII letter case when the exact
//   name is missing (an existing "tw5" answers for "TW5"); whole-file replacement through a hidden
//   temporary file ("." + name + ".part-" + six letters or digits, shortened to fit in 255
//   bytes) renamed over the target, created with 0666 less the umask; removal of such temporary files
//   that an interrupted run left; plain files = regular files whose name does not begin with ".".
// Does not support: a literal "\" inside a folder name; case folding beyond ASCII (Thai has no case);
//   emptying a folder that is a symbolic link (ListPlainFiles refuses it, so nothing behind it is deleted).
#pragma once

#include "platform/file_system.h"

namespace tarnwick {

// The native path for a path the logic built: separators turned to "/", each missing name replaced by an
// existing one that differs only in letter case.
std::string ResolveCaseBlind(const std::string& path);

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
  bool Commit();

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
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
};

}  // namespace tarnwick
