// The download window on a scripted platform: what a run does at each event, seen from outside.
#include <gtest/gtest.h>

#include "base/escaped_text.h"
#include "fake_platform.h"
#include "window/launcher.h"

namespace tarnwick::testing {
namespace {

using Names = std::vector<std::string>;
const std::string kArgumentError = "You Send Argument Error\r\nPlease. Asked Ostwin, 555-010101";
const Names kTail = {"Tarnwick.msg", "Enote.Doc", "MainTarnwick.html", "FileUpdate.dat"};

Names RemoteInMeeting(const Names& names) {
  Names remote;
  for (const auto& name : names) {
    remote.push_back("m\\TW3\\t1\\" + name);
  }
  return remote;
}

Names WithTail(Names names) {
  names.insert(names.end(), kTail.begin(), kTail.end());
  return RemoteInMeeting(names);
}

// ---- Start of a run ----

class Start : public ::testing::Test {
 protected:
  static void ExpectArgumentError(Component& c) {
    ASSERT_EQ(c.host.boxes.size(), 1u);
    EXPECT_EQ(c.host.boxes[0].text, kArgumentError);
    EXPECT_EQ(c.host.boxes[0].title, "Error");
    EXPECT_EQ(c.host.boxes[0].icon, MessageIcon::Critical);
    EXPECT_EQ(c.window.LastCloseReason(), CloseReason::ArgumentError);
    EXPECT_FALSE(c.Exists("CodeWork"));
    EXPECT_TRUE(c.ManifestTransfer().calls.empty());
  }
  static void ExpectStartBox(Component& c) {
    ASSERT_EQ(c.host.boxes.size(), 1u);
    EXPECT_EQ(c.host.boxes[0].text, "Start-1");
    EXPECT_EQ(c.host.boxes[0].title, "มีข้อผิดพลาด");
    EXPECT_EQ(c.host.boxes[0].icon, MessageIcon::Critical);
    EXPECT_EQ(c.window.LastCloseReason(), CloseReason::ErrorBox);
  }
  Component c;
};

TEST_F(Start, ACompleteCookieRequestsTheManifestIntoTheFetchedCopyAndWritesNoMarkerYet) {
  c.Write("TW3/oFileUpdate.dat", "left over");
  c.Start(GoodCookie());
  EXPECT_FALSE(c.Exists("CodeWork"));
  EXPECT_TRUE(c.host.boxes.empty());
  EXPECT_GE(c.host.repaints, 1);
  EXPECT_FALSE(c.Exists("TW3/oFileUpdate.dat"));
  ASSERT_EQ(c.ManifestTransfer().calls.size(), 1u);
  EXPECT_EQ(c.ManifestTransfer().calls[0].url, "ftp://meeting:s3cr:t@x/y@127.0.0.1");
  EXPECT_EQ(c.ManifestTransfer().calls[0].operation,
            "Get m\\TW3\\t1\\FileUpDate.dat  " + c.root.string() + "\\TW3\\oFileUpdate.dat");
  EXPECT_EQ(c.transfers.lastSettings.requestTimeoutSeconds, 60);
  EXPECT_EQ(c.transfers.lastSettings.remotePort, 21);
}

// Line 3 of the configuration says how the meeting comes.
TEST_F(Start, TheConfiguredTransportSetsTheProtocolTlsAndPort) {
  const std::tuple<const char*, Protocol, TlsMode, int> cases[] = {{"", Protocol::Ftp, TlsMode::Off, 21},
                                                                   {" ftps ", Protocol::Ftp, TlsMode::Required, 21},
                                                                   {"HTTPS", Protocol::Https, TlsMode::Off, 443}};
  for (const auto& [line, protocol, tls, port] : cases) {
    Component other;
    other.Write("Tarnwick.cfg", std::string("title\r\nhttps://x/meeting\r\n") + line + "\r\n");
    other.Start(GoodCookie());
    EXPECT_EQ(other.transfers.lastSettings.protocol, protocol) << line;
    EXPECT_EQ(other.transfers.lastSettings.tls, tls) << line;
    EXPECT_EQ(other.transfers.lastSettings.remotePort, port) << line;
  }
}

TEST_F(Start, ACookieWithTheWrongCountIsAnArgumentErrorBeforeTheMarker) {
  for (const std::string cookie : {"", "HOST =v;SUBSOURCE=m\\TW3;TIMESOURCE=t;LOGIN=u;PWD=p",
                                   "HOST=h;SUBSOURCE=m\\TW3;TIMESOURCE=t;LOGIN=u;PWD=p;PWD=q"}) {
    SCOPED_TRACE(cookie);
    Component other;
    other.Start(cookie);
    ExpectArgumentError(other);
  }
}

TEST_F(Start, ALocalFolderThatDoesNotNameOneFolderInsideIsRefusedBeforeTheMarker) {
  for (const std::string subSource : {"\\a\\b\\", "a/b", "x\\..", "."}) {
    Component other;
    other.Write("CodeWork", "");
    other.Write("keep.txt", "keep");
    other.Start(GoodCookie(subSource));
    EXPECT_EQ(other.LastBoxText(), kArgumentError) << subSource;
    EXPECT_EQ(other.window.LastCloseReason(), CloseReason::ArgumentError) << subSource;
    EXPECT_EQ(other.Read("CodeWork"), "") << subSource;
    EXPECT_TRUE(other.Exists("keep.txt")) << subSource;
  }
}

TEST_F(Start, ALinkToAnUntrustedServerIsRefusedBeforeAnythingIsTouchedAndItsHostShownSafely) {
  c.Write("TW3/.a.doc.part-Ab12cD", "half");
  c.Write(".Tarnwick.html.part-XyZ789", "half");
  const std::string host = "evil\u202Ecod.exe\x1b[2J" + std::string(3000, 'h');
  c.window.SetLaunchCookie("HOST=" + host + ";LOGIN=u;PWD=p;SUBSOURCE=m\\TW3;TIMESOURCE=t", LaunchSource::Link);
  c.host.ShowModal(c.window);
  ASSERT_EQ(c.host.boxes.size(), 1u);
  EXPECT_EQ(c.host.boxes[0].text, "The meeting server evil\\u202ecod.exe\\x1b[2J" + std::string(200 - 16, 'h') +
                                      "… is not trusted on this computer. Nothing was downloaded.");
  EXPECT_EQ(c.host.boxes[0].title, "Error");
  EXPECT_EQ(c.window.LastCloseReason(), CloseReason::ArgumentError);
  EXPECT_TRUE(c.ManifestTransfer().calls.empty());
  EXPECT_FALSE(c.Exists("CodeWork"));
  EXPECT_TRUE(c.Exists("TW3/.a.doc.part-Ab12cD"));  // leftovers are swept only for a run that may start
  EXPECT_TRUE(c.Exists(".Tarnwick.html.part-XyZ789"));
}

TEST_F(Start, AnUnreadableCookieEndsAtStartOne) {
  c.Start(GoodCookie() + ";novalue");
  ExpectStartBox(c);
  EXPECT_TRUE(c.ManifestTransfer().calls.empty());
  EXPECT_FALSE(c.Exists("CodeWork"));

  Component many;
  std::string cookie = GoodCookie();
  for (int i = 0; i < 32770; ++i) {
    cookie += ";k=v";
  }
  many.Start(cookie);
  EXPECT_EQ(many.LastBoxText(), "Start-1");
}

TEST_F(Start, AMissingKeyKeepsItsValueFromTheRunBefore) {
  c.Start(GoodCookie());
  c.ManifestTransfer().Fail(550);
  c.host.boxes.clear();
  c.Start("HOST=other;SUBSOURCE=m\\TW3;TIMESOURCE=t2;LOGIN=u2;LOGIN=u3");
  EXPECT_TRUE(c.host.boxes.empty());
  EXPECT_EQ(c.ManifestTransfer().calls.at(0).url, "ftp://u3:s3cr:t@x/y@other");
}

TEST_F(Start, AMarkerLeftByAnUnconfirmedRunEmptiesTheFolderOnlyOnceAUsableManifestHasArrived) {
  for (const bool serverAnswers : {false, true}) {
    SCOPED_TRACE(serverAnswers);
    Component m;
    m.Write("codework", "x");
    m.Write("TW3/FileUpdate.dat", Crlf({"A", "1", "doc.pdf 1"}));
    m.Write("TW3/doc.pdf", "pdf");
    m.Write("TW3/.hidden", "h");
    m.Write("TW3/sub/inner.txt", "inner");
    m.Start(GoodCookie());
    EXPECT_EQ(m.Read("codework"), "x");
    EXPECT_TRUE(m.Exists("TW3/doc.pdf"));
    if (!serverAnswers) {
      m.ManifestTransfer().Fail(901);  // offline: the user keeps every document, and the marker stays
      EXPECT_TRUE(m.Exists("TW3/doc.pdf"));
      EXPECT_TRUE(m.Exists("TW3/FileUpdate.dat"));
      EXPECT_EQ(m.Read("codework"), "x");
      continue;
    }
    m.AnswerManifest({"A", "1", "doc.pdf 1"});  // the same as the kept copy, yet everything comes again
    EXPECT_EQ(m.Read("codework"), " 1 \r\n");   // found case-blind, rewritten in place
    EXPECT_FALSE(m.ExistsAsWritten("CodeWork"));
    EXPECT_FALSE(m.Exists("TW3/doc.pdf"));
    EXPECT_TRUE(m.Exists("TW3/.hidden"));
    EXPECT_TRUE(m.Exists("TW3/sub/inner.txt"));
    m.RunQueueToEnd();
    EXPECT_EQ(m.Requested(), WithTail({"doc.pdf"}));
  }
}

TEST_F(Start, LeftoversOfAnInterruptedWriteAreRemovedAndNothingElse) {
  c.Write("TW3/.a.doc.part-Ab12cD", "half");
  c.Write(".Tarnwick.html.part-XyZ789", "half");
  c.Write("TW3/.notes", "mine");
  c.Write("TW3/a.doc.part-Ab12cD", "not hidden: not ours");
  c.Start(GoodCookie());
  EXPECT_FALSE(c.Exists("TW3/.a.doc.part-Ab12cD"));
  EXPECT_FALSE(c.Exists(".Tarnwick.html.part-XyZ789"));
  EXPECT_TRUE(c.Exists("TW3/.notes"));
  EXPECT_TRUE(c.Exists("TW3/a.doc.part-Ab12cD"));
}

TEST_F(Start, WithoutAMarkerNothingIsDeletedAndAMissingLocalFolderIsCreated) {
  c.Write("TW3/doc.pdf", "pdf");
  c.Start(GoodCookie());
  EXPECT_TRUE(c.Exists("TW3/doc.pdf"));

  Component fresh;
  fresh.Write("CodeWork", "");
  fresh.Start(GoodCookie());
  EXPECT_TRUE(fresh.host.boxes.empty());
  EXPECT_TRUE(fresh.Exists("TW3"));
}

TEST_F(Start, AMarkerThatCannotBeWrittenOrARefusedRequestEndAtStartOne) {
  Component unwritable;
  unwritable.fs.unwritable.insert("CodeWork");
  unwritable.Write("TW3/x.doc", "x");
  unwritable.Start(GoodCookie());
  EXPECT_TRUE(unwritable.host.boxes.empty());
  unwritable.AnswerManifest({"A", "5", "x.doc 1"});  // a new generation: the marker before the first deletion
  EXPECT_EQ(unwritable.LastBoxText(), "Start-1");
  EXPECT_TRUE(unwritable.Exists("TW3/x.doc"));

  Component refused;
  refused.window.SetLaunchCookie(GoodCookie());
  refused.window.Opened();
  refused.ManifestTransfer().refuse = true;
  refused.window.Shown();
  EXPECT_EQ(refused.LastBoxText(), "Start-1");
  EXPECT_EQ(refused.window.LastCloseReason(), CloseReason::ErrorBox);
}

TEST(Launcher, TheClickShowsTheWindowWithTheCookieAndTheRunStateLivesOn) {
  Component c;
  Launcher launcher(c.platform, c.root.string());
  EXPECT_EQ(launcher.Click(GoodCookie()), CloseReason::None);  // still open: the scripted host does not loop
  ASSERT_NE(c.transfers.manifestTransfer, nullptr);
  c.ManifestTransfer().Fail(550);
  EXPECT_EQ(launcher.Click("HOST=h2;SUBSOURCE=m\\TW3;TIMESOURCE=t1;LOGIN=u;LOGIN=v"), CloseReason::None);
  EXPECT_EQ(c.ManifestTransfer().calls.at(0).url, "ftp://v:s3cr:t@x/y@h2");  // the password of the first click
}

// ---- The manifest has arrived ----

class ManifestArrival : public ::testing::Test {
 protected:
  void Compare(const std::vector<std::string>& kept, const std::vector<std::string>& fetched) {
    if (!kept.empty()) {
      c.Write("TW3/FileUpdate.dat", Crlf(kept));
    }
    c.Start(GoodCookie());
    c.AnswerManifest(fetched);
  }
  Component c;
};

TEST_F(ManifestArrival, WithoutAKeptCopyTheFolderIsClearedAndTheQueueStarts) {
  c.Write("TW3/old.doc", "old");
  c.Write("TW3/sub/keep.doc", "keep");
  Compare({}, {"A", "5", "y.doc 1", "x.doc 1"});
  EXPECT_TRUE(c.Exists("CodeWork"));
  EXPECT_FALSE(c.Exists("TW3/old.doc"));
  EXPECT_TRUE(c.Exists("TW3/sub/keep.doc"));
  EXPECT_FALSE(c.Exists("TW3/oFileUpdate.dat"));
  EXPECT_EQ(c.window.Controls().progress.max, 6);
  EXPECT_TRUE(c.window.Controls().queueTimer.enabled);
  c.RunQueueToEnd();
  EXPECT_EQ(c.Requested(), WithTail({"x.doc", "y.doc"}));
}

TEST_F(ManifestArrival, AnIdenticalManifestReportsTheDataAsCurrent) {
  Compare({"A", "5", "x.doc 1"}, {"A", "5", "x.doc 1"});
  const WindowControls& w = c.window.Controls();
  EXPECT_FALSE(w.progress.visible);
  EXPECT_EQ(w.status.top, 580);
  EXPECT_EQ(w.status.caption, "ข้อมูลในเครื่องเป็นปัจจุบันแล้วครับ");
  EXPECT_TRUE(w.okButton.enabled);
  EXPECT_FALSE(w.queueTimer.enabled);
  EXPECT_FALSE(c.Exists("TW3/oFileUpdate.dat"));
  EXPECT_TRUE(c.Exists("TW3/FileUpdate.dat"));
  EXPECT_FALSE(c.Exists("CodeWork"));  // nothing changed
}

TEST_F(ManifestArrival, ANewGenerationKeepsOnlyTheKeptCopyAndFetchesEverything) {
  c.Write("TW3/x.doc", "x");
  c.Write("TW3/sub/keep.doc", "keep");
  Compare({"A", "5", "x.doc 1"}, {"B", "5", "x.doc 1"});
  EXPECT_FALSE(c.Exists("TW3/x.doc"));
  EXPECT_TRUE(c.Exists("TW3/FileUpdate.dat"));
  EXPECT_TRUE(c.Exists("TW3/sub/keep.doc"));
  c.RunQueueToEnd();
  EXPECT_EQ(c.Requested(), WithTail({"x.doc"}));
}

TEST_F(ManifestArrival, AnUnusableManifestEndsTheRunBeforeAnythingIsDeleted) {
  c.Write("TW3/x.doc", "x");
  Compare({"A", "5"}, {"only one line"});
  EXPECT_EQ(c.LastBoxText(), "Load FileUpdate Error 910");
  EXPECT_FALSE(c.Exists("CodeWork"));
  EXPECT_EQ(c.host.boxes.back().title, "");
  EXPECT_EQ(c.window.LastCloseReason(), CloseReason::ErrorBox);
  EXPECT_TRUE(c.Exists("TW3/x.doc"));
  EXPECT_FALSE(c.Exists("TW3/oFileUpdate.dat"));

  // A new generation whose list would overflow with the fixed tail deletes nothing either.
  Component full;
  full.Write("TW3/x.doc", "x");
  Names lines = {"B", "2"};
  for (int i = 0; i < 32764; ++i) {
    lines.push_back("f" + std::to_string(i) + " 1");
  }
  full.Start(GoodCookie());
  full.AnswerManifest(lines);
  EXPECT_EQ(full.LastBoxText(), "Load FileUpdate Error 910");
  EXPECT_TRUE(full.Exists("TW3/x.doc"));

  // A manifest larger than its entries can need is refused before it is read.
  Component huge;
  huge.Write("TW3/x.doc", "x");
  huge.Start(GoodCookie());
  huge.ManifestTransfer().Succeed("B\r\n2\r\n" + std::string((32u << 20) + 1, 'x'));
  EXPECT_EQ(huge.LastBoxText(), "Load FileUpdate Error 910");
  EXPECT_TRUE(huge.Exists("TW3/x.doc"));
  EXPECT_FALSE(huge.Exists("TW3/oFileUpdate.dat"));
}

TEST_F(ManifestArrival, AFileThatCannotBeClearedEndsTheRunWith912) {
  c.Write("CodeWork", "");
  c.Write("TW3/locked.doc", "x");
  c.fs.undeletable.insert("locked.doc");
  c.Start(GoodCookie());
  EXPECT_TRUE(c.host.boxes.empty());
  c.AnswerManifest({"A", "5"});
  EXPECT_EQ(c.LastBoxText(), "Load FileUpdate Error 912");
  EXPECT_TRUE(c.Exists("CodeWork"));
}

TEST_F(ManifestArrival, AFailedRequestShowsItsCodeAndAFetchedCopyThatCannotGoShows912) {
  c.Start(GoodCookie());
  c.ManifestTransfer().Fail(530);  // a wrong password plants no marker
  EXPECT_EQ(c.LastBoxText(), "Load FileUpdate Error 530");
  EXPECT_EQ(c.window.LastCloseReason(), CloseReason::ErrorBox);
  EXPECT_FALSE(c.Exists("CodeWork"));

  Component locked;
  locked.fs.undeletable.insert("oFileUpdate.dat");
  locked.Start(GoodCookie());
  locked.AnswerManifest({"A", "5"});
  EXPECT_EQ(locked.LastBoxText(), "Load FileUpdate Error 912");
}

TEST_F(ManifestArrival, ARestartEmptiesTheListsAndIgnoresTheEarlierAnswer) {
  c.Start(GoodCookie());
  c.window.Shown();
  ASSERT_EQ(c.ManifestTransfer().calls.size(), 2u);
  c.ManifestTransfer().Fail(550);  // the answer to the first start
  EXPECT_TRUE(c.host.boxes.empty());
  c.AnswerManifest({"A", "5", "x.doc 1"});
  c.RunQueueToEnd();
  EXPECT_EQ(c.Requested(), WithTail({"x.doc"}));
}

// ---- The queue ----

class Queue : public ::testing::Test {
 protected:
  // A run whose download list is the given entries followed by the fixed tail.
  void StartWith(const std::vector<std::string>& entries) {
    std::vector<std::string> manifest = {"G", "2"};
    manifest.insert(manifest.end(), entries.begin(), entries.end());
    c.Start(GoodCookie());
    c.AnswerManifest(manifest);
  }
  void ArriveNext() { c.FileTransfer().Succeed("content"); }
  Component c;
};

TEST_F(Queue, FetchesOneFileAtATimeMovesTheProgressBarAndWritesThePage) {
  StartWith({});
  c.Tick();
  ASSERT_EQ(c.FileTransfer().calls.size(), 1u);
  EXPECT_EQ(c.FileTransfer().calls[0].url, "ftp://meeting:s3cr:t@x/y@127.0.0.1");
  EXPECT_EQ(c.FileTransfer().calls[0].operation,
            "Get m\\TW3\\t1\\Tarnwick.msg  " + c.root.string() + "\\TW3\\Tarnwick.msg");
  c.Tick(3);  // in flight: nothing more starts
  EXPECT_EQ(c.FileTransfer().calls.size(), 1u);

  std::vector<double> progress;
  for (int i = 0; i < 3; ++i) {
    ArriveNext();  // the next file is asked for at once, not at the next tick
    progress.push_back(c.window.Controls().progress.value);
    EXPECT_EQ(c.FileTransfer().calls.size(), i + 2u);
  }
  EXPECT_EQ(progress, (std::vector<double>{2, 3, 4}));
  ArriveNext();
  EXPECT_EQ(c.window.Controls().status.caption, "File Copy Completed =  4 Files");
  EXPECT_TRUE(c.window.Controls().okButton.enabled);
  EXPECT_FALSE(c.window.Controls().queueTimer.enabled);
  EXPECT_TRUE(c.Exists("Tarnwick.html"));
  EXPECT_EQ(c.Requested(), WithTail({}));
}

TEST_F(Queue, AnOldLocalCopyStaysUntilItsNewVersionHasArrived) {
  StartWith({"a.doc 1 size=7", "b.doc 1"});
  // Each file is asked for with what its entry says of it; the manifests, with the bound of a manifest.
  EXPECT_EQ(c.ManifestTransfer().calls[0].checks, ManifestBound());
  c.Write("TW3/A.DOC", "old a");
  c.Write("TW3/b.doc", "old b");
  c.Tick();
  EXPECT_EQ(c.Read("TW3/A.DOC"), "old a");
  EXPECT_EQ(c.FileTransfer().calls[0].checks.size, 7u);
  ArriveNext();
  EXPECT_EQ(c.Read("TW3/A.DOC"), "content");  // replaced under the name it had
  c.Tick();
  EXPECT_EQ(c.FileTransfer().calls[1].checks, FileChecks{});
  c.FileTransfer().Fail(550);
  EXPECT_EQ(c.Read("TW3/b.doc"), "old b");
}

TEST_F(Queue, TheKeptCopyIsTheManifestThatWasComparedNotWhatTheServerHoldsAtTheEnd) {
  const std::vector<std::string> manifest = {"G", "2", "a.doc 1"};
  c.Start(GoodCookie());
  c.AnswerManifest(manifest);
  c.RunQueueToEnd();  // every file, the manifest in the tail too, arrives with other content
  EXPECT_EQ(c.Requested(), WithTail({"a.doc"}));
  EXPECT_EQ(c.Read("TW3/FileUpdate.dat"), Crlf(manifest));
  EXPECT_TRUE(c.window.Controls().okButton.enabled);
}

TEST_F(Queue, AFailedTransferEndsTheQueueWithoutAPage) {
  const std::string third = "three" + std::string(300, 'e') + ".doc";  // the server's, cut as a link's values are
  StartWith({"one.doc 1", "two.doc 1", third + " 1"});
  c.Tick();
  ArriveNext();
  c.Tick();
  c.FileTransfer().Fail(550);
  c.Tick(5);
  EXPECT_EQ(c.LastBoxText(), "Load File  " + ShownValue(third) + " Error 550");
  EXPECT_EQ(c.host.boxes.back().title, "");
  EXPECT_EQ(c.FileTransfer().calls.size(), 2u);
  EXPECT_EQ(c.window.LastCloseReason(), CloseReason::ErrorBox);
  EXPECT_FALSE(c.Exists("Tarnwick.html"));
  EXPECT_TRUE(c.Exists("CodeWork"));
}

TEST_F(Queue, ANameLeadingOutsideTheLocalFolderIsNeverRequested) {
  for (const std::string name : {"..\\evil.doc", "/etc/passwd", "\\root.doc", "C:x.doc", "a/../../b.doc"}) {
    Component other;
    other.Start(GoodCookie());
    other.AnswerManifest({"G", "2", name + " 1"});
    other.Tick();
    EXPECT_TRUE(other.FileTransfer().calls.empty()) << name;
    EXPECT_EQ(other.LastBoxText(), "Load File  " + name + " Error 911");
    EXPECT_EQ(other.window.LastCloseReason(), CloseReason::ErrorBox);
  }
}

TEST_F(Queue, AnEmptyNameIsPassedOverAndCountsAsDone) {
  StartWith({"", "noblank", "b.doc 1"});
  c.RunQueueToEnd();
  EXPECT_EQ(c.Requested(), WithTail({"b.doc"}));
  EXPECT_EQ(c.window.Controls().status.caption, "File Copy Completed =  7 Files");
}

TEST_F(Queue, ARefusedRequestOrAKeptCopyThatCannotBeWrittenFailsThatFile) {
  StartWith({});
  c.fs.unwritable.insert("FileUpdate.dat");
  c.RunQueueToEnd();
  EXPECT_EQ(c.LastBoxText(), "Load File  FileUpdate.dat Error 903");
  EXPECT_FALSE(c.Exists("Tarnwick.html"));

  Component other;
  other.Start(GoodCookie());
  other.AnswerManifest({"G", "2"});
  other.FileTransfer().refuse = true;
  other.Tick();
  EXPECT_EQ(other.LastBoxText(), "Load File  Tarnwick.msg Error 913");
  EXPECT_EQ(other.window.LastCloseReason(), CloseReason::ErrorBox);
}

TEST_F(Queue, APageThatCannotBeWrittenKeepsTheOldPageAndWithholdsOk) {
  c.Write("Tarnwick.html", "old page");
  c.fs.unwritable.insert("Tarnwick.html");
  StartWith({});
  c.RunQueueToEnd();
  EXPECT_EQ(c.LastBoxText(), "Page-1");
  EXPECT_EQ(c.host.boxes.back().title, "มีข้อผิดพลาด");
  EXPECT_EQ(c.Read("Tarnwick.html"), "old page");
  EXPECT_EQ(c.window.LastCloseReason(), CloseReason::ErrorBox);
  EXPECT_FALSE(c.window.Controls().okButton.enabled);
}

TEST_F(Queue, AFailedFolderScanEndsTheRunAndKeepsTheOldPage) {
  c.Write("Tarnwick.html", "old page");
  c.fs.subfoldersFail = true;
  StartWith({});
  c.RunQueueToEnd();
  ASSERT_EQ(c.host.boxes.size(), 1u);
  EXPECT_EQ(c.LastBoxText(), "ChkFolder-1 ");
  EXPECT_EQ(c.Read("Tarnwick.html"), "old page");
  EXPECT_EQ(c.window.LastCloseReason(), CloseReason::ErrorBox);
  EXPECT_FALSE(c.window.Controls().okButton.enabled);
}

TEST_F(Queue, AnAnswerFromAnEarlierStartMovesNothing) {
  StartWith({});
  c.Tick();
  c.window.Shown();  // a restart while the first file is in flight
  c.FileTransfer().Succeed("stale");
  EXPECT_FALSE(c.window.Controls().queueTimer.enabled);
  EXPECT_EQ(c.window.Controls().progress.value, 0);
  c.AnswerManifest({"G", "2"});
  c.RunQueueToEnd();
  EXPECT_EQ(c.window.Controls().status.caption, "File Copy Completed =  4 Files");
}

// ---- The window's own controls ----

TEST(Window, OpensWithTheDesignedControls) {
  Component c;
  c.window.Opened();
  const WindowControls& w = c.window.Controls();
  EXPECT_EQ(w.status.caption, "Please  Wait  For Copy  File ");
  EXPECT_EQ(w.status.top, 780);
  EXPECT_EQ(w.progress.max, 100);
  EXPECT_TRUE(w.progress.visible);
  EXPECT_FALSE(w.okButton.enabled);
  EXPECT_DOUBLE_EQ(w.okButton.fontSize, 9.75);
  EXPECT_FALSE(w.queueTimer.enabled);
  EXPECT_EQ(w.queueTimer.intervalMs, 10);
}

TEST(Window, HoverEmphasisIsSetOverTheButtonAndResetToTenPointOverTheSurface) {
  Component c;
  c.window.Opened();
  c.window.PointerOverOk();
  EXPECT_TRUE(c.window.Controls().okButton.bold);
  EXPECT_DOUBLE_EQ(c.window.Controls().okButton.fontSize, 12);
  c.window.PointerOverSurface();
  EXPECT_FALSE(c.window.Controls().okButton.bold);
  EXPECT_DOUBLE_EQ(c.window.Controls().okButton.fontSize, 10);
}

TEST(Window, OnlyARightClickShowsTheCredits) {
  Component c;
  c.window.Opened();
  c.window.MouseDown(MouseButton::Left);
  c.window.MouseDown(MouseButton::Middle);
  EXPECT_TRUE(c.host.boxes.empty());
  c.window.MouseDown(MouseButton::Right);
  ASSERT_EQ(c.host.boxes.size(), 1u);
  EXPECT_EQ(c.host.boxes[0].text, "   ทีมงานBrannock\r\n    มหาวิทยาลัยQuillon");
  EXPECT_EQ(c.host.boxes[0].title, "พัฒนาโปรแกรมโดย...");
  EXPECT_EQ(c.host.boxes[0].icon, MessageIcon::Information);
  EXPECT_FALSE(c.Closed());
}

TEST(Window, OkCannotBePressedBeforeTheEndOfARun) {
  Component c;
  c.Write("CodeWork", "");
  c.Start(GoodCookie());
  c.window.OkPressed();
  EXPECT_FALSE(c.Closed());
  EXPECT_TRUE(c.Exists("CodeWork"));
}

TEST(Window, OkRemovesTheMarkerAndClosesEvenWhenTheMarkerIsGoneOrStays) {
  // "unflushed": what the run put in place may not be on the disk, so the marker stays for the next run.
  for (const std::string marker : {"there", "gone", "undeletable", "unflushed"}) {
    Component c;
    c.Start(GoodCookie());
    c.AnswerManifest({"G", "5"});
    c.RunQueueToEnd();
    ASSERT_TRUE(c.window.Controls().okButton.enabled);
    if (marker == "gone") {
      std::filesystem::remove(c.Path("CodeWork"));
    } else if (marker == "undeletable") {
      c.fs.undeletable.insert("CodeWork");
    } else if (marker == "unflushed") {
      c.fs.flushFails = true;
    }
    c.window.OkPressed();
    EXPECT_TRUE(c.host.boxes.empty()) << marker;
    EXPECT_EQ(c.window.LastCloseReason(), CloseReason::Ok) << marker;
    EXPECT_EQ(c.host.closes, 1) << marker;
    EXPECT_EQ(c.Exists("CodeWork"), marker == "undeletable" || marker == "unflushed") << marker;
  }
}

TEST(Window, ClosingWithoutOkLeavesTheMarker) {
  Component c;
  c.Start(GoodCookie());
  c.Write("TW3/FileUpdate.dat", Crlf({"G", "5"}));
  c.AnswerManifest({"G", "6"});  // nothing to delete: the marker comes with the first file asked for
  EXPECT_FALSE(c.Exists("CodeWork"));
  c.Tick();
  c.window.Closed();
  EXPECT_EQ(c.window.LastCloseReason(), CloseReason::ClosedByUser);
  EXPECT_TRUE(c.Exists("CodeWork"));
}

}  // namespace
}  // namespace tarnwick::testing
