// The desktop window on Qt's offscreen platform.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "curl_transfer/curl_transfer_control.h"
#include "posix_fs/posix_file_system.h"
#include "qt_window/qt_window.h"
#include "window/download_window.h"

using namespace tarnwick;

namespace {

const QString kPassword = "Qt:pa@ss";

// Answers the manifest request at once, through the window's queue, with a manifest equal to the kept one.
class CurrentManifestControl : public TransferControl {
 public:
  explicit CurrentManifestControl(EventPoster& poster) : poster_(poster) {}
  void SetOutcomeHandler(OutcomeHandler handler) override { handler_ = std::move(handler); }
  void Execute(const std::string&, const std::string& operation, const FileChecks&) override {
    const std::string local = operation.substr(operation.find("  ") + 2);
    poster_.Post([this, local] {
      QFile file(QString::fromStdString(ResolveCaseBlind(local)));
      file.open(QIODevice::WriteOnly);
      file.write("G\r\nR\r\n");
      file.close();
      handler_(TransferOutcome::Completed(6));
    });
  }

 private:
  EventPoster& poster_;
  OutcomeHandler handler_;
};

class CurrentManifestFactory : public TransferControlFactory {
 public:
  explicit CurrentManifestFactory(EventPoster& poster) : poster_(poster) {}
  std::unique_ptr<TransferControl> Create(const TransferSettings&) override {
    return std::make_unique<CurrentManifestControl>(poster_);
  }

 private:
  EventPoster& poster_;
};

void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// A meeting server on loopback, as the whole-run tests use it.
class MeetingServer {
 public:
  explicit MeetingServer(const QString& base) {
    const QString ready = base + "/ready";
    WriteFile(base + "/password", kPassword.toUtf8());
    process_.start("/usr/bin/python3",
                   {TARNWICK_SOURCE_DIR "/tests/integration/ftp_server.py", "--root", base + "/server", "--user",
                    "meeting", "--password-file", base + "/password", "--log", base + "/server.log", "--ready", ready});
    for (int i = 0; i < 400 && !QFile::exists(ready); ++i) QTest::qWait(25);
    QFile file(ready);
    file.open(QIODevice::ReadOnly);
    port = file.readAll().toInt();
  }
  ~MeetingServer() {
    process_.terminate();
    process_.waitForFinished(5000);
  }
  int port = 0;

 private:
  QProcess process_;
};

// A meeting of `count` documents on the server, below m/TW3/t1.
void PublishMeeting(const QString& serverRoot, int count) {
  const QString folder = serverRoot + "/m/TW3/t1";
  QByteArray manifest = "G1\r\nR1\r\n";
  for (int i = 0; i < count; ++i) {
    const QByteArray name = "doc" + QByteArray::number(i) + ".txt";
    WriteFile(folder + "/" + name, QByteArray(20000, 'x'));
    manifest += name + " 1\r\n";
  }
  WriteFile(folder + "/FileUpdate.dat", manifest);
  WriteFile(folder + "/Tarnwick.msg", QString("ประชุม\r\n").toLocal8Bit());
  WriteFile(folder + "/Enote.Doc", "e");
  WriteFile(folder + "/MainTarnwick.html", "m");
}

std::string Cookie(int port) {
  return "HOST=127%2E0%2E0%2E1:" + std::to_string(port) + ";LOGIN=meeting;PWD=" + kPassword.toStdString() +
         ";SUBSOURCE=m\\TW3;TIMESOURCE=t1";
}

}  // namespace

class QtWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    WriteFile(dir_.path() + "/TW3/FileUpdate.dat", "G\r\nR\r\n");
    window_ = std::make_unique<QtWindow>(argc_, nullptr, "tarnwick-download", true);
    factory_ = std::make_unique<CurrentManifestFactory>(*window_);
    platform_ = std::make_unique<Platform>(Platform{fs_, *window_, *factory_});
    downloadWindow_ = std::make_unique<DownloadWindow>(*platform_, dir_.path().toStdString());
    downloadWindow_->SetLaunchCookie(Cookie(21));
  }
  void cleanup() {
    if (window_->Dialog() != nullptr) window_->Finish();
    downloadWindow_.reset();
    platform_.reset();
    factory_.reset();
    window_.reset();
  }

  void theWindowIsDrawnFromTheDesign() {
    window_->Open(*downloadWindow_);
    DownloadDialog* dialog = window_->Dialog();
    QCOMPARE(dialog->size(), QSize(422, 119));
    const QPoint offCentre =
        dialog->frameGeometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 4, "the window is centred on the screen");
    QCOMPARE(dialog->windowTitle(), QString("DownLoad Files Tarnwick Vesion 2.0"));
    QCOMPARE(dialog->palette().color(QPalette::Window), QColor(255, 255, 170));
    QVERIFY(dialog->windowFlags() & Qt::Tool);
    QVERIFY(!(dialog->windowFlags() & Qt::WindowMinMaxButtonsHint));
    QCOMPARE(dialog->StatusLabel()->geometry(), QRect(19, 52, 370, 23));
    QCOMPARE(dialog->ProgressBar()->geometry(), QRect(15, 17, 376, 18));
    QCOMPARE(dialog->OkButton()->geometry(), QRect(165, 87, 60, 27));
    QCOMPARE(dialog->StatusLabel()->text(), QString("Please  Wait  For Copy  File "));
    QVERIFY(dialog->StatusLabel()->font().bold());
    QCOMPARE(dialog->StatusLabel()->font().pointSizeF(), 12.0);
    QCOMPARE(dialog->StatusLabel()->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    QCOMPARE(dialog->OkButton()->text(), QString("&OK"));
    QCOMPARE(dialog->OkButton()->font().pointSizeF(), 9.75);
    QVERIFY(!dialog->OkButton()->isEnabled());
    QVERIFY(dialog->OkButton()->styleSheet().contains("#ebe243"));
    QCOMPARE(dialog->ProgressBar()->maximum(), 100);
  }

  void theUpToDateRunEndsWithOkEnabledAndAltOPressesIt() {
    DownloadDialog* dialog = OpenAttended();
    QTRY_VERIFY(dialog->OkButton()->isEnabled());
    QCOMPARE(dialog->StatusLabel()->text(), QString("ข้อมูลในเครื่องเป็นปัจจุบันแล้วครับ"));
    QCOMPARE(dialog->StatusLabel()->y(), 52 - 13);
    QVERIFY(!dialog->ProgressBar()->isVisible());
    SaveArtefact(dialog, "up-to-date.png");
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QTest::keyClick(dialog, Qt::Key_O, Qt::AltModifier);
    QTRY_COMPARE(downloadWindow_->LastCloseReason(), CloseReason::Ok);  // a mnemonic animates the click first
    QVERIFY(!QFile::exists(dir_.path() + "/CodeWork"));
  }

  void hoverEmphasisFollowsThePointer() {
    DownloadDialog* dialog = OpenAttended();
    QTRY_VERIFY(dialog->OkButton()->isEnabled());

    QTest::mouseMove(dialog->OkButton(), QPoint(10, 10));
    QTRY_VERIFY(dialog->OkButton()->font().bold());
    QCOMPARE(dialog->OkButton()->font().pointSizeF(), 12.0);
    QTest::mouseMove(dialog->StatusLabel(), QPoint(5, 5));
    QTest::qWait(20);
    QVERIFY(dialog->OkButton()->font().bold());
    QCOMPARE(dialog->OkButton()->font().pointSizeF(), 12.0);
    QTest::mouseMove(dialog, QPoint(3, 110));
    QTRY_VERIFY(!dialog->OkButton()->font().bold());
    QCOMPARE(dialog->OkButton()->font().pointSizeF(), 10.0);
  }

  void onlyARightClickOnTheBareSurfaceShowsTheCredits() {
    window_->Open(*downloadWindow_);
    DownloadDialog* dialog = window_->Dialog();
    QSignalSpy boxes(window_.get(), &QtWindow::messageShown);
    QTest::mouseClick(dialog, Qt::LeftButton, {}, QPoint(3, 110));
    QTest::mouseClick(dialog, Qt::MiddleButton, {}, QPoint(3, 110));
    QTest::mouseClick(dialog->StatusLabel(), Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseClick(dialog->ProgressBar(), Qt::RightButton, {}, QPoint(5, 5));
    QCOMPARE(boxes.count(), 0);
    QTest::mouseClick(dialog, Qt::RightButton, {}, QPoint(3, 110));
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.at(0).at(0).toString(), QString("   ทีมงานBrannock\n    มหาวิทยาลัยQuillon"));
    QCOMPARE(boxes.at(0).at(1).toString(), QString("พัฒนาโปรแกรมโดย..."));
  }

  void aBoxShowsServerTextAsPlainText() {
    QtWindow window(argc_, nullptr, "tarnwick-download", false);
    QString shown;
    QTimer::singleShot(0, this, [&] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) {
          shown = box->textFormat() == Qt::PlainText ? box->text() : QString();
          box->accept();
        }
      }
    });
    window.MessageBox("Load File  <b>x</b>\u202Ecod.exe\x1b[2J Error 550\r\nline 2", "", MessageIcon::None, "");
    QCOMPARE(shown, QString("Load File  <b>x</b>\\u202ecod.exe\\x1b[2J Error 550\nline 2"));
  }

  void aWholeRunThroughTheWindowAgainstARealServer() {
    QTemporaryDir base;
    PublishMeeting(base.path() + "/server", 40);
    MeetingServer server(base.path());
    QVERIFY(server.port > 0);
    const QString component = base.path() + "/component";
    QDir().mkpath(component);

    CurlTransferControlFactory transfers(*window_, {.timeoutSeconds = 30});
    Platform platform{fs_, *window_, transfers};
    DownloadWindow downloadWindow(platform, component.toStdString());
    downloadWindow.SetLaunchCookie(Cookie(server.port));
    bool grabbed = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
      DownloadDialog* dialog = window_->Dialog();
      if (!grabbed && dialog != nullptr && dialog->ProgressBar()->value() >= 10) {
        grabbed = true;
        SaveArtefact(dialog, "during-a-run.png");
      }
    });
    watcher.start(2);
    window_->ShowModal(downloadWindow);
    watcher.stop();
    QVERIFY(grabbed);
    QCOMPARE(downloadWindow.LastCloseReason(), CloseReason::Ok);
    QVERIFY(QFile::exists(component + "/TW3/doc39.txt"));
    QVERIFY(QFile::exists(component + "/Tarnwick.html"));
  }

  void theExecutableRunsTheWindowUnattended() {
    QTemporaryDir base;
    PublishMeeting(base.path() + "/server", 3);
    MeetingServer server(base.path());
    const QString component = base.path() + "/component";
    QDir().mkpath(component);
    WriteFile(base.path() + "/cookie", QByteArray::fromStdString(Cookie(server.port)));
    QProcess run;
    run.start(qEnvironmentVariable("TARNWICK_DOWNLOAD"),
              {"--ui", "window", "--yes", "--folder", component, "--cookie-file", base.path() + "/cookie"});
    QVERIFY(run.waitForFinished(60000));
    const QByteArray output = run.readAllStandardOutput() + run.readAllStandardError();
    QCOMPARE(run.exitCode(), 0);
    QVERIFY(!output.contains(kPassword.toUtf8()));
    QVERIFY(QFile::exists(component + "/TW3/doc2.txt"));
    QVERIFY(!QFile::exists(component + "/CodeWork"));
  }

 private:
  // A window that waits for its user: OK stays enabled until pressed.
  DownloadDialog* OpenAttended() {
    window_ = std::make_unique<QtWindow>(argc_, nullptr, "tarnwick-download", false);
    factory_ = std::make_unique<CurrentManifestFactory>(*window_);
    platform_ = std::make_unique<Platform>(Platform{fs_, *window_, *factory_});
    downloadWindow_ = std::make_unique<DownloadWindow>(*platform_, dir_.path().toStdString());
    downloadWindow_->SetLaunchCookie(Cookie(21));
    window_->Open(*downloadWindow_);
    return window_->Dialog();
  }

  static void SaveArtefact(QWidget* widget, const QString& name) {
    const QString folder = qEnvironmentVariable("TARNWICK_ARTEFACTS", QDir::tempPath());
    QDir().mkpath(folder);
    QVERIFY(widget->grab().save(folder + "/" + name));
  }

  int argc_ = 0;
  QTemporaryDir dir_;
  PosixFileSystem fs_;
  std::unique_ptr<QtWindow> window_;
  std::unique_ptr<CurrentManifestFactory> factory_;
  std::unique_ptr<Platform> platform_;
  std::unique_ptr<DownloadWindow> downloadWindow_;
};

QTEST_MAIN(QtWindowTest)
#include "qt_window_test.moc"
