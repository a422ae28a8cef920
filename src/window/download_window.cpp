#include "window/download_window.h"

#include <new>

#include "base/paths.h"
#include "launch/folder_configuration.h"
#include "launch/recovery_marker.h"
#include "launch/trusted_hosts.h"
#include "platform/response_codes.h"
#include "portal/portal_update.h"
#include "transfer/manifest.h"
#include "transfer/remote_paths.h"
#include "window/layout.h"
#include "window/texts.h"

namespace tarnwick {

DownloadWindow::DownloadWindow(Platform& platform, std::string componentFolder)
    : platform_(platform), componentFolder_(std::move(componentFolder)) {}

DownloadWindow::~DownloadWindow() = default;

// ---- The window and its controls ----

void DownloadWindow::Opened() {
  const auto& label = layout::kStatusLabel;
  controls_ = WindowControls{};
  controls_.status = {std::string(layout::kStatusCaption), label.left, label.top, label.width, label.height};
  controls_.progress = {layout::kProgressMin, layout::kProgressMax, layout::kProgressMin, true};
  controls_.okButton = {false, layout::kOkFont.bold, layout::kOkFont.sizePt};
  controls_.queueTimer = {false, layout::kQueueTimerIntervalMs};
  queue_ = DownloadQueue{};

  TransferSettings settings;
  settings.tls = ConfiguredTls(platform_.fs, componentFolder_);
  fileTransfer_ = {platform_.transfers.Create(settings), {}};
  manifestTransfer_ = {platform_.transfers.Create(settings), {}};
  manifestTransfer_.control->SetOutcomeHandler([this](const TransferOutcome& outcome) {
    Deliver(manifestTransfer_, &DownloadWindow::ManifestFetched, outcome);
  });
  fileTransfer_.control->SetOutcomeHandler(
      [this](const TransferOutcome& outcome) { Deliver(fileTransfer_, &DownloadWindow::FileFetched, outcome); });
  fileTransfer_.control->SetProgressHandler([this](const TransferProgress& progress) {
    if (phase_ != RunPhase::Closed && IsCurrent(fileTransfer_)) {
      FileProgressed(progress);
    }
  });
  for (Transfer* transfer : {&manifestTransfer_, &fileTransfer_}) {
    transfer->control->SetWaitHandler([this, transfer](const TransferWait& wait) {
      if (phase_ != RunPhase::Closed && IsCurrent(*transfer)) {
        ServerBusy(wait);
      }
    });
  }
  busyShown_ = false;
  closeReason_ = CloseReason::None;
  EnterPhase(RunPhase::Opened);
}

void DownloadWindow::Closed() {
  if (phase_ != RunPhase::Closed) {
    closeReason_ = CloseReason::ClosedByUser;  // not OK: the recovery marker stays
  }
  EnterPhase(RunPhase::Closed);
  manifestTransfer_ = {};
  fileTransfer_ = {};
}

void DownloadWindow::OkPressed() {
  if (phase_ != RunPhase::Done) {
    return;
  }
  try {
    RecoveryMarker(platform_.fs, componentFolder_).Remove();
  } catch (const FileError&) {
    // A marker that cannot go makes the next run fetch everything again: safe, so the window still closes.
  }
  CloseWindow(CloseReason::Ok);
}

void DownloadWindow::PointerOverOk() {
  controls_.okButton.bold = true;
  controls_.okButton.fontSize = layout::kOkHoverSizePt;
}

void DownloadWindow::PointerOverSurface() {
  controls_.okButton.bold = false;
  controls_.okButton.fontSize = layout::kOkPlainSizePt;
}

void DownloadWindow::MouseDown(MouseButton button) {
  if (button == MouseButton::Right) {
    platform_.host.MessageBox(std::string(texts::kCreditsText), std::string(texts::kCreditsTitle),
                              MessageIcon::Information, "");
  }
}

void DownloadWindow::CloseWindow(CloseReason reason) {
  if (phase_ == RunPhase::Closed) {
    return;
  }
  EnterPhase(RunPhase::Closed);
  closeReason_ = reason;
  platform_.host.Close();
}

void DownloadWindow::EnterPhase(RunPhase phase) {
  phase_ = phase;
  controls_.okButton.enabled = phase == RunPhase::Done;
  controls_.queueTimer.enabled = phase == RunPhase::Downloading;
}

RunJournal& DownloadWindow::Journal() {
  static RunJournal nobody;
  return platform_.journal != nullptr ? *platform_.journal : nobody;
}

void DownloadWindow::ShowStageBox(std::string_view stage, const std::string& detail) {
  EnterPhase(RunPhase::Failed);
  Journal().RunFailed(std::string(stage), detail);
  platform_.host.MessageBox(std::string(stage), std::string(texts::kErrorTitle), MessageIcon::Critical, detail);
}

void DownloadWindow::EndRunWithBox(const std::string& text, const std::string& detail) {
  EnterPhase(RunPhase::Failed);
  Journal().RunFailed(text, detail);
  platform_.host.MessageBox(text, "", MessageIcon::None, detail);
  CloseWindow(CloseReason::ErrorBox);
}

// ---- Start of a run: launch parameters, recovery marker, manifest request ----

void DownloadWindow::Shown() {
  platform_.host.RepaintNow();
  // Every showing starts the run afresh: the queue stops, and outcomes of earlier requests become stale.
  EnterPhase(RunPhase::Starting);
  queue_ = DownloadQueue{};
  ++runSerial_;
  StartRun();
}

void DownloadWindow::StartRun() {
  try {
    switch (ReadLaunchCookie(launchCookie_, parameters_)) {
      case CookieVerdict::Accepted:
        break;
      case CookieVerdict::WrongCount:
        Refuse(std::string(texts::kArgumentErrorText),
               "the cookie must hold each of HOST, LOGIN, PWD, SUBSOURCE and TIMESOURCE once");
        return;
      case CookieVerdict::UnsafeLocalFolder:
        Refuse(std::string(texts::kArgumentErrorText),
               "the last part of SUBSOURCE must name one folder inside the component folder");
        return;
      case CookieVerdict::ElementWithoutEquals:
        FailStart("an element of the cookie has no \"=\"");
        return;
      case CookieVerdict::TooManyElements:
        FailStart("the cookie has more than 32,767 elements");
        return;
    }
    if (launchSource_ == LaunchSource::Link && !ServerTrusted()) {
      RefuseUntrustedServer();
      return;
    }
    // What an interrupted earlier run was writing is of no use to anyone.
    platform_.fs.RemoveLeftovers(componentFolder_);
    platform_.fs.RemoveLeftovers(LocalFolder().Path());
    RecoveryMarker marker(platform_.fs, componentFolder_);
    // The folder is not emptied here: a run that cannot reach the server must leave the user's documents.
    recovering_ = marker.Present();
    marker.Write();
    FetchManifest();
  } catch (const FileError& error) {
    FailStart(error.what());
  } catch (const TransferRefused& refused) {
    FailStart(std::string("the manifest request could not be started: ") + refused.what());
  } catch (const std::bad_alloc&) {
    FailStart("out of memory");
  }
}

// The run is refused before anything is touched: the argument error's title and status, with `text`.
void DownloadWindow::Refuse(const std::string& text, const std::string& detail) {
  EnterPhase(RunPhase::Failed);
  Journal().RunFailed(text, detail);
  platform_.host.MessageBox(text, std::string(texts::kArgumentErrorTitle), MessageIcon::Critical, detail);
  CloseWindow(CloseReason::ArgumentError);
}

bool DownloadWindow::ServerTrusted() {
  const auto serverUrl = ConfiguredServerUrl(platform_.fs, componentFolder_);
  const auto trustedHosts = platform_.fs.ReadFile(JoinPathOnce(componentFolder_, kTrustedHostsName));
  return IsTrustedHost(parameters_.host, serverUrl.value_or(""), trustedHosts.value_or(""));
}

// Before the marker and before any connection: a page that is not the meeting's gets nothing from this run.
void DownloadWindow::RefuseUntrustedServer() {
  const std::string text = texts::UntrustedServerText(parameters_.host);
  const std::string detail =
      "a link from a web page starts a run only with the host of Tarnwick.cfg's line 2 or one "
      "listed in " +
      std::string(kTrustedHostsName) + " in " + componentFolder_;
  Refuse(text, detail);
}

void DownloadWindow::FailStart(const std::string& detail) {
  ShowStageBox(texts::kStageStart, detail);
  CloseWindow(CloseReason::ErrorBox);
}

MeetingFolder DownloadWindow::LocalFolder() const {
  return MeetingFolder(platform_.fs, JoinPath(componentFolder_, parameters_.localFolder));
}

void DownloadWindow::Request(Transfer& transfer, const std::string& remotePath, const std::string& localPath) {
  transfer.control->Execute(BuildFtpUrl(parameters_), BuildGetOperation(remotePath, localPath));
  transfer.pending.push_back(runSerial_);
}

// The oldest open request of the transfer was made under the current start of the run.
bool DownloadWindow::IsCurrent(const Transfer& transfer) const {
  return !transfer.pending.empty() && transfer.pending.front() == runSerial_;
}

void DownloadWindow::Deliver(Transfer& transfer, void (DownloadWindow::*handler)(const TransferOutcome&),
                             const TransferOutcome& outcome) {
  const bool current = IsCurrent(transfer);
  if (!transfer.pending.empty()) {
    transfer.pending.pop_front();
  }
  if (current && phase_ != RunPhase::Closed) {
    (this->*handler)(outcome);
  }
}

void DownloadWindow::FetchManifest() {
  MeetingFolder folder = LocalFolder();
  folder.PrepareForManifest();
  Request(manifestTransfer_, RemotePath(parameters_, kServerManifestName), folder.PathOf(kFetchedManifestName));
  EnterPhase(RunPhase::FetchingManifest);
}

// ---- The manifest has arrived: compare, then hand over to the queue or report the data as current ----

void DownloadWindow::ManifestFetched(const TransferOutcome& outcome) {
  if (outcome.completed) {
    BusyOver();
  }
  if (!outcome.completed) {
    FailManifest(outcome.code, outcome.detail);
    return;
  }
  try {
    CompareAndHandOver();
  } catch (const TransferFailure& failure) {
    FailManifest(failure.Code(), failure.Detail());
  } catch (const std::bad_alloc&) {
    FailManifest(codes::kUnusableManifest, "out of memory while the manifest was read");
  }
}

void DownloadWindow::FailManifest(int code, const std::string& detail) {
  EndRunWithBox(texts::ManifestErrorText(code), detail);
}

void DownloadWindow::CompareAndHandOver() {
  MeetingFolder folder = LocalFolder();
  auto manifests = folder.ReadManifests();
  auto difference =
      recovering_ ? FetchEverything(manifests.fetched) : CompareManifests(manifests.kept, manifests.fetched);
  if (!difference) {
    throw TransferFailure(
        codes::kUnusableManifest,
        "the manifest lists more files than a download list holds (32,767 with the four fixed names)");
  }
  // Everything is checked before anything is deleted.
  comparedManifest_ = std::move(manifests.fetchedBytes);
  if (difference->newGeneration) {
    try {
      folder.ClearForNewGeneration();
    } catch (const FileError& error) {
      throw TransferFailure(codes::kCannotDelete, std::string("the meeting folder cannot be cleared: ") + error.what());
    }
  }
  summary_ = {0, 0, std::move(difference->noLongerListed)};
  if (difference->downloadList.empty()) {
    ShowUpToDate();
  } else {
    HandOverToQueue(std::move(difference->downloadList));
  }
}

void DownloadWindow::HandOverToQueue(std::vector<std::string> downloadList) {
  queue_.Start(std::move(downloadList));
  controls_.progress.max = static_cast<double>(queue_.DownloadList().size());
  EnterPhase(RunPhase::Downloading);
}

void DownloadWindow::ShowUpToDate() {
  Journal().RunCurrent();
  controls_.progress.visible = false;
  controls_.status.top -= layout::kUpToDateStatusRise;
  controls_.status.caption = std::string(texts::kUpToDateCaption);
  EnterPhase(RunPhase::Done);
}

// ---- The queue: one file at a time ----

void DownloadWindow::QueueTick() {
  if (phase_ != RunPhase::Downloading) {
    return;
  }
  const auto name = queue_.Tick();
  if (!name) {
    return;
  }
  if (name->empty()) {
    ShowProgress(queue_.Arrived());  // an empty manifest line names no file: passed over, and counts as done
    return;
  }
  try {
    StartFile(*name);
  } catch (const TransferFailure& failure) {
    FailFile(*name, failure.Code(), failure.Detail());
  }
}

void DownloadWindow::StartFile(const std::string& name) {
  if (!StaysInsideFolder(name)) {
    throw TransferFailure(codes::kNameOutsideFolder, "the name leads outside the meeting folder; it was not requested");
  }
  Journal().FileStarted(name, queue_.Position(), queue_.DownloadList().size());
  // The old copy stays until the new one is complete: the transfer replaces it in one step.
  try {
    Request(fileTransfer_, RemotePath(parameters_, name), LocalFolder().PathOf(name));
  } catch (const TransferRefused& refused) {
    throw TransferFailure(codes::kRequestRefused, std::string("the request could not be started: ") + refused.what());
  }
}

void DownloadWindow::FileFetched(const TransferOutcome& outcome) {
  if (outcome.completed) {
    BusyOver();
  }
  const std::string name = queue_.InFlight().value_or("");
  if (!outcome.completed) {
    FailFile(name, outcome.code, outcome.detail);
    return;
  }
  ++summary_.files;
  summary_.bytes += outcome.bytes;
  Journal().FileFetched(name, outcome.bytes);
  ShowProgress(queue_.Arrived());
}

void DownloadWindow::FileProgressed(const TransferProgress& progress) {
  BusyOver();
  Journal().FileProgress(progress.bytes, progress.size);
}

void DownloadWindow::ServerBusy(const TransferWait& wait) {
  busyShown_ = true;
  controls_.status.caption = texts::ServerBusyCaption(wait.seconds);
  Journal().ServerBusy(wait);
}

// The request got through (or failed for good): the status line says again what it said before.
void DownloadWindow::BusyOver() {
  if (busyShown_) {
    busyShown_ = false;
    controls_.status.caption = std::string(layout::kStatusCaption);
  }
}

void DownloadWindow::ShowProgress(const QueueProgress& progress) {
  if (progress.finished) {
    FinishQueue();
  } else {
    controls_.progress.value = progress.value;
  }
}

void DownloadWindow::FinishQueue() {
  EnterPhase(RunPhase::Finishing);
  if (!KeepComparedManifest()) {
    return;
  }
  PortalUpdate update;
  try {
    update = RewritePortalPage(platform_.fs, componentFolder_);
  } catch (const std::bad_alloc&) {
    update.problem = "out of memory while the portal page was built";
  }
  if (update.scanFailed) {
    // The old page stays: a page without the meetings on disk would hide them from the user.
    ShowStageBox(texts::kStageChkFolder, "the meeting folders cannot be listed: " + update.problem);
    CloseWindow(CloseReason::ErrorBox);
    return;
  }
  if (!update.pageWritten) {
    // The old page stays; the window closes without OK, so the next run fetches and writes again.
    ShowStageBox(texts::kStagePage, "the portal page was not written: " + update.problem);
    CloseWindow(CloseReason::ErrorBox);
    return;
  }
  Journal().RunCompleted(summary_);
  controls_.status.caption = texts::CompletedCaption(queue_.DownloadList().size());
  EnterPhase(RunPhase::Done);
}

// The kept copy is the manifest that this run compared, not what the server holds now: a revision
// published during the run is then seen as a change by the next run, which fetches the rest.
bool DownloadWindow::KeepComparedManifest() {
  try {
    LocalFolder().KeepManifest(comparedManifest_);
    return true;
  } catch (const FileError& error) {
    FailFile(std::string(kKeptManifestName), codes::kLocalWrite, error.what());
    return false;
  }
}

void DownloadWindow::FailFile(const std::string& name, int code, const std::string& detail) {
  queue_.Failed();
  EndRunWithBox(texts::FileErrorText(name, code), detail);
}

}  // namespace tarnwick
