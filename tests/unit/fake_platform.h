// A scripted platform: a test fires the window's events one by one and reads what the logic did.
#pragma once

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host_file_system.h"
#include "window/download_window.h"

namespace tarnwick::testing {

struct ShownBox {
  std::string text;
  std::string title;
  MessageIcon icon;
  std::string detail;
};

class FakeWindowHost : public WindowHost {
 public:
  void ShowModal(WindowEvents& window) override {
    window.Opened();
    window.Shown();
  }
  void RepaintNow() override { ++repaints; }
  void Close() override { ++closes; }
  void MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                  const std::string& detail) override {
    boxes.push_back({text, title, icon, detail});
  }

  std::vector<ShownBox> boxes;
  int closes = 0;
  int repaints = 0;
};

struct ExecuteCall {
  std::string url;
  std::string operation;
  FileChecks checks;
};

class FakeTransferControl : public TransferControl {
 public:
  void SetOutcomeHandler(OutcomeHandler handler) override { handler_ = std::move(handler); }
  void Execute(const std::string& url, const std::string& operation, const FileChecks& checks) override {
    if (refuse) {
      throw TransferRefused("refused");
    }
    calls.push_back({url, operation, checks});
  }

  // Ends the oldest open request: on success the content lands at the local path of its operation.
  void Succeed(const std::string& content = "");
  void Fail(int code);
  std::string LocalPathOf(size_t call) const;

  std::vector<ExecuteCall> calls;
  size_t answered = 0;
  bool refuse = false;

 private:
  OutcomeHandler handler_;
};

class FakeTransferFactory : public TransferControlFactory {
 public:
  std::unique_ptr<TransferControl> Create(const TransferSettings& settings) override;
  // Created in the window's order: the file transfer first, then the manifest transfer; replaced on every opening.
  FakeTransferControl* fileTransfer = nullptr;
  FakeTransferControl* manifestTransfer = nullptr;
  TransferSettings lastSettings;
  int created = 0;
};

// The real file system with failures injected by name.
class FaultyFileSystem : public HostFileSystem {
 public:
  void DeleteFile(const std::string& path) override;
  void ReplaceFile(const std::string& path, std::string_view bytes) override;
  std::vector<std::string> ListSubfolders(const std::string& folder) override;
  void Flush(const std::vector<std::string>& folders) override;

  std::set<std::string> undeletable;  // file names
  std::set<std::string> unwritable;   // file names
  bool subfoldersFail = false;
  bool flushFails = false;
};

// Paths in and out of the program as UTF-8, converted by the standard library, not by the code under test.
std::string Utf8(const std::filesystem::path& path);
std::filesystem::path FromUtf8(const std::string& text);
// The names of the entries of the folder, sorted.
std::vector<std::string> EntriesIn(const std::filesystem::path& folder);

// A component folder in a fresh temporary folder; relative paths in UTF-8.
class TempComponentFolder {
 public:
  TempComponentFolder();
  ~TempComponentFolder();
  TempComponentFolder(const TempComponentFolder&) = delete;
  TempComponentFolder& operator=(const TempComponentFolder&) = delete;

  std::filesystem::path Path(const std::string& relative = "") const {
    return relative.empty() ? root : root / FromUtf8(relative);
  }
  void Write(const std::string& relative, const std::string& bytes) const;
  std::string Read(const std::string& relative) const;
  bool Exists(const std::string& relative) const { return std::filesystem::exists(Path(relative)); }
  // Whether it is there under exactly this name (Exists ignores letter case where the system does).
  bool ExistsAsWritten(const std::string& relative) const;
  void MakeFolder(const std::string& relative) const { std::filesystem::create_directories(Path(relative)); }

  std::filesystem::path root;
};

// The download window in a component folder, with a scripted platform around it.
class Component : public TempComponentFolder {
 public:
  Component() : window(platform, root.string()) {}

  // Opens the window with this cookie, as a click would.
  void Start(const std::string& cookie);
  FakeTransferControl& ManifestTransfer() { return *transfers.manifestTransfer; }
  FakeTransferControl& FileTransfer() { return *transfers.fileTransfer; }
  // Fires the queue timer this many times.
  void Tick(int times = 1);
  // Answers the manifest request with this manifest text (lines joined by CR LF).
  void AnswerManifest(const std::vector<std::string>& lines);
  // Lets the queue fetch everything, each file with a content of its own name.
  void RunQueueToEnd();
  std::vector<std::string> Requested() const;  // remote paths given to the file transfer, in order
  std::string LastBoxText() const { return host.boxes.empty() ? "" : host.boxes.back().text; }
  bool Closed() const { return host.closes > 0; }

  FaultyFileSystem fs;
  FakeWindowHost host;
  FakeTransferFactory transfers;
  Platform platform{fs, host, transfers};
  DownloadWindow window;
};

std::string Crlf(const std::vector<std::string>& lines);
// A complete cookie for the meeting folder "m\TW3" below "t1".
std::string GoodCookie(const std::string& subSource = "m\\TW3");

}  // namespace tarnwick::testing
