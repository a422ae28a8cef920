// The download window: the modal window a run lives in. It owns the run's state and the state of its
// controls, receives the window's and the transfers' events, and hands each to the unit that does the
// work (launch/, transfer/, portal/). A run starts when the window is shown.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "launch/launch_link.h"
#include "launch/launch_parameters.h"
#include "platform/platform.h"
#include "platform/run_failure.h"
#include "transfer/download_queue.h"
#include "transfer/meeting_folder.h"

namespace tarnwick {

// How the window closed last; the executable turns it into its exit status.
enum class CloseReason { None, Ok, ErrorBox, ArgumentError, ClosedByUser };

class DownloadWindow : public WindowEvents {
 public:
  DownloadWindow(Platform& platform, std::string componentFolder);
  ~DownloadWindow() override;

  // The meeting page's cookie at the time of the click, and where it came from; read when the window is shown.
  void SetLaunchCookie(std::string cookie, LaunchSource source = LaunchSource::CookieFile) {
    launchCookie_ = std::move(cookie);
    launchSource_ = source;
  }

  void Opened() override;
  void Closed() override;
  void Shown() override;
  void OkPressed() override;
  void PointerOverOk() override;
  void PointerOverSurface() override;
  void MouseDown(MouseButton button) override;
  void QueueTick() override;
  const WindowControls& Controls() const override { return controls_; }
  bool RecoveryPending() const override;

  CloseReason LastCloseReason() const { return closeReason_; }

 private:
  // Where the run stands. The controls follow it: OK is enabled once the run is done, the queue timer
  // runs while the download list is fetched.
  enum class RunPhase {
    Closed,             // the window is not open
    Opened,             // open; the run starts when the window is shown
    Starting,           // launch parameters, the recovery marker looked for, the manifest request
    FetchingManifest,   // the manifest is on its way; once it is there it is compared
    FetchingSignature,  // the publisher's signature of the manifest is on its way; then the manifest is checked
    Downloading,        // the queue fetches the download list, one file at a time
    Finishing,          // the compared manifest is kept and the portal page written
    Done,               // completed, or the data was already current: OK ends the run
    Failed,             // a box ended the run and the window closes
  };

  // A transfer control and its open requests, each tagged with the start of the run that made it.
  struct Transfer {
    std::unique_ptr<TransferControl> control;
    std::deque<unsigned> pending;
  };

  void EnterPhase(RunPhase phase);
  std::optional<RunFailure> StartRun();
  std::optional<RunFailure> MarkChangesBegin();
  void FetchManifest();
  void ManifestFetched(const TransferOutcome& outcome);
  void SignatureFetched(const TransferOutcome& outcome);
  std::optional<RunFailure> UnsignedManifest(const std::string& manifest);
  std::optional<RunFailure> CompareAndHandOver();
  void HandOverToQueue(std::vector<std::string> downloadList);
  void ShowUpToDate();
  std::optional<RunFailure> StartFile(const std::string& name);
  void FileFetched(const TransferOutcome& outcome);
  void FileProgressed(const TransferProgress& progress);
  void ServerBusy(const TransferWait& wait);
  void BusyOver();
  void ShowProgress(const QueueProgress& progress);
  void FinishQueue();

  void Request(Transfer& transfer, const std::string& remotePath, const std::string& localPath,
               const FileChecks& checks);
  bool IsCurrent(const Transfer& transfer) const;
  void Deliver(Transfer& transfer, void (DownloadWindow::*handler)(const TransferOutcome&),
               const TransferOutcome& outcome);
  MeetingFolder LocalFolder() const;
  RunJournal& Journal();
  void Fail(const RunFailure& failure);
  std::string TransferErrorText(int code) const;
  void CloseWindow(CloseReason reason);

  Platform& platform_;
  std::string componentFolder_;
  std::string launchCookie_;
  LaunchSource launchSource_ = LaunchSource::CookieFile;

  // The run's state. The launch parameters outlive the window's controls: a key missing from the next
  // cookie keeps its value.
  LaunchParameters parameters_;
  // A recovery marker was found at the start: once a usable manifest has arrived, everything is fetched again.
  bool recovering_ = false;
  // This run wrote the recovery marker: it has begun to change the component folder.
  bool markerWritten_ = false;
  // The public keys of the component folder, when it holds any: only a manifest they signed is taken.
  std::optional<std::string> publicKeys_;
  std::string signature_;  // of the manifest, as fetched
  // The manifest this run compared, kept only when the run completes.
  std::string comparedManifest_;
  // What its entries say each file must be.
  ManifestChecks checks_;
  RunSummary summary_;
  DownloadQueue queue_;
  // Each start of a run gets a serial; an outcome of a request made under an earlier start is stale.
  unsigned runSerial_ = 0;

  // Created afresh each time the window opens.
  WindowControls controls_;
  Transfer manifestTransfer_;
  Transfer fileTransfer_;
  RunPhase phase_ = RunPhase::Closed;
  bool busyShown_ = false;  // the status line says that the server is busy
  CloseReason closeReason_ = CloseReason::None;
};

}  // namespace tarnwick
