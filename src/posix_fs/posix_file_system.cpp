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
#include <random>

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

std::string FindIgnoringCase(const std::string& folder, const std::string& name) {
  DirHandle dir = OpenFolder(folder);
  if (!dir) {
    return name;
  }
  while (const dirent* entry = readdir(dir.get())) {
    if (EqualIgnoringAsciiCase(entry->d_name, name)) {
      return entry->d_name;
    }
  }
  return name;
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

}  // namespace

std::string ResolveCaseBlind(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  std::string resolved = native.starts_with('/') ? "/" : "";
  size_t start = 0;
  while (start <= native.size()) {
    const size_t end = native.find('/', start);
    const std::string name = native.substr(start, (end == std::string::npos ? native.size() : end) - start);
    start = end == std::string::npos ? native.size() + 1 : end + 1;
    if (name.empty()) {
      continue;
    }
    const std::string folder = resolved;
    if (!resolved.empty() && resolved.back() != '/') {
      resolved += '/';
    }
    const bool keepAsWritten = name == "." || name == ".." || Exists(resolved + name);
    resolved += keepAsWritten ? name : FindIgnoringCase(folder, name);
  }
  return resolved;
}

PosixPendingFile::PosixPendingFile(const std::string& nativeTarget) : target_(nativeTarget) {
  const size_t slash = nativeTarget.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string_view name = std::string_view(nativeTarget).substr(nameStart);
  std::random_device random;
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
  }
  return true;
}

bool PosixPendingFile::Restart() { return ftruncate(fd_, 0) == 0 && lseek(fd_, 0, SEEK_SET) == 0; }

bool PosixPendingFile::Commit() {
  const int fd = fd_;
  fd_ = -1;
  // The file's way to the disk starts now, without waiting for it: the flush at the run's end then finds
  // little left to write.
  sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
  committed_ = close(fd) == 0 && rename(temp_.c_str(), target_.c_str()) == 0;
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
}

void PosixFileSystem::CreateFolder(const std::string& path) {
  const std::string native = ResolveCaseBlind(path);
  if (mkdir(native.c_str(), 0755) != 0) {
    throw FileError(ErrorText("cannot create folder", native));
  }
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
  const std::string native = ResolveCaseBlind(path);
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
