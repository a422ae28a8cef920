#include "qt_window/qt_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <cmath>
#include <iostream>

#include "window/design.h"

namespace tarnwick {
namespace {

QRect ToPixels(int left, int top, int width, int height) {
  return {design::TwipsToPixels(left), design::TwipsToPixels(top), design::TwipsToPixels(width),
          design::TwipsToPixels(height)};
}

QRect DesignRect(std::string_view name) {
  const auto& c = design::FindControl(name);
  return ToPixels(c.left, c.top, c.width, c.height);
}

QColor ToQColor(design::Colour colour) { return {colour.Red(), colour.Green(), colour.Blue()}; }

QString FromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QFont ToQFont(const design::Font& designed) {
  QFont font(FromView(designed.face));
  font.setPointSizeF(designed.sizePt);
  font.setBold(designed.bold);
  return font;
}

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

QMessageBox::Icon ToQIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Critical:
      return QMessageBox::Critical;
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

bool IsMouseEvent(QEvent::Type type) {
  return type == QEvent::MouseMove || type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
         type == QEvent::MouseButtonDblClick;
}

}  // namespace

QtWindow::QtWindow(int& argc, char** argv, const QString& applicationName, bool autoConfirm)
    : ownApplication_(QApplication::instance() == nullptr ? std::make_unique<QApplication>(argc, argv) : nullptr),
      applicationName_(applicationName), autoConfirm_(autoConfirm) {
  QApplication::setApplicationName(applicationName);
  QFont::insertSubstitutions(FromView(design::kLblwaitFont.face),
                             {"Loma", "Garuda", "Noto Sans Thai", "Tlwg Typist", "DejaVu Sans"});
  timer1_.setTimerType(Qt::PreciseTimer);
  connect(&timer1_, &QTimer::timeout, this, [this] {
    if (form_ != nullptr) {
      form_->Timer1_Timer();
      Sync();
    }
  });
}

QtWindow::~QtWindow() = default;

bool QtWindow::DisplayAvailable() {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    return true;
  }
  const QString display = qEnvironmentVariable("DISPLAY");
  if (display.isEmpty()) {
    return false;
  }
  if (!display.startsWith(':')) {
    return true;  // a display on another host: let Qt try it
  }
  const QString number = display.mid(1).section('.', 0, 0);
  return QFileInfo::exists("/tmp/.X11-unix/X" + number);
}

void QtWindow::ShowModal(WindowEvents& form) {
  Open(form);
  RunUntilClosed();
  Finish();
}

void QtWindow::Open(WindowEvents& form) {
  form_ = &form;
  okPressed_ = false;
  form.Form_Load();
  dialog_ = std::make_unique<DownloadDialog>(form, *this);
  open_ = true;
  Sync();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect frame = dialog_->frameGeometry();
    dialog_->move(screen->availableGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2));
  }
  dialog_->show();
}

void QtWindow::RunUntilClosed() {
  if (open_) {
    loop_.exec();
  }
}

void QtWindow::Finish() {
  timer1_.stop();
  if (form_ != nullptr) {
    form_->Form_Unload();
  }
  dialog_.reset();
  form_ = nullptr;
}

void QtWindow::Sync() {
  if (form_ == nullptr || dialog_ == nullptr) {
    return;
  }
  const WindowControls& c = form_->Controls();
  QLabel* label = dialog_->Lblwait();
  label->setText(FromUtf8(c.lblwait.caption));
  label->setGeometry(ToPixels(c.lblwait.left, c.lblwait.top, c.lblwait.width, c.lblwait.height));

  QProgressBar* bar = dialog_->ProgressBar1();
  bar->setRange(static_cast<int>(std::lround(c.progressBar1.min)), static_cast<int>(std::lround(c.progressBar1.max)));
  bar->setValue(static_cast<int>(std::lround(c.progressBar1.value)));
  bar->setVisible(c.progressBar1.visible);

  QPushButton* ok = dialog_->CmdOk();
  ok->setEnabled(c.cmdOk.enabled);
  QFont font = ok->font();
  font.setBold(c.cmdOk.bold);
  font.setPointSizeF(c.cmdOk.fontSize);
  ok->setFont(font);

  if (c.timer1.enabled && !timer1_.isActive()) {
    timer1_.start(c.timer1.intervalMs);
  } else if (!c.timer1.enabled && timer1_.isActive()) {
    timer1_.stop();
  }
  if (autoConfirm_ && open_ && c.cmdOk.enabled && !okPressed_) {
    okPressed_ = true;
    QTimer::singleShot(0, this, [this] {
      if (open_ && form_ != nullptr) {
        form_->CmdOk_Click();
        Sync();
      }
    });
  }
}

void QtWindow::RepaintNow() {
  if (dialog_ != nullptr) {
    Sync();
    dialog_->repaint();
  }
}

void QtWindow::Close() {
  open_ = false;
  timer1_.stop();
  if (dialog_ != nullptr) {
    dialog_->CloseFromLogic();
  }
  loop_.quit();
}

void QtWindow::MessageBox(const std::string& text, const std::string& title, MessageIcon icon) {
  QString shownText = FromUtf8(text);
  shownText.replace("\r\n", "\n");
  const QString shownTitle = title.empty() ? applicationName_ : FromUtf8(title);
  emit messageShown(shownText, shownTitle);
  QMessageBox box(ToQIcon(icon), shownTitle, shownText, QMessageBox::Ok, dialog_.get());
  if (autoConfirm_) {
    std::cout << "[" << shownTitle.toStdString() << "] " << shownText.toStdString() << "\n" << std::flush;
    QTimer::singleShot(0, &box, &QMessageBox::accept);
  }
  box.exec();
}

void QtWindow::Post(std::function<void()> event) {
  // Called from a transfer thread: the event crosses into the window's thread through Qt's queue, so
  // the logic only ever runs on this thread, between other events.
  QMetaObject::invokeMethod(
      this,
      [this, event = std::move(event)] {
        event();
        Sync();
      },
      Qt::QueuedConnection);
}

DownloadDialog::DownloadDialog(WindowEvents& form, QtWindow& window)
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      form_(form), window_(window), lblwait_(new QLabel(this)), progressBar1_(new QProgressBar(this)),
      cmdOk_(new QPushButton(this)) {
  setObjectName("FrmDownLoad");
  setWindowTitle(FromView(design::kCaption));
  setFixedSize(design::TwipsToPixels(design::kClientWidth), design::TwipsToPixels(design::kClientHeight));
  setWindowModality(Qt::ApplicationModal);
  setMouseTracking(true);
  setAutoFillBackground(true);
  QPalette background = palette();
  background.setColor(QPalette::Window, ToQColor(design::kBackColour));
  setPalette(background);

  // Created in the design's order of the visible controls; tab order follows the design. What the logic
  // changes during a run (captions, the label's place, the bar's range, OK's state) comes from Sync.
  cmdOk_->setObjectName("CmdOk");
  cmdOk_->setGeometry(DesignRect("CmdOk"));
  cmdOk_->setText(FromView(design::kCmdOkCaption));
  cmdOk_->setFont(ToQFont(design::kCmdOkFont));
  const QColor okColour = ToQColor(design::kCmdOkBackColour);
  cmdOk_->setStyleSheet(QString("QPushButton { background-color: %1; border: 1px solid #808080; }"
                                "QPushButton:disabled { color: #8a8a8a; }")
                            .arg(okColour.name()));
  cmdOk_->setMouseTracking(true);
  cmdOk_->installEventFilter(this);
  connect(cmdOk_, &QPushButton::clicked, this, [this] {
    form_.CmdOk_Click();
    window_.Sync();
  });

  progressBar1_->setObjectName("ProgressBar1");
  progressBar1_->setGeometry(DesignRect("ProgressBar1"));
  progressBar1_->setTextVisible(false);
  progressBar1_->setMouseTracking(true);
  progressBar1_->installEventFilter(this);

  lblwait_->setObjectName("Lblwait");
  lblwait_->setTextFormat(Qt::PlainText);
  lblwait_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  lblwait_->setFont(ToQFont(design::kLblwaitFont));
  lblwait_->setAutoFillBackground(true);
  lblwait_->setPalette(background);
  lblwait_->setMouseTracking(true);
  lblwait_->installEventFilter(this);

  setTabOrder(progressBar1_, lblwait_);
  setTabOrder(lblwait_, cmdOk_);
}

void DownloadDialog::CloseFromLogic() {
  closingFromLogic_ = true;
  hide();
}

bool DownloadDialog::eventFilter(QObject* watched, QEvent* event) {
  if (!IsMouseEvent(event->type())) {
    return QDialog::eventFilter(watched, event);
  }
  if (watched == cmdOk_) {
    if (!cmdOk_->isEnabled()) {
      return false;  // a disabled button lets the pointer through to the window, as the forms runtime does
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() == QEvent::MouseMove) {
      form_.CmdOk_MouseMove();
      window_.Sync();
      return mouse->buttons() == Qt::NoButton;  // the button would pass a plain move on to the window
    }
    // Only the left button belongs to the push button; the others must not reach the window either.
    return mouse->button() != Qt::LeftButton && mouse->buttons() != Qt::LeftButton;
  }
  // Label and progress bar: the pointer over them is not over the window's bare surface. Qt would
  // hand their unhandled mouse events to the window, so they end here.
  return true;
}

void DownloadDialog::mouseMoveEvent(QMouseEvent* event) {
  form_.Form_MouseMove();
  window_.Sync();
  event->accept();
}

void DownloadDialog::mousePressEvent(QMouseEvent* event) {
  const MouseButton button = event->button() == Qt::RightButton    ? MouseButton::Right
                             : event->button() == Qt::MiddleButton ? MouseButton::Middle
                                                                   : MouseButton::Left;
  event->accept();
  form_.Form_MouseDown(button);
  window_.Sync();
}

void DownloadDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  // Delivered through the loop, so that the run starts on a window that is already on the screen.
  QTimer::singleShot(0, this, [this] {
    form_.Form_Resize();
    window_.Sync();
  });
}

void DownloadDialog::closeEvent(QCloseEvent* event) {
  event->accept();
  if (!closingFromLogic_) {
    window_.Close();  // the close box: not OK, so the recovery marker stays
  }
}

void DownloadDialog::reject() {
  // Escape does not close the window; only OK, the close box or the logic do.
}

}  // namespace tarnwick
