#include "win32_fs/win32_file_system.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// The interface's own names, not the ANSI/wide macros.
#undef DeleteFile
#undef ReplaceFile

#include <algorithm>
#include <climits>
#include <memory>
#include <random>
#include <type_traits>

#include "platform/temporary_name.h"

namespace tarnwick {
namespace {

std::string ErrorText(const std::string& what, const std::wstring& path, DWORD error) {
  return what + " " + Utf8FromWide(path) + ": " + SystemReason(error);
}

// The search pattern for every entry of the folder.
std::wstring AllIn(const std::wstring& folder) {
  if (folder.empty()) {
    return L".\\*";
  }
  return folder + (folder.back() == L'\\' || folder.back() == L':' ? L"*" : L"\\*");
}

struct FindCloser {
  void operator()(HANDLE find) const { FindClose(find); }
};
using FindHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, FindCloser>;

// Calls `visit(data)` for every entry of the folder; false when it cannot be listed.
template <typename Visit>
bool ForEachEntry(const std::wstring& folder, Visit visit) {
  WIN32_FIND_DATAW data{};
  const HANDLE first = FindFirstFileExW(AllIn(folder).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                        FIND_FIRST_EX_LARGE_FETCH);
  if (first == INVALID_HANDLE_VALUE) {
    // No entry at all, not even "." and "..": an empty drive's root. A missing folder is another error.
    return GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  const FindHandle find(first);
  do {
    visit(data);
  } while (FindNextFileW(find.get(), &data));
  return true;
}

// The names inside the folder whose entries `keep` accepts; throws FileError when it cannot be listed.
template <typename Keep>
std::vector<std::string> NamesInFolder(const std::wstring& folder, Keep keep) {
  std::vector<std::string> names;
  const bool listed = ForEachEntry(folder, [&](const WIN32_FIND_DATAW& entry) {
    if (keep(std::wstring_view(entry.cFileName), entry.dwFileAttributes)) {
      names.push_back(Utf8FromWide(entry.cFileName));
    }
  });
  if (!listed) {
    throw FileError(ErrorText("cannot open folder", folder, GetLastError()));
  }
  return names;
}

bool IsDotOrDotDot(std::wstring_view name) { return name == L"." || name == L".."; }

// Whether the entry is a file that the logic may delete as one of the folder's plain files.
bool IsPlain(std::wstring_view name, DWORD attributes) {
  constexpr DWORD kNotPlain =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  return !name.starts_with(L'.') && (attributes & kNotPlain) == 0;
}

size_t NameStart(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\:");
  return separator == std::wstring::npos ? 0 : separator + 1;
}

// The target as it is on disk when it exists under another letter case, so that a replaced file keeps
// its name; as given otherwise. Names with wildcards are never looked up: "?" would match other files.
std::wstring AsOnDisk(const std::wstring& target) {
  const size_t nameStart = NameStart(target);
  const std::wstring_view name = std::wstring_view(target).substr(nameStart);
  if (name.empty() || name.find_first_of(L"*?") != std::wstring_view::npos) {
    return target;
  }
  WIN32_FIND_DATAW data{};
  const HANDLE first = FindFirstFileExW(target.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
  if (first == INVALID_HANDLE_VALUE) {
    return target;
  }
  FindClose(first);
  const std::wstring_view found = data.cFileName;
  // The search also matches a short 8.3 name; only a name that differs in letter case alone is the same.
  const bool sameName =
      found.size() == name.size() && CompareStringOrdinal(found.data(), static_cast<int>(found.size()), name.data(),
                                                          static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
  return sameName ? target.substr(0, nameStart) + std::wstring(found) : target;
}

}  // namespace

std::wstring WidePath(const std::string& path) {
  std::wstring wide = WideFromUtf8(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

std::string SystemReason(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason(text != nullptr ? text : L"", length);
  LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == L'\r' || reason.back() == L'\n' || reason.back() == L' ' || reason.back() == L'.')) {
    reason.pop_back();
  }
  return reason.empty() ? "error " + std::to_string(error) : Utf8FromWide(reason);
}

Win32PendingFile::Win32PendingFile(const std::wstring& target) : target_(AsOnDisk(target)) {
  const size_t nameStart = NameStart(target);
  const std::wstring_view name = std::wstring_view(target).substr(nameStart);
  std::random_device random;
  for (int attempt = 0; attempt < 100 && handle_ == nullptr; ++attempt) {
    temp_ = target.substr(0, nameStart) + TemporaryName(name, random);
    // CREATE_NEW: never an existing file.
    const HANDLE handle =
        CreateFileW(temp_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      handle_ = handle;
      created_ = true;
    } else if (error_ = GetLastError(); error_ != ERROR_FILE_EXISTS && error_ != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
}

Win32PendingFile::~Win32PendingFile() {
  if (handle_ != nullptr) {
    CloseHandle(handle_);
  }
  if (!committed_ && created_) {
    DeleteFileW(temp_.c_str());
  }
}

void Win32PendingFile::Fail() {
  error_ = GetLastError();
  if (handle_ != nullptr) {
    CloseHandle(handle_);
    handle_ = nullptr;
  }
}

bool Win32PendingFile::Write(std::string_view bytes) {
  if (handle_ == nullptr) {
    return false;
  }
  for (size_t done = 0; done < bytes.size();) {
    const auto chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle_, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      Fail();
      return false;
    }
    done += written;
  }
  return true;
}

bool Win32PendingFile::Restart() {
  if (handle_ == nullptr) {
    return false;
  }
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(handle_, start, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_)) {
    Fail();
    return false;
  }
  return true;
}

bool Win32PendingFile::Commit() {
  if (handle_ == nullptr) {
    return false;
  }
  // Flushed before the move, and the move written through: after a crash the target holds the old
  // content or the whole new one.
  if (!FlushFileBuffers(handle_)) {
    Fail();
    return false;
  }
  const HANDLE handle = handle_;
  handle_ = nullptr;
  if (!CloseHandle(handle) ||
      !MoveFileExW(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error_ = GetLastError();
    return false;
  }
  committed_ = true;
  return true;
}

std::optional<DiskSpace> Win32PendingFile::Space() const {
  // The folder with its closing separator, which a UNC path needs; none: the current folder's disk.
  const std::wstring folder = temp_.substr(0, NameStart(temp_));
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  if (!GetDiskFreeSpaceExW(folder.empty() ? nullptr : folder.c_str(), &available, &total, nullptr) ||
      total.QuadPart == 0) {
    return std::nullopt;
  }
  return DiskSpace{.available = available.QuadPart, .total = total.QuadPart};
}

bool Win32FileSystem::FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32FileSystem::FolderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<std::string> Win32FileSystem::ListPlainFiles(const std::string& folder) {
  const std::wstring wide = WidePath(folder);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // Plain files are listed to be deleted; those behind a junction or a link are not this component's.
    throw FileError("not emptied: " + Utf8FromWide(wide) + " is a reparse point (a junction or a symbolic link)");
  }
  return NamesInFolder(wide, IsPlain);
}

std::vector<std::string> Win32FileSystem::ListSubfolders(const std::string& folder) {
  return NamesInFolder(WidePath(folder), [](std::wstring_view name, DWORD attributes) {
    return !IsDotOrDotDot(name) && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  });
}

void Win32FileSystem::DeleteFile(const std::string& path) {
  const std::wstring wide = WidePath(path);
  if (!DeleteFileW(wide.c_str())) {
    throw FileError(ErrorText("cannot delete", wide, GetLastError()));
  }
}

void Win32FileSystem::CreateFolder(const std::string& path) {
  const std::wstring wide = WidePath(path);
  if (!CreateDirectoryW(wide.c_str(), nullptr)) {
    throw FileError(ErrorText("cannot create folder", wide, GetLastError()));
  }
}

std::optional<std::uint64_t> Win32FileSystem::FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<std::string> Win32FileSystem::ReadFile(const std::string& path) {
  const HANDLE file =
      CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  std::string content;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
    content.reserve(static_cast<size_t>(size.QuadPart));
  }
  char buffer[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) {
    content.append(buffer, got);
  }
  CloseHandle(file);
  if (!ok) {
    return std::nullopt;
  }
  return content;
}

void Win32FileSystem::ReplaceFile(const std::string& path, std::string_view bytes) {
  const std::wstring target = WidePath(path);
  Win32PendingFile file(target);
  if (!file.Ok() || !file.Write(bytes) || !file.Commit()) {
    throw FileError(ErrorText("cannot write", target, file.Error()));
  }
}

void Win32FileSystem::Flush(const std::vector<std::string>& folders) {
  for (const auto& folder : folders) {
    const HANDLE handle =
        CreateFileW(WidePath(folder).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      FlushFileBuffers(handle);
      CloseHandle(handle);
    }
  }
}

void Win32FileSystem::RemoveLeftovers(const std::string& folder) {
  const std::wstring wide = WidePath(folder);
  std::vector<std::wstring> leftovers;
  ForEachEntry(wide, [&](const WIN32_FIND_DATAW& entry) {
    constexpr DWORD kNotAFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if (IsTemporaryName(std::wstring_view(entry.cFileName)) && (entry.dwFileAttributes & kNotAFile) == 0) {
      leftovers.push_back(entry.cFileName);
    }
  });
  std::wstring prefix = AllIn(wide);
  prefix.pop_back();  // the folder with its separator
  for (const auto& name : leftovers) {
    DeleteFileW((prefix + name).c_str());  // one that cannot go is only litter, never a reason to stop a run
  }
}

}  // namespace tarnwick
