#include "fake_platform.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

namespace tarnwick::testing {
namespace {

// A new folder of this test's own (create_directory is false for one that is there already).
std::filesystem::path MakeTempFolder() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto folder = std::filesystem::temp_directory_path() / ("tarnwick-unit-" + std::to_string(random()));
    if (std::filesystem::create_directory(folder)) {
      return folder;
    }
  }
  throw std::runtime_error("no temporary folder");
}

std::string NameOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

std::string FakeTransferControl::LocalPathOf(size_t call) const {
  const std::string& op = calls.at(call).operation;
  return op.substr(op.find("  ") + 2);
}

void FakeTransferControl::Succeed(const std::string& content) {
  std::ofstream(HostPath(LocalPathOf(answered++)), std::ios::binary) << content;
  handler_(TransferOutcome::Completed(content.size()));
}

void FakeTransferControl::Fail(int code) {
  ++answered;
  handler_(TransferOutcome::Failed(code, "injected failure " + std::to_string(code)));
}

std::unique_ptr<TransferControl> FakeTransferFactory::Create(const TransferSettings& settings) {
  auto control = std::make_unique<FakeTransferControl>();
  (created++ % 2 == 0 ? fileTransfer : manifestTransfer) = control.get();
  lastSettings = settings;
  return control;
}

void FaultyFileSystem::DeleteFile(const std::string& path) {
  if (undeletable.count(NameOf(path)) != 0) {
    throw FileError("injected: cannot delete " + path);
  }
  HostFileSystem::DeleteFile(path);
}

void FaultyFileSystem::ReplaceFile(const std::string& path, std::string_view bytes) {
  if (unwritable.count(NameOf(path)) != 0) {
    throw FileError("injected: cannot write " + path);
  }
  HostFileSystem::ReplaceFile(path, bytes);
}

std::vector<std::string> FaultyFileSystem::ListSubfolders(const std::string& folder) {
  if (subfoldersFail) {
    throw FileError("injected: cannot open " + folder);
  }
  return HostFileSystem::ListSubfolders(folder);
}

void FaultyFileSystem::Flush(const std::vector<std::string>& folders) {
  if (flushFails) {
    throw FileError("injected: cannot flush");
  }
  HostFileSystem::Flush(folders);
}

TempComponentFolder::TempComponentFolder() : root(MakeTempFolder()) {}

TempComponentFolder::~TempComponentFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

void TempComponentFolder::Write(const std::string& relative, const std::string& bytes) const {
  std::filesystem::create_directories(Path(relative).parent_path());
  std::ofstream(Path(relative), std::ios::binary) << bytes;
}

bool TempComponentFolder::ExistsAsWritten(const std::string& relative) const {
  const std::filesystem::path path = Path(relative);
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path(), ignored)) {
    if (entry.path().filename() == path.filename()) {
      return true;
    }
  }
  return false;
}

std::string TempComponentFolder::Read(const std::string& relative) const {
  std::ifstream in(Path(relative), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

std::filesystem::path FromUtf8(const std::string& text) { return std::u8string(text.begin(), text.end()); }

std::vector<std::string> EntriesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(Utf8(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

void Component::Start(const std::string& cookie) {
  window.SetLaunchCookie(cookie);
  host.ShowModal(window);
}

void Component::Tick(int times) {
  for (int i = 0; i < times; ++i) {
    window.QueueTick();
  }
}

void Component::AnswerManifest(const std::vector<std::string>& lines) { ManifestTransfer().Succeed(Crlf(lines)); }

void Component::RunQueueToEnd() {
  for (int guard = 0; guard < 100000 && !Closed() && window.Controls().queueTimer.enabled; ++guard) {
    if (FileTransfer().answered == FileTransfer().calls.size()) {
      Tick();
      continue;
    }
    const std::string local = FileTransfer().LocalPathOf(FileTransfer().answered);
    FileTransfer().Succeed(NameOf(local));
  }
}

std::vector<std::string> Component::Requested() const {
  std::vector<std::string> remote;
  for (const auto& call : transfers.fileTransfer->calls) {
    remote.push_back(call.operation.substr(4, call.operation.find("  ") - 4));
  }
  return remote;
}

std::string Crlf(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line + "\r\n";
  }
  return text;
}

std::string GoodCookie(const std::string& subSource) {
  return "HOST=127%2E0%2E0%2E1;LOGIN=meeting;PWD=s3cr:t@x/y;SUBSOURCE=" + subSource + ";TIMESOURCE=t1";
}

}  // namespace tarnwick::testing
