#include "window/frm_download.h"

#include "platform/text_lines.h"
#include "window/design.h"
#include "window/texts.h"

namespace tarnwick {

FrmDownLoad::FrmDownLoad(Platform& platform, std::string componentFolder)
    : platform_(platform), componentFolder_(std::move(componentFolder)) {}

FrmDownLoad::~FrmDownLoad() = default;

void FrmDownLoad::Form_Load() {
  const auto& label = design::FindControl("Lblwait");
  controls_ = WindowControls{};
  controls_.lblwait = {std::string(design::kLblwaitCaption), label.left, label.top, label.width, label.height};
  controls_.progressBar1 = {design::kProgressMin, design::kProgressMax, design::kProgressMin, true};
  controls_.cmdOk = {std::string(design::kCmdOkCaption), false, design::kCmdOkFont.bold, design::kCmdOkFont.sizePt};
  controls_.timer1 = {false, design::kTimer1IntervalMs};
  dLst_.Clear();
  fLst_.Clear();
  nLst_.Clear();
  sLst_.Clear();
  inet1Pending_.clear();
  inet2Pending_.clear();

  const TransferSettings settings{design::kRequestTimeoutSeconds};
  inet2_ = platform_.transfers.Create(settings);
  inet1_ = platform_.transfers.Create(settings);
  inet1_->SetStateChanged([this](int state) { OnNotification(inet1Pending_, &FrmDownLoad::Inet1_StateChanged, state); });
  inet2_->SetStateChanged([this](int state) { OnNotification(inet2Pending_, &FrmDownLoad::Inet2_StateChanged, state); });
  open_ = true;
  closeReason_ = CloseReason::None;
}

void FrmDownLoad::Form_Unload() {
  if (open_) {
    open_ = false;
    closeReason_ = CloseReason::ClosedByUser;
  }
  controls_.timer1.enabled = false;
  inet1_.reset();
  inet2_.reset();
}

void FrmDownLoad::OnNotification(std::deque<unsigned>& pending, void (FrmDownLoad::*handler)(int), int state) {
  if (state != icError && state != icResponseCompleted) {
    return;
  }
  const bool current = !pending.empty() && pending.front() == runSerial_;
  if (!pending.empty()) {
    pending.pop_front();
  }
  if (current && open_) {
    (this->*handler)(state);
  }
}

void FrmDownLoad::CloseWindow(CloseReason reason) {
  if (!open_) {
    return;
  }
  open_ = false;
  closeReason_ = reason;
  controls_.timer1.enabled = false;
  platform_.host.Close();
}

void FrmDownLoad::ShowErrorStageBox() {
  platform_.host.MessageBox(state_.ErrorStage, std::string(texts::kErrorTitle), MessageIcon::Critical);
}

void FrmDownLoad::EndRunWithBox(const std::string& text) {
  platform_.host.MessageBox(text, "", MessageIcon::None);
  CloseWindow(CloseReason::ErrorBox);
}

void FrmDownLoad::CmdOk_Click() {
  if (!open_ || !controls_.cmdOk.enabled) {
    return;
  }
  try {
    if (platform_.fs.FileExists(MarkerPath())) {
      platform_.fs.DeleteFile(MarkerPath());
    }
  } catch (const FileError&) {
    // A marker that cannot go makes the next run fetch everything again: safe, so the window still closes.
  }
  CloseWindow(CloseReason::Ok);
}

void FrmDownLoad::CmdOk_MouseMove() {
  controls_.cmdOk.bold = true;
  controls_.cmdOk.fontSize = 12;
}

void FrmDownLoad::Form_MouseMove() {
  controls_.cmdOk.bold = false;
  controls_.cmdOk.fontSize = 10;
}

void FrmDownLoad::Form_MouseDown(MouseButton button) {
  if (button == MouseButton::Right) {
    platform_.host.MessageBox(std::string(texts::kCreditsText), std::string(texts::kCreditsTitle),
                              MessageIcon::Information);
  }
}

std::string FrmDownLoad::MarkerPath() const { return componentFolder_ + "\\" + std::string(texts::kMarkerName); }

std::string FrmDownLoad::LocalFolderPath() const { return componentFolder_ + "\\" + state_.LocalFolder; }

std::string FrmDownLoad::InComponentFolder(std::string_view name) const {
  const bool endsWithSeparator =
      !componentFolder_.empty() && (componentFolder_.back() == '\\' || componentFolder_.back() == '/');
  return componentFolder_ + (endsWithSeparator ? "" : "\\") + std::string(name);
}

std::string FrmDownLoad::MeetingFolderPath(int number) const {
  return componentFolder_ + "\\TW" + std::to_string(number);
}

}  // namespace tarnwick
