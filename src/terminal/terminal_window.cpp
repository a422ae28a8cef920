#include "terminal/terminal_window.h"

#include <algorithm>
#include <cmath>

#include "base/escaped_text.h"
#include "terminal/run_report.h"
#include "window/layout.h"

namespace tarnwick {
namespace {

constexpr int kBarWidth = 30;
constexpr size_t kShownNameLetters = 40;
constexpr auto kProgressRedraw = std::chrono::milliseconds(250);  // a few times a second: readable, cheap

// At most kShownNameLetters characters of a name, so that the line of progress fits a terminal's line.
std::string ShortName(const std::string& name) {
  size_t letters = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if ((static_cast<unsigned char>(name[i]) & 0xC0) != 0x80 && ++letters > kShownNameLetters - 3) {
      return name.substr(0, i) + "...";
    }
  }
  return name;
}

}  // namespace

TerminalWindow::TerminalWindow(std::ostream& out, std::ostream* errors, std::string applicationName,
                               TerminalOptions options)
    : out_(out),
      errors_(errors),
      applicationName_(std::move(applicationName)),
      autoConfirm_(options.autoConfirm),
      outputIsTerminal_(options.outputIsTerminal),
      quiet_(options.quiet) {}

void TerminalWindow::Post(std::function<void()> event) {
  posted_.Push(std::move(event));
  waits_.Wake();
}

#ifdef _WIN32
void TerminalWindow::InterruptFromAnyThread() { waits_.Interrupt(); }
#else
void TerminalWindow::CloseWhenReadable(int fd) { waits_.InterruptWhenReadable(fd); }
#endif

void TerminalWindow::Interrupt() {
  interrupted_ = true;
  EndProgressLine();
  // Nothing changes the folder once the window closes: what the marker says now is what the next run finds.
  const bool recovery = events_ != nullptr && events_->RecoveryPending();
  const char* said = recovery ? "Interrupted: the file in flight was not kept; the next run fetches everything again."
                              : "Interrupted before anything was changed: the next run goes on as usual.";
  out_ << "   " << said << "\n" << std::flush;
  if (errors_ != nullptr) {
    *errors_ << applicationName_ << ": " << said << "\n" << std::flush;
  }
  Close();
}

void TerminalWindow::ShowModal(WindowEvents& events) {
  events_ = &events;
  open_ = true;
  drawnOnce_ = false;
  okPromptShown_ = false;
  ticks_.Stop();
  runStarted_ = Clock::now();
  fileCount_ = 0;
  events.Opened();
  if (!quiet_) {
    out_ << "== " << layout::kCaption << " ==\n";
  }
  Draw();
  events.Shown();
  Draw();
  RunLoop();
  EndProgressLine();
  events.Closed();
  events_ = nullptr;
  posted_.Clear();
}

void TerminalWindow::RunLoop() {
  while (open_) {
    if (RunPostedEvents()) {
      continue;
    }
    PressOkWhenReady();
    if (!open_) {
      break;
    }
    WaitForWork();
    RunTimerIfDue();
    Draw();
  }
}

// Runs what other threads posted; each event runs here, on the loop's own thread.
bool TerminalWindow::RunPostedEvents() {
  bool ran = false;
  while (open_) {
    const std::function<void()> event = posted_.Take();
    if (!event) {
      break;
    }
    event();
    Draw();
    ran = true;
  }
  return ran;
}

void TerminalWindow::WaitForWork() {
  const QueueTimerState& timer = events_->Controls().queueTimer;
  if (timer.enabled && !ticks_.Running()) {
    ticks_.Start(std::chrono::milliseconds(timer.intervalMs));
  } else if (!timer.enabled) {
    ticks_.Stop();
  }
  const bool waitForOk = okPromptShown_ && events_->Controls().okButton.enabled;
  switch (waits_.Wait(ticks_.Running() ? std::optional(ticks_.Next()) : std::nullopt, waitForOk)) {
    case TerminalWaits::Woken::Interrupted:
      Interrupt();
      break;
    case TerminalWaits::Woken::Enter:
      events_->OkPressed();
      break;
    case TerminalWaits::Woken::Work:
      break;
  }
}

void TerminalWindow::RunTimerIfDue() {
  if (open_ && events_->Controls().queueTimer.enabled && ticks_.TakeDue()) {
    events_->QueueTick();
  }
}

void TerminalWindow::PressOkWhenReady() {
  if (!events_->Controls().okButton.enabled || okPromptShown_) {
    return;
  }
  okPromptShown_ = true;
  EndProgressLine();
  if (autoConfirm_) {
    if (!quiet_) {
      out_ << "[ OK ]\n" << std::flush;
    }
    events_->OkPressed();
  } else {
    out_ << "[ OK ]  press Enter to close\n" << std::flush;
  }
}

void TerminalWindow::RepaintNow() { Draw(); }

void TerminalWindow::Close() { open_ = false; }

void TerminalWindow::MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                                const std::string& detail) {
  EndProgressLine();
  const char* mark = icon == MessageIcon::Critical ? "(x) " : icon == MessageIcon::Information ? "(i) " : "";
  std::string block = "+-- " + std::string(mark) + EscapeControls(title.empty() ? applicationName_ : title) + "\n";
  for (const auto& line : BoxLines(text)) {
    block += "| " + EscapeControls(line) + "\n";
  }
  if (!detail.empty()) {
    block += "|   (" + EscapeControls(detail) + ")\n";
  }
  const bool error = icon != MessageIcon::Information;
  if (error && errors_ != nullptr) {
    *errors_ << block << std::flush;  // for a scheduled run's error log
  }
  const bool waits = !autoConfirm_ && !interrupted_;
  if (quiet_ && !error && !waits) {
    return;
  }
  out_ << block << "+-- [ OK ]" << (waits ? "  press Enter" : "") << "\n" << std::flush;
  if (waits) {
    WaitForEnter();
  }
}

void TerminalWindow::WaitForEnter() {
  for (;;) {
    const auto woken = waits_.Wait(std::nullopt, true);
    if (woken == TerminalWaits::Woken::Interrupted) {
      Interrupt();
      return;
    }
    if (woken == TerminalWaits::Woken::Enter) {
      return;
    }
  }
}

void TerminalWindow::Draw() {
  if (events_ == nullptr || quiet_) {
    return;
  }
  const WindowControls& now = events_->Controls();
  if (!drawnOnce_ || now.status.caption != drawn_.status.caption) {
    EndProgressLine();
    out_ << "   " << EscapeControls(now.status.caption) << "\n";
  }
  const auto& bar = now.progress;
  const auto& before = drawn_.progress;
  // Not on a terminal, the files are reported a line each as they arrive instead.
  if (outputIsTerminal_ && bar.visible &&
      (!drawnOnce_ || bar.value != before.value || bar.max != before.max || !before.visible)) {
    DrawProgressLine(false);
  }
  drawn_ = now;
  drawnOnce_ = true;
  out_ << std::flush;
}

// The window's bar, then the file in flight: "[####......] 3/8 agenda.pdf  1.2 MiB of 20.0 MiB  850 KiB/s".
void TerminalWindow::DrawProgressLine(bool evenIfJustDrawn) {
  // Hundreds of small files a second must not cost a redraw each.
  if (!evenIfJustDrawn && progressLineOpen_ && Clock::now() - lastProgressDrawn_ < kProgressRedraw) {
    return;
  }
  const ProgressBarState& bar = events_->Controls().progress;
  const double span = bar.max - bar.min;
  const double fraction = span > 0 ? std::clamp((bar.value - bar.min) / span, 0.0, 1.0) : 0.0;
  const int filled = static_cast<int>(std::lround(fraction * kBarWidth));
  std::string text = "[" + std::string(static_cast<size_t>(filled), '#') +
                     std::string(static_cast<size_t>(kBarWidth - filled), '.') + "] ";
  if (fileCount_ == 0) {
    text += std::to_string(std::lround(bar.value)) + "/" + std::to_string(std::lround(bar.max));
  } else {
    text += std::to_string(filePosition_) + "/" + std::to_string(fileCount_) + " " +
            EscapeControls(ShortName(fileName_)) + "  " + FormatBytes(fileBytes_) +
            (fileSize_ > 0 ? " of " + FormatBytes(fileSize_) : "") + "  " +
            FormatRate(fileBytes_, SecondsSince(fileStarted_));
  }
  out_ << "\r   " << text << "\x1b[K" << std::flush;  // clear what a longer earlier text left
  progressLineOpen_ = true;
  lastProgressDrawn_ = Clock::now();
}

void TerminalWindow::FileStarted(const std::string& name, size_t position, size_t count) {
  fileName_ = name;
  filePosition_ = position;
  fileCount_ = count;
  fileBytes_ = 0;
  fileSize_ = 0;
  fileStarted_ = Clock::now();
  if (outputIsTerminal_ && !quiet_ && events_ != nullptr) {
    DrawProgressLine(false);
  }
}

void TerminalWindow::FileProgress(std::uint64_t bytes, std::uint64_t size) {
  fileBytes_ = bytes;
  fileSize_ = size;
  if (outputIsTerminal_ && !quiet_ && events_ != nullptr) {
    DrawProgressLine(false);
  }
}

void TerminalWindow::FileFetched(const std::string& name, std::uint64_t bytes) {
  fileBytes_ = bytes;
  if (quiet_ || outputIsTerminal_) {
    return;
  }
  const double seconds = SecondsSince(fileStarted_);
  out_ << "   " << filePosition_ << "/" << fileCount_ << " " << ShownValue(name) << "  " << FormatBytes(bytes) << " in "
       << FormatSeconds(seconds) << " (" << FormatRate(bytes, seconds) << ")\n";
}

void TerminalWindow::RunCompleted(const RunSummary& summary) {
  if (quiet_) {
    return;
  }
  if (progressLineOpen_ && events_ != nullptr) {
    DrawProgressLine(true);  // the line ends as the run did, not at its last redraw
  }
  EndProgressLine();
  for (const auto& line : SummaryLines(summary, SecondsSince(runStarted_))) {
    out_ << "   " << EscapeControls(line) << "\n";
  }
  out_ << std::flush;
}

void TerminalWindow::EndProgressLine() {
  if (progressLineOpen_) {
    out_ << "\n";
    progressLineOpen_ = false;
  }
}

}  // namespace tarnwick
