// A scripted platform: a unit test fires the window's events one by one and reads what the logic did.
#pragma once

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "launch/mod_dhtml_tarnwick.h"
#include "platform/window_host.h"
#include "posix_fs/posix_file_system.h"
#include "window/frm_download.h"

namespace tarnwick::testing {

struct ShownBox {
  std::string text;
  std::string title;
  MessageIcon icon;
};

class FakeWindowHost : public WindowHost {
 public:
  void ShowModal(WindowEvents& form) override {
    form.Form_Load();
    form.Form_Resize();
  }
  void RepaintNow() override { ++repaints; }
  void Close() override { ++closes; }
  void MessageBox(const std::string& text, const std::string& title, MessageIcon icon) override {
    boxes.push_back({text, title, icon});
  }

  std::vector<ShownBox> boxes;
  int closes = 0;
  int repaints = 0;
};

struct ExecuteCall {
  std::string url;
  std::string operation;
};

class FakeTransferControl : public TransferControl {
 public:
  void SetStateChanged(StateChangedHandler handler) override { handler_ = std::move(handler); }
  void Execute(const std::string& url, const std::string& operation) override {
    if (refuse) {
      throw TransferRefused("refused");
    }
    calls.push_back({url, operation});
  }
  int ResponseCode() const override { return code_; }

  // Ends the oldest open request: on success the content lands at the local path of its operation.
  void Succeed(const std::string& content = "");
  void Fail(int code);
  void Notify(int state) { handler_(state); }
  std::string LocalPathOf(size_t call) const;

  std::vector<ExecuteCall> calls;
  size_t answered = 0;
  bool refuse = false;

 private:
  StateChangedHandler handler_;
  int code_ = 0;
};

class FakeTransferFactory : public TransferControlFactory {
 public:
  std::unique_ptr<TransferControl> Create(const TransferSettings& settings) override;
  // Created in the window's order: Inet2 first, then Inet1; replaced on every opening.
  FakeTransferControl* inet2 = nullptr;
  FakeTransferControl* inet1 = nullptr;
  int lastTimeout = 0;
  int created = 0;
};

// The real file system with failures injected by name.
class FaultyFileSystem : public PosixFileSystem {
 public:
  void DeleteFile(const std::string& path) override;
  void ReplaceFile(const std::string& path, std::string_view bytes) override;
  std::vector<std::string> ListSubfolders(const std::string& folder) override;

  std::set<std::string> undeletable;    // file names
  std::set<std::string> unwritable;     // file names
  bool subfoldersFail = false;
};

// A component folder in a fresh temporary folder, with the window and a scripted platform around it.
class Component {
 public:
  Component();
  ~Component();

  std::filesystem::path Path(const std::string& relative = "") const { return relative.empty() ? root : root / relative; }
  void Write(const std::string& relative, const std::string& bytes) const;
  std::string Read(const std::string& relative) const;
  bool Exists(const std::string& relative) const { return std::filesystem::exists(Path(relative)); }
  void MakeFolder(const std::string& relative) const { std::filesystem::create_directories(Path(relative)); }

  // Opens the window with this cookie, as a click would.
  void Start(const std::string& cookie);
  FakeTransferControl& Inet1() { return *transfers.inet1; }
  FakeTransferControl& Inet2() { return *transfers.inet2; }
  // Runs Timer1 until it starts a transfer or does nothing more.
  void Tick(int times = 1);
  // Answers the manifest request with this manifest text (lines joined by CR LF).
  void AnswerManifest(const std::vector<std::string>& lines);
  // Lets the queue fetch everything, each file with a content of its own name.
  void RunQueueToEnd();
  std::vector<std::string> Requested() const;  // remote paths given to Inet2, in order
  std::string LastBoxText() const { return host.boxes.empty() ? "" : host.boxes.back().text; }

  std::filesystem::path root;
  FaultyFileSystem fs;
  FakeWindowHost host;
  FakeTransferFactory transfers;
  Platform platform{fs, host, transfers};
  FrmDownLoad form;
};

std::string Crlf(const std::vector<std::string>& lines);
// A complete cookie for the meeting folder "m\TW3" below "t1".
std::string GoodCookie(const std::string& subSource = "m\\TW3");

}  // namespace tarnwick::testing
