// The download window on the desktop, with Qt 6 Widgets.
//
// - [x] the window as designed: caption, 422 x 119 client pixels, pale yellow, fixed tool window with a
//       close box, centred, modal without an owner; every control at its design place
// - [x] Thai text ("MS Sans Serif" mapped to a Thai sans-serif face)
// - [x] hover emphasis, the right-click credits box, Alt+O for OK
// - [x] the 10 ms timer; events posted from the transfer threads
// - [x] Qt message boxes in plain text: what the server names is never read as markup; control and
//       bidirectional-format characters in them shown as escapes
// - [x] an interruption, which closes the window as the close box does
// - [x] auto-confirm: every box acknowledged at once, OK pressed as soon as it is enabled
// - [ ] resizing (the size is fixed, so the first resize on showing is the only one)
#pragma once

#include <QDialog>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "platform/event_poster.h"
#include "platform/window_host.h"

class QApplication;
class QLabel;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QSocketNotifier;

namespace tarnwick {

class DownloadDialog;

class QtWindow : public QObject, public WindowHost, public EventPoster {
  Q_OBJECT

 public:
  // Creates the application object unless one exists already.
  QtWindow(int& argc, char** argv, const QString& applicationName, bool autoConfirm);
  ~QtWindow() override;

  // True when a display can be opened (or Qt was told which platform to use).
  static bool DisplayAvailable();

  void ShowModal(WindowEvents& events) override;
  void RepaintNow() override;
  void Close() override;
  void MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                  const std::string& detail) override;
  void Post(std::function<void()> event) override;

  // Once the non-blocking `fd` is readable (what is there is read and dropped) the window closes as the
  // close box does, and open message boxes close. The caller keeps the descriptor open.
  void CloseWhenReadable(int fd);
  bool Interrupted() const { return interrupted_; }

  // ShowModal in three steps, for tests that drive an open window.
  void Open(WindowEvents& events);
  void RunUntilClosed();
  void Finish();
  DownloadDialog* Dialog() const { return dialog_.get(); }

  // Draws the logic's controls; called after every event the window delivers.
  void Sync();

 signals:
  void messageShown(const QString& text, const QString& title);

 private:
  std::unique_ptr<QApplication> ownApplication_;  // first: the timer and the loop below need it
  QString applicationName_;
  bool autoConfirm_;
  WindowEvents* events_ = nullptr;
  std::unique_ptr<DownloadDialog> dialog_;
  QTimer queueTimer_;
  QEventLoop loop_;
  bool open_ = false;
  bool okPressed_ = false;
  std::unique_ptr<QSocketNotifier> interruptNotifier_;
  std::vector<QMessageBox*> openBoxes_;  // innermost last: a box's loop runs events that may show another
  bool interrupted_ = false;
};

class DownloadDialog : public QDialog {
  Q_OBJECT

 public:
  DownloadDialog(WindowEvents& events, QtWindow& host);

  QLabel* StatusLabel() const { return statusLabel_; }
  QProgressBar* ProgressBar() const { return progressBar_; }
  QPushButton* OkButton() const { return okButton_; }
  void CloseFromLogic();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  WindowEvents& events_;
  QtWindow& host_;
  QLabel* statusLabel_;
  QProgressBar* progressBar_;
  QPushButton* okButton_;
  bool closingFromLogic_ = false;
};

}  // namespace tarnwick
