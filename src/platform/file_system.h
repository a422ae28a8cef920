// What the logic needs of the local file system. Paths are built as the logic builds them, with
// "\" as the separator; names inside the component folder are found without regard to letter case.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The space of the disk that holds a file, in bytes: what this user may still write, and the whole disk.
struct DiskSpace {
  std::uint64_t available = 0;
  std::uint64_t total = 0;
};

// The free space that a download whose length was never announced must leave on its disk: the smaller of
// 256 MiB and 5 % of the disk, so that on a small disk the reserve stays a small part of it.
std::uint64_t DiskReserve(const DiskSpace& space);

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  // Names of the plain files directly inside the folder: regular files whose name does not begin with ".".
  virtual std::vector<std::string> ListPlainFiles(const std::string& folder) = 0;
  // Names of the direct subfolders; throws FileError when the folder cannot be opened.
  virtual std::vector<std::string> ListSubfolders(const std::string& folder) = 0;
  virtual void DeleteFile(const std::string& path) = 0;
  virtual void CreateFolder(const std::string& path) = 0;
  // The size of the file in bytes, or nothing when there is no file.
  virtual std::optional<std::uint64_t> FileSize(const std::string& path) = 0;
  // The whole file, or nothing when it cannot be opened.
  virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
  // Creates or replaces the file in one step: readers see the old content or the new, never a part.
  virtual void ReplaceFile(const std::string& path, std::string_view bytes) = 0;
  // Removes what an interrupted replacement of this file system left in the folder (its own temporary
  // names only); nothing when the folder is missing.
  virtual void RemoveLeftovers(const std::string& folder) = 0;
  // Everything written so far to the file systems of these folders, their folder entries included, is on
  // the disk when this returns, as far as the system can make sure; throws FileError when it says that it
  // could not.
  virtual void Flush(const std::vector<std::string>& folders) = 0;
};

// Deletes the file when there is one; throws FileError when it stays.
void DeleteIfPresent(FileSystem& fs, const std::string& path);

// Deletes the plain files directly inside an existing folder, except one name (exact case) when given;
// subfolders and their contents stay. Throws FileError at the first file that cannot be deleted.
void DeletePlainFiles(FileSystem& fs, const std::string& folder, std::string_view except = {});

}  // namespace tarnwick
