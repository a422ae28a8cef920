#include "window/download_window.h"

#include <new>

#include "base/ascii.h"
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

  const TransferSettings settings = ConfiguredTransfer(platform_.fs, componentFolder_);
  fileTransfer_ = {platform_.transfers.Create(settings), {}};
  manifestTransfer_ = {platform_.transfers.Create(settings), {}};
  manifestTransfer_.control->SetOutcomeHandler([this](const TransferOutcome& outcome) {
    Deliver(
        manifestTransfer_,
        phase_ == RunPhase::FetchingSignature ? &DownloadWindow::SignatureFetched : &DownloadWindow::ManifestFetched,
        outcome);
  });
  fileTransfer_.control->SetOutcomeHandler(
      [this](const TransferOutcome& outcome) { Deliver(fileTransfer_, &DownloadWindow::FileFetched, outcome); });
  fileTransfer_.control->SetProgressHandler([this](const TransferProgress& progress) {
    if (IsCurrent(fileTransfer_)) {
      FileProgressed(progress);
    }
  });
  for (Transfer* transfer : {&manifestTransfer_, &fileTransfer_}) {
    transfer->control->SetWaitHandler([this, transfer](const TransferWait& wait) {
      if (IsCurrent(*transfer)) {
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
    RecoveryMarker(platform_.fs, componentFolder_).Remove({LocalFolder().Path()});
  } catch (const FileError&) {
    // A marker that cannot go makes the next run fetch everything again: safe, so the window still closes.
  }
  CloseWindow(CloseReason::Ok);
}

// Asked of the folder, not of this run: a marker that an earlier run left counts as much as this run's.
bool DownloadWindow::RecoveryPending() const { return RecoveryMarker(platform_.fs, componentFolder_).Present(); }

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

// The one way a run ends short of its end: the failure's box, its record in the journals, and the window
// closes without OK (the recovery marker stays).
void DownloadWindow::Fail(const RunFailure& failure) {
  std::string text;
  std::string_view title = texts::kErrorTitle;
  MessageIcon icon = MessageIcon::Critical;
  CloseReason reason = CloseReason::ErrorBox;
  switch (failure.box) {
    case FailureBox::ArgumentError:
      text = texts::kArgumentErrorText;
      title = texts::kRefusalTitle;
      reason = CloseReason::ArgumentError;
      break;
    case FailureBox::UntrustedServer:
      text = texts::UntrustedServerText(parameters_.host);
      title = texts::kRefusalTitle;
      reason = CloseReason::ArgumentError;
      break;
    case FailureBox::Start:
      text = texts::kStageStart;
      break;
    case FailureBox::ChkFolder:
      text = texts::kStageChkFolder;
      break;
    case FailureBox::Page:
      text = texts::kStagePage;
      break;
    case FailureBox::Transfer:
      text = TransferErrorText(failure.code);
      title = "";
      icon = MessageIcon::None;
      break;
  }
  queue_.Failed();  // nothing more starts until the window is shown again
  EnterPhase(RunPhase::Failed);
  Journal().RunFailed(text, failure.detail);
  platform_.host.MessageBox(text, std::string(title), icon, failure.detail);
  CloseWindow(reason);
}

// The transfer box names the manifest until the queue starts, then the file in flight, and once the
// queue has finished the kept copy of the manifest.
std::string DownloadWindow::TransferErrorText(int code) const {
  switch (phase_) {
    case RunPhase::Downloading:
      return texts::FileErrorText(queue_.InFlight().value_or(""), code);
    case RunPhase::Finishing:
      return texts::FileErrorText(kKeptManifestName, code);
    default:
      return texts::ManifestErrorText(code);
  }
}

// ---- Start of a run: launch parameters, recovery marker, manifest request ----

void DownloadWindow::Shown() {
  platform_.host.RepaintNow();
  // Every showing starts the run afresh: the queue stops, and outcomes of earlier requests become stale.
  EnterPhase(RunPhase::Starting);
  queue_ = DownloadQueue{};
  ++runSerial_;
  if (const auto failure = StartRun()) {
    Fail(*failure);
  }
}

std::optional<RunFailure> DownloadWindow::StartRun() {
  try {
    if (auto refusal = CookieFailure(ReadLaunchCookie(launchCookie_, parameters_))) {
      return refusal;
    }
    if (launchSource_ == LaunchSource::Link) {
      if (auto refusal = UntrustedLinkServer(platform_.fs, componentFolder_, parameters_.host)) {
        return refusal;
      }
    }
    // What an interrupted earlier run was writing is of no use to anyone.
    platform_.fs.RemoveLeftovers(componentFolder_);
    platform_.fs.RemoveLeftovers(LocalFolder().Path());
    // The folder is not emptied here: a run that cannot reach the server must leave the user's documents.
    recovering_ = RecoveryMarker(platform_.fs, componentFolder_).Present();
    publicKeys_ = platform_.fs.ReadFile(JoinPath(componentFolder_, kPublicKeysName));
    markerWritten_ = false;
    FetchManifest();
  } catch (const FileError& error) {
    return RunFailure{FailureBox::Start, 0, error.what()};
  } catch (const TransferRefused& refused) {
    return RunFailure{FailureBox::Start, 0, std::string(texts::kManifestRequestRefusedDetail) + refused.what()};
  } catch (const std::bad_alloc&) {
    return RunFailure{FailureBox::Start, 0, std::string(texts::kOutOfMemoryDetail)};
  }
  return std::nullopt;
}

// Before the run's first change to the component folder: the first deletion or the first file asked for
// (the transfer puts it in place on its own; the kept copy is replaced only after the queue's files).
// A run that ends before then leaves the marker as it found it: a page that only names a server, with
// a wrong password, cannot plant one.
std::optional<RunFailure> DownloadWindow::MarkChangesBegin() {
  if (markerWritten_) {
    return std::nullopt;
  }
  try {
    RecoveryMarker(platform_.fs, componentFolder_).Write();
  } catch (const FileError& error) {
    return RunFailure{FailureBox::Start, 0, error.what()};
  }
  markerWritten_ = true;
  return std::nullopt;
}

MeetingFolder DownloadWindow::LocalFolder() const {
  return MeetingFolder(platform_.fs, JoinPath(componentFolder_, parameters_.localFolder));
}

void DownloadWindow::Request(Transfer& transfer, const std::string& remotePath, const std::string& localPath,
                             const FileChecks& checks) {
  transfer.control->Execute(BuildFtpUrl(parameters_), BuildGetOperation(remotePath, localPath), checks);
  transfer.pending.push_back(runSerial_);
}

// The window is open and the oldest open request of the transfer was made under the current start of the
// run: what the transfer reports is for this run.
bool DownloadWindow::IsCurrent(const Transfer& transfer) const {
  return phase_ != RunPhase::Closed && !transfer.pending.empty() && transfer.pending.front() == runSerial_;
}

void DownloadWindow::Deliver(Transfer& transfer, void (DownloadWindow::*handler)(const TransferOutcome&),
                             const TransferOutcome& outcome) {
  const bool current = IsCurrent(transfer);
  if (!transfer.pending.empty()) {
    transfer.pending.pop_front();
  }
  if (current) {
    (this->*handler)(outcome);
  }
}

void DownloadWindow::FetchManifest() {
  MeetingFolder folder = LocalFolder();
  folder.PrepareForManifest();
  Request(manifestTransfer_, RemotePath(parameters_, kServerManifestName), folder.PathOf(kFetchedManifestName),
          ManifestBound());
  EnterPhase(RunPhase::FetchingManifest);
}

// ---- The manifest has arrived: compare, then hand over to the queue or report the data as current ----

void DownloadWindow::ManifestFetched(const TransferOutcome& outcome) {
  if (!outcome.completed) {
    Fail(RunFailure::OfTransfer(outcome));
    return;
  }
  BusyOver();
  if (publicKeys_) {
    // The signature goes beside the manifest, on the same login, before anything is compared.
    MeetingFolder folder = LocalFolder();
    Request(manifestTransfer_, RemotePath(parameters_, kServerSignatureName), folder.PathOf(kFetchedSignatureName),
            SignatureBound());
    EnterPhase(RunPhase::FetchingSignature);
    return;
  }
  if (const auto failure = CompareAndHandOver()) {
    Fail(*failure);
  }
}

void DownloadWindow::SignatureFetched(const TransferOutcome& outcome) {
  if (!outcome.completed) {
    Fail(outcome.code == 550
             ? RunFailure{FailureBox::Transfer, codes::kNotSigned,
                          "the meeting's publisher signs its manifest (" + std::string(kPublicKeysName) +
                              "), and the server has no signature: " + outcome.detail}
             : RunFailure::OfTransfer(outcome));
    return;
  }
  BusyOver();
  try {
    const std::string path = LocalFolder().PathOf(kFetchedSignatureName);
    signature_ = platform_.fs.ReadFile(path).value_or("");
    DeleteIfPresent(platform_.fs, path);
  } catch (const FileError& error) {
    Fail(RunFailure{FailureBox::Transfer, codes::kCannotDelete, error.what()});
    return;
  }
  if (const auto failure = CompareAndHandOver()) {
    Fail(*failure);
  }
}

// With the publisher's keys, the manifest must be signed by one of them and answer for every file it brings.
std::optional<RunFailure> DownloadWindow::UnsignedManifest(const std::string& manifest) {
  if (!publicKeys_) {
    return std::nullopt;
  }
  const auto refused = [](const std::string& why) {
    return RunFailure{FailureBox::Transfer, codes::kNotSigned, "the manifest is not taken: " + why};
  };
  if (platform_.signatures == nullptr) {
    return refused("this program cannot check the signature that " + std::string(kPublicKeysName) + " asks for");
  }
  if (auto why = platform_.signatures->Refusal(manifest, signature_, *publicKeys_)) {
    return refused(*why);
  }
  if (const auto parsed = ParseManifest(manifest)) {
    if (auto why = LeavesAFileUnchecked(*parsed)) {
      return refused("it is signed, but " + *why);
    }
  }
  return std::nullopt;
}

std::optional<RunFailure> DownloadWindow::CompareAndHandOver() {
  MeetingFolder folder = LocalFolder();
  auto compared = folder.Compare(recovering_);
  if (const auto* failure = std::get_if<RunFailure>(&compared)) {
    return *failure;
  }
  auto& [difference, fetchedBytes, checks] = std::get<MeetingFolder::Comparison>(compared);
  // Everything is checked before anything is deleted.
  if (auto failure = UnsignedManifest(fetchedBytes)) {
    return failure;
  }
  comparedManifest_ = std::move(fetchedBytes);
  checks_ = std::move(checks);
  if (difference.newGeneration) {
    if (auto failure = MarkChangesBegin()) {
      return failure;
    }
    if (auto failure = folder.ClearForNewGeneration()) {
      return failure;
    }
  }
  summary_ = {0, 0, std::move(difference.noLongerListed)};
  if (difference.downloadList.empty()) {
    ShowUpToDate();
  } else {
    HandOverToQueue(std::move(difference.downloadList));
  }
  return std::nullopt;
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
  if (const auto failure = StartFile(*name)) {
    Fail(*failure);
  }
}

std::optional<RunFailure> DownloadWindow::StartFile(const std::string& name) {
  if (!StaysInsideFolder(name)) {
    return RunFailure{FailureBox::Transfer, codes::kNameOutsideFolder, std::string(texts::kNameOutsideFolderDetail)};
  }
  if (auto failure = MarkChangesBegin()) {
    return failure;
  }
  Journal().FileStarted(name, queue_.Position(), queue_.DownloadList().size());
  // The old copy stays until the new one is complete: the transfer replaces it in one step.
  try {
    // The manifest at the end of the tail lists no digest of its own; it is bounded as the first one was.
    const bool manifest = EqualIgnoringAsciiCase(name, kKeptManifestName);
    Request(fileTransfer_, RemotePath(parameters_, name), LocalFolder().PathOf(name),
            manifest ? ManifestBound() : checks_.For(name));
  } catch (const TransferRefused& refused) {
    return RunFailure{FailureBox::Transfer, codes::kRequestRefused,
                      std::string(texts::kRequestRefusedDetail) + refused.what()};
  }
  return std::nullopt;
}

void DownloadWindow::FileFetched(const TransferOutcome& outcome) {
  if (!outcome.completed) {
    Fail(RunFailure::OfTransfer(outcome));
    return;
  }
  BusyOver();
  const std::string name = queue_.InFlight().value_or("");
  // A signed meeting's manifest fetched at the end must be the one whose signature was checked: a server
  // that hands another one then has been changed under the run.
  if (publicKeys_ && EqualIgnoringAsciiCase(name, kKeptManifestName) &&
      platform_.fs.ReadFile(LocalFolder().PathOf(kKeptManifestName)) != comparedManifest_) {
    Fail(RunFailure{FailureBox::Transfer, codes::kNotSigned,
                    "the manifest on the server is no longer the one whose signature was checked at the start"});
    return;
  }
  ++summary_.files;
  summary_.bytes += outcome.bytes;
  Journal().FileFetched(name, outcome.bytes);
  ShowProgress(queue_.Arrived());
  // The next file is asked for now, not at the next tick: over a slow link every file would otherwise
  // wait up to a tick more, and a run of hundreds of small files is mostly such waits.
  QueueTick();
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
  // The kept copy is the manifest that this run compared, not what the server holds now: a revision
  // published during the run is then seen as a change by the next run, which fetches the rest.
  auto failure = LocalFolder().KeepManifest(comparedManifest_);
  if (!failure) {
    failure = RewritePortalPage(platform_.fs, componentFolder_);
  }
  if (failure) {
    Fail(*failure);
    return;
  }
  Journal().RunCompleted(summary_);
  controls_.status.caption = texts::CompletedCaption(queue_.DownloadList().size());
  EnterPhase(RunPhase::Done);
}

}  // namespace tarnwick
