#include "posix_fs/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <unordered_map>

#include "base/ascii.h"
#include "platform/temporary_name.h"

namespace tarnwick {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

using DirHandle = std::unique_ptr<DIR, int (*)(DIR*)>;

DirHandle OpenFolder(const std::string& path) {
  return DirHandle(opendir(path.empty() ? "." : path.c_str()), closedir);
}

// The names in a folder, each under its ASCII lower-case form (a folder may hold names that differ only
// in letter case).
using FoldedNames = std::unordered_map<std::string, std::vector<std::string>>;

void AddName(FoldedNames& names, const std::string& name) {
  auto& same = names[LowerAscii(name)];
  if (std::find(same.begin(), same.end(), name) == same.end()) {
    same.push_back(name);
  }
}

void RemoveName(FoldedNames& names, const std::string& name) {
  const auto found = names.find(LowerAscii(name));
  if (found != names.end()) {
    std::erase(found->second, name);
    if (found->second.empty()) {
      names.erase(found);
    }
  }
}

std::optional<FoldedNames> ReadNames(const std::string& folder) {
  DirHandle dir = OpenFolder(folder);
  if (!dir) {
    return std::nullopt;
  }
  FoldedNames names;
  while (const dirent* entry = readdir(dir.get())) {
    AddName(names, entry->d_name);
  }
  return names;
}

std::optional<std::string> FindIn(const FoldedNames& names, const std::string& name) {
  const auto found = names.find(LowerAscii(name));
  return found == names.end() ? std::nullopt : std::optional(found->second.front());
}

// The names of the folders that the case-blind lookup has read, kept as this program adds and removes
// names there: the meeting folder is read once a run, not before each new file. Another program's changes
// are not in them: a name found is checked on the disk before it is used (gone, the folder is read again),
// and a name not found is looked for afresh, unless it is that of a file about to be written, which then
// gets the name as written.
class FolderNames {
 public:
  // The name in the folder that equals `name` but for ASCII letter case, when there is one.
  std::optional<std::string> Find(const std::string& folder, const std::string& name, bool forWriting) {
    const std::lock_guard lock(mutex_);
    auto kept = folders_.find(folder);
    bool fresh = kept == folders_.end();
    for (;;) {
      if (fresh) {
        auto names = ReadNames(folder);
        if (!names) {
          folders_.erase(folder);
          return std::nullopt;
        }
        kept = folders_.insert_or_assign(folder, std::move(*names)).first;
      }
      auto found = FindIn(kept->second, name);
      if (found && Exists(InFolder(folder, *found))) {
        return found;
      }
      if (fresh || (!found && forWriting)) {
        return std::nullopt;
      }
      fresh = true;
    }
  }

  void Added(const std::string& path) { Change(path, AddName); }
  void Removed(const std::string& path) { Change(path, RemoveName); }

 private:
  static std::string InFolder(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder.back() == '/' ? folder + name : folder + "/" + name;
  }

  void Change(const std::string& path, void (*change)(FoldedNames&, const std::string&)) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, std::max<size_t>(slash, 1));
    const std::lock_guard lock(mutex_);
    const auto kept = folders_.find(folder);
    if (kept != folders_.end()) {
      change(kept->second, path.substr(slash == std::string::npos ? 0 : slash + 1));
    }
  }

  std::mutex mutex_;                                      // the transfer's worker writes files too
  std::unordered_map<std::string, FoldedNames> folders_;  // by the folder's path as the lookup gives it
};

FolderNames& KeptFolderNames() {
  static FolderNames folders;
  return folders;
}

std::string ErrorText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// The names inside the folder that `keep(name, path)` accepts; throws FileError when it cannot be opened.
template <typename Keep>
std::vector<std::string> NamesInFolder(const std::string& native, Keep keep) {
  DirHandle dir = OpenFolder(native);
  if (!dir) {
    throw FileError(ErrorText("cannot open folder", native));
  }
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    std::string path = native;
    path += '/';
    path += name;
    if (keep(name, path)) {
      names.push_back(name);
    }
  }
  return names;
}

struct stat StatOf(const std::string& nativePath, bool& ok) {
  struct stat st {};
  ok = stat(nativePath.c_str(), &st) == 0;
  return st;
}

bool IsSymbolicLink(const std::string& nativePath) {
  struct stat st {};
  return lstat(nativePath.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string Resolve(const std::string& path, bool forWriting) {
  std::vector<std::string> names;
  for (size_t start = 0; start <= path.size();) {
    const size_t end = std::min(path.find_first_of("\\/", start), path.size());
    if (end > start) {
      names.push_back(path.substr(start, end - start));
    }
    start = end + 1;
  }
  const bool absolute = !path.empty() && (path[0] == '/' || path[0] == '\\');
  const auto joined = [&](size_t count) {
    std::string folder = absolute ? "/" : "";
    for (size_t i = 0; i < count; ++i) {
      folder += i == 0 ? "" : "/";
      folder += names[i];
    }
    return folder;
  };
  // Nearly every path exists as written, or all of it but its last name (a new file): one or two lstat
  // calls then stand for one a name.
  size_t asWritten = 0;
  if (!names.empty() && Exists(joined(names.size()))) {
    asWritten = names.size();
  } else if (names.size() > 1 && Exists(joined(names.size() - 1))) {
    asWritten = names.size() - 1;
  }
  std::string resolved = joined(asWritten);
  for (size_t i = asWritten; i < names.size(); ++i) {
    const std::string folder = resolved;
    if (!resolved.empty() && resolved.back() != '/') {
      resolved += '/';
    }
    const std::string& name = names[i];
    const bool foundMissing = i + 1 == names.size() && i == asWritten;  // the whole path, as written, above
    const bool keepAsWritten = name == "." || name == ".." || (!foundMissing && Exists(resolved + name));
    const bool written = forWriting && i + 1 == names.size();
    resolved += keepAsWritten ? name : KeptFolderNames().Find(folder, name, written).value_or(name);
  }
  return resolved;
}

}  // namespace

std::string ResolveCaseBlind(const std::string& path) { return Resolve(path, false); }

std::string ResolveForWriting(const std::string& path) { return Resolve(path, true); }

PosixPendingFile::PosixPendingFile(const std::string& nativeTarget) : target_(nativeTarget) {
  const size_t slash = nativeTarget.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string_view name = std::string_view(nativeTarget).substr(nameStart);
  thread_local std::random_device random;  // made once a thread: making one asks the processor what it has
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temp_ = nativeTarget.substr(0, nameStart) + TemporaryName(name, random);
    // Created with 0666 less the umask, as any download is; O_EXCL: never an existing file.
    fd_ = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) {
      break;
    }
  }
  created_ = fd_ >= 0;
}

PosixPendingFile::~PosixPendingFile() {
  if (fd_ >= 0) {
    close(fd_);
  }
  if (!committed_ && created_) {
    unlink(temp_.c_str());
  }
}

bool PosixPendingFile::Write(std::string_view bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t written = write(fd_, bytes.data() + done, bytes.size() - done);
    if (written <= 0) {
      return false;
    }
    done += static_cast<size_t>(written);
    written_ += static_cast<size_t>(written);
  }
  return true;
}

bool PosixPendingFile::Restart() {
  written_ = 0;
  return ftruncate(fd_, 0) == 0 && lseek(fd_, 0, SEEK_SET) == 0;
}

bool PosixPendingFile::Commit() {
  const int fd = fd_;
  fd_ = -1;
  // A large file's way to the disk starts now, without waiting for it: the flush at the run's end then finds
  // little left to write. Small ones are left to that flush, which writes many at once for less than a
  // start each costs the transfer.
  if (written_ >= kEarlyWriteBytes) {
    sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
  }
  committed_ = close(fd) == 0 && rename(temp_.c_str(), target_.c_str()) == 0;
  if (committed_) {
    KeptFolderNames().Added(target_);
  }
  return committed_;
}

std::optional<DiskSpace> PosixPendingFile::Space() const {
  struct statvfs vfs {};
  if (fd_ < 0 || fstatvfs(fd_, &vfs) != 0 || vfs.f_blocks == 0) {
    return std::nullopt;
  }
  const auto unit = static_cast<std::uint64_t>(vfs.f_frsize);
  return DiskSpace{.available = vfs.f_bavail * unit, .total = vfs.f_blocks * unit};
}

bool PosixFileSystem::FileExists(const std::string& path) {
  bool ok = false;
  const struct stat st = StatOf(ResolveCaseBlind(path), ok);
  return ok && S_ISREG(st.st_mode);
}

bool PosixFileSystem::FolderExists(const std::string& path) {
  bool ok = false;
  const struct stat st = StatOf(ResolveCaseBlind(path), ok);
  return ok && S_ISDIR(st.st_mode);
}

std::vector<std::string> PosixFileSystem::ListPlainFiles(const std::string& folder) {
  const std::string native = ResolveCaseBlind(folder);
  if (IsSymbolicLink(native)) {
    // Plain files are listed to be deleted; those behind a link are not this component's to delete.
    throw FileError("not emptied: " + native + " is a symbolic link");
  }
  return NamesInFolder(native, [](const std::string& name, const std::string& path) {
    struct stat st {};
    return name[0] != '.' && lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  });
}

std::vector<std::string> PosixFileSystem::ListSubfolders(const std::string& folder) {
  return NamesInFolder(ResolveCaseBlind(folder), [](const std::string& name, const std::string& path) {
    struct stat st {};
    return name != "." && name != ".." && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  });
}

void PosixFileSystem::DeleteFile(const std::string& path) {
  const std::string native = ResolveCaseBlind(path);
  if (unlink(native.c_str()) != 0) {
    throw FileError(ErrorText("cannot delete", native));
  }
  KeptFolderNames().Removed(native);
}

void PosixFileSystem::CreateFolder(const std::string& path) {
  const std::string native = ResolveCaseBlind(path);
  if (mkdir(native.c_str(), 0755) != 0) {
    throw FileError(ErrorText("cannot create folder", native));
  }
  KeptFolderNames().Added(native);
}

std::optional<std::uint64_t> PosixFileSystem::FileSize(const std::string& path) {
  bool ok = false;
  const struct stat st = StatOf(ResolveCaseBlind(path), ok);
  if (!ok || !S_ISREG(st.st_mode)) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::string> PosixFileSystem::ReadFile(const std::string& path) {
  const std::string native = ResolveCaseBlind(path);
  const int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return std::nullopt;
  }
  std::string content;
  char buffer[65536];
  ssize_t got = 0;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) {
    content.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  if (got < 0) {
    return std::nullopt;
  }
  return content;
}

void PosixFileSystem::ReplaceFile(const std::string& path, std::string_view bytes) {
  const std::string native = ResolveForWriting(path);
  PosixPendingFile file(native);
  if (!file.Ok() || !file.Write(bytes) || !file.Commit()) {
    throw FileError(ErrorText("cannot write", native));
  }
}

// One syncfs a file system: it writes every file's content and every folder entry there, which costs less
// than a flush per file put in place and its folder.
void PosixFileSystem::Flush(const std::vector<std::string>& folders) {
  std::vector<dev_t> flushed;
  for (const auto& folder : folders) {
    const std::string native = ResolveCaseBlind(folder);
    struct stat st {};
    if (stat(native.c_str(), &st) == 0 && std::find(flushed.begin(), flushed.end(), st.st_dev) != flushed.end()) {
      continue;
    }
    const int fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool done = fd >= 0 && syncfs(fd) == 0;
    const int error = errno;
    if (fd >= 0) {
      close(fd);
    }
    if (!done) {
      errno = error;
      throw FileError(ErrorText("cannot flush", native));
    }
    flushed.push_back(st.st_dev);
  }
}

void PosixFileSystem::RemoveLeftovers(const std::string& folder) {
  const std::string native = ResolveCaseBlind(folder);
  DirHandle dir = OpenFolder(native);
  if (!dir) {
    return;
  }
  std::vector<std::string> leftovers;
  while (const dirent* entry = readdir(dir.get())) {
    struct stat st {};
    const std::string path = native + "/" + entry->d_name;
    if (IsTemporaryName(std::string_view(entry->d_name)) && lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      leftovers.push_back(path);
    }
  }
  for (const auto& path : leftovers) {
    unlink(path.c_str());  // one that cannot go is only litter, never a reason to stop a run
  }
}

}  // namespace tarnwick
