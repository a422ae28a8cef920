// FrmDownLoad: the modal download window. It owns RunState, which outlives the window's controls,
// and its handlers drive a run. They are defined beside the subsystem they serve:
// launch/ (start of a run), window/ (own controls), transfer/ (manifest, queue), portal/ (scan, page).
#pragma once

#include <deque>
#include <memory>
#include <stdexcept>
#include <string>

#include "launch/run_state.h"
#include "platform/file_system.h"
#include "platform/transfer_control.h"
#include "platform/window_host.h"
#include "window/string_list.h"

namespace tarnwick {

struct Platform {
  FileSystem& fs;
  WindowHost& host;
  TransferControlFactory& transfers;
};

// A step of a transfer failed; reported with a response code.
class TransferFailure : public std::runtime_error {
 public:
  explicit TransferFailure(int code) : std::runtime_error("transfer failure"), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

// How the window closed last; the executable turns it into its exit status.
enum class CloseReason { None, Ok, ErrorBox, ArgumentError, ClosedByUser };

class FrmDownLoad : public WindowEvents {
 public:
  FrmDownLoad(Platform& platform, std::string componentFolder);
  ~FrmDownLoad() override;

  // Window events.
  void Form_Load() override;
  void Form_Unload() override;
  void Form_Resize() override;
  void CmdOk_Click() override;
  void CmdOk_MouseMove() override;
  void Form_MouseMove() override;
  void Form_MouseDown(MouseButton button) override;
  void Timer1_Timer() override;
  const WindowControls& Controls() const override { return controls_; }

  // Transfer control notifications.
  void Inet1_StateChanged(int state);
  void Inet2_StateChanged(int state);

  // Steps of a run.
  void ReadLaunchParameters();
  void FetchManifest();
  void CompareManifests();
  void ResetLocalFolder();
  void StartFileDownload(const std::string& name);
  void ClearMeetingNo();
  void ScanMeetingFolders();
  void CompactMeetingNo();
  bool WritePortalPage();

  RunState& State() { return state_; }
  const StringList& nLst() const { return nLst_; }
  const StringList& sLst() const { return sLst_; }
  const StringList& fLst() const { return fLst_; }
  const StringList& dLst() const { return dLst_; }
  bool IsOpen() const { return open_; }
  CloseReason LastCloseReason() const { return closeReason_; }
  const std::string& ComponentFolder() const { return componentFolder_; }

 private:
  void CloseWindow(CloseReason reason);
  void ShowErrorStageBox();
  void EndRunWithBox(const std::string& text);
  void HandOverToQueue();
  void ShowUpToDate();
  void FileArrived();
  void FailFile(const std::string& name, int code);
  void FinishQueue();
  void ExecuteOn(TransferControl& control, std::deque<unsigned>& pending, const std::string& remotePath,
                 const std::string& localPath);
  void OnNotification(std::deque<unsigned>& pending, void (FrmDownLoad::*handler)(int), int state);

  std::string MarkerPath() const;
  std::string LocalFolderPath() const;
  std::string InComponentFolder(std::string_view name) const;
  std::string MeetingFolderPath(int number) const;
  std::string FtpUrl() const;
  std::string RemoteFolder() const;

  Platform& platform_;
  std::string componentFolder_;
  RunState state_;

  // Created afresh each time the window opens.
  WindowControls controls_;
  StringList dLst_{false};
  StringList fLst_{false};
  StringList nLst_{true};
  StringList sLst_{true};
  std::unique_ptr<TransferControl> inet1_;
  std::unique_ptr<TransferControl> inet2_;

  bool open_ = false;
  CloseReason closeReason_ = CloseReason::None;
  // Each start of a run gets a serial; a notification of a request made under an earlier start is stale.
  unsigned runSerial_ = 0;
  std::deque<unsigned> inet1Pending_;
  std::deque<unsigned> inet2Pending_;
  bool generationChanged_ = false;
};

}  // namespace tarnwick
