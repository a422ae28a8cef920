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
#include <QSocketNotifier>
#include <cmath>
#include <iostream>

#include <unistd.h>

#include "base/escaped_text.h"
#include "window/layout.h"

namespace tarnwick {
namespace {

QRect ToPixels(int left, int top, int width, int height) {
  return {layout::TwipsToPixels(left), layout::TwipsToPixels(top), layout::TwipsToPixels(width),
          layout::TwipsToPixels(height)};
}

QRect ToPixels(const layout::Rect& rect) { return ToPixels(rect.left, rect.top, rect.width, rect.height); }

QColor ToQColor(layout::Colour colour) { return {colour.Red(), colour.Green(), colour.Blue()}; }

QString FromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QFont ToQFont(const layout::Font& designed) {
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
      applicationName_(applicationName),
      autoConfirm_(autoConfirm) {
  QApplication::setApplicationName(applicationName);
  QFont::insertSubstitutions(FromView(layout::kStatusFont.face),
                             {"Loma", "Garuda", "Noto Sans Thai", "Tlwg Typist", "DejaVu Sans"});
  queueTimer_.setTimerType(Qt::PreciseTimer);
  connect(&queueTimer_, &QTimer::timeout, this, [this] {
    if (events_ != nullptr) {
      events_->QueueTick();
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

void QtWindow::ShowModal(WindowEvents& events) {
  Open(events);
  RunUntilClosed();
  Finish();
}

void QtWindow::Open(WindowEvents& events) {
  events_ = &events;
  okPressed_ = false;
  events.Opened();
  dialog_ = std::make_unique<DownloadDialog>(events, *this);
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
  queueTimer_.stop();
  if (events_ != nullptr) {
    events_->Closed();
  }
  dialog_.reset();
  events_ = nullptr;
}

void QtWindow::Sync() {
  if (events_ == nullptr || dialog_ == nullptr) {
    return;
  }
  const WindowControls& c = events_->Controls();
  QLabel* label = dialog_->StatusLabel();
  label->setText(FromUtf8(c.status.caption));
  label->setGeometry(ToPixels(c.status.left, c.status.top, c.status.width, c.status.height));

  QProgressBar* bar = dialog_->ProgressBar();
  bar->setRange(static_cast<int>(std::lround(c.progress.min)), static_cast<int>(std::lround(c.progress.max)));
  bar->setValue(static_cast<int>(std::lround(c.progress.value)));
  bar->setVisible(c.progress.visible);

  QPushButton* ok = dialog_->OkButton();
  ok->setEnabled(c.okButton.enabled);
  QFont font = ok->font();
  font.setBold(c.okButton.bold);
  font.setPointSizeF(c.okButton.fontSize);
  ok->setFont(font);

  if (c.queueTimer.enabled && !queueTimer_.isActive()) {
    queueTimer_.start(c.queueTimer.intervalMs);
  } else if (!c.queueTimer.enabled && queueTimer_.isActive()) {
    queueTimer_.stop();
  }
  if (autoConfirm_ && open_ && c.okButton.enabled && !okPressed_) {
    okPressed_ = true;
    QTimer::singleShot(0, this, [this] {
      if (open_ && events_ != nullptr) {
        events_->OkPressed();
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
  queueTimer_.stop();
  if (dialog_ != nullptr) {
    dialog_->CloseFromLogic();
  }
  loop_.quit();
}

void QtWindow::MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                          const std::string& detail) {
  const QString shownText = FromUtf8(EscapedBoxText(text, "\n"));
  const QString shownTitle = title.empty() ? applicationName_ : FromUtf8(title);
  emit messageShown(shownText, shownTitle);
  if (autoConfirm_) {
    std::cout << AcknowledgedBox(shownTitle.toStdString(), text, detail) << std::flush;
  }
  if (interrupted_) {
    return;  // the window is closing: the box would only hold it open
  }
  QMessageBox box(ToQIcon(icon), shownTitle, shownText, QMessageBox::Ok, dialog_.get());
  box.setTextFormat(Qt::PlainText);
  box.setDetailedText(FromUtf8(EscapeControls(detail)));  // plain text, behind the box's "Show Details..." button
  if (autoConfirm_) {
    QTimer::singleShot(0, &box, &QMessageBox::accept);
  }
  openBoxes_.push_back(&box);
  box.exec();
  openBoxes_.pop_back();
}

void QtWindow::CloseWhenReadable(int fd) {
  interruptNotifier_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(fd), QSocketNotifier::Read);
  connect(interruptNotifier_.get(), &QSocketNotifier::activated, this, [this, fd] {
    char bytes[256];
    while (read(fd, bytes, sizeof bytes) > 0) {
    }
    interrupted_ = true;
    for (QMessageBox* box : openBoxes_) {
      box->accept();
    }
    Close();  // what the close box does: not OK, so the recovery marker stays
  });
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

DownloadDialog::DownloadDialog(WindowEvents& events, QtWindow& host)
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      events_(events),
      host_(host),
      statusLabel_(new QLabel(this)),
      progressBar_(new QProgressBar(this)),
      okButton_(new QPushButton(this)) {
  setObjectName("downloadWindow");
  setWindowTitle(FromView(layout::kCaption));
  setFixedSize(layout::TwipsToPixels(layout::kClientWidth), layout::TwipsToPixels(layout::kClientHeight));
  setWindowModality(Qt::ApplicationModal);
  setMouseTracking(true);
  setAutoFillBackground(true);
  QPalette background = palette();
  background.setColor(QPalette::Window, ToQColor(layout::kBackColour));
  setPalette(background);

  // Created in the design's order of the visible controls; tab order follows the design. What the logic
  // changes during a run (captions, the label's place, the bar's range, OK's state) comes from Sync.
  okButton_->setObjectName("okButton");
  okButton_->setGeometry(ToPixels(layout::kOkButton));
  okButton_->setText(FromView(layout::kOkCaption));
  okButton_->setFont(ToQFont(layout::kOkFont));
  const QColor okColour = ToQColor(layout::kOkBackColour);
  okButton_->setStyleSheet(QString("QPushButton { background-color: %1; border: 1px solid #808080; }"
                                   "QPushButton:disabled { color: #8a8a8a; }")
                               .arg(okColour.name()));
  okButton_->setMouseTracking(true);
  okButton_->installEventFilter(this);
  connect(okButton_, &QPushButton::clicked, this, [this] {
    events_.OkPressed();
    host_.Sync();
  });

  progressBar_->setObjectName("progressBar");
  progressBar_->setGeometry(ToPixels(layout::kProgressBar));
  progressBar_->setTextVisible(false);
  progressBar_->setMouseTracking(true);
  progressBar_->installEventFilter(this);

  statusLabel_->setObjectName("statusLabel");
  statusLabel_->setTextFormat(Qt::PlainText);
  statusLabel_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  statusLabel_->setFont(ToQFont(layout::kStatusFont));
  statusLabel_->setAutoFillBackground(true);
  statusLabel_->setPalette(background);
  statusLabel_->setMouseTracking(true);
  statusLabel_->installEventFilter(this);

  setTabOrder(progressBar_, statusLabel_);
  setTabOrder(statusLabel_, okButton_);
}

void DownloadDialog::CloseFromLogic() {
  closingFromLogic_ = true;
  hide();
}

bool DownloadDialog::eventFilter(QObject* watched, QEvent* event) {
  if (!IsMouseEvent(event->type())) {
    return QDialog::eventFilter(watched, event);
  }
  if (watched == okButton_) {
    if (!okButton_->isEnabled()) {
      return false;  // a disabled button lets the pointer through to the window, as the forms runtime does
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() == QEvent::MouseMove) {
      events_.PointerOverOk();
      host_.Sync();
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
  events_.PointerOverSurface();
  host_.Sync();
  event->accept();
}

void DownloadDialog::mousePressEvent(QMouseEvent* event) {
  const MouseButton button = event->button() == Qt::RightButton    ? MouseButton::Right
                             : event->button() == Qt::MiddleButton ? MouseButton::Middle
                                                                   : MouseButton::Left;
  event->accept();
  events_.MouseDown(button);
  host_.Sync();
}

void DownloadDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  // Delivered through the loop, so that the run starts on a window that is already on the screen.
  QTimer::singleShot(0, this, [this] {
    events_.Shown();
    host_.Sync();
  });
}

void DownloadDialog::closeEvent(QCloseEvent* event) {
  event->accept();
  if (!closingFromLogic_) {
    host_.Close();  // the close box: not OK, so the recovery marker stays
  }
}

void DownloadDialog::reject() {
  // Escape does not close the window; only OK, the close box or the logic do.
}

}  // namespace tarnwick
