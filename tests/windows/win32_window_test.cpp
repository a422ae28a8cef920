// The native download window with the real logic and file system, driven from a second thread as a user
// would drive it: real pointer and key input, the window's own controls read back.
#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After <windows.h>: the progress bar's messages.
#include <commctrl.h>
// The interfaces' own names, not the ANSI/wide macros.
#undef DeleteFile
#undef MessageBox
#undef ReplaceFile

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "base/ascii.h"
#include "base/paths.h"
#include "transfer/manifest.h"
#include "win32_fs/win32_file_system.h"
#include "win32_window/win32_window.h"
#include "window/download_window.h"
#include "window/layout.h"
#include "window/texts.h"

using namespace tarnwick;

namespace {

constexpr char kApplicationName[] = "tarnwick-download";
constexpr char kCurrentManifest[] = "G\r\nR\r\n";
// A new revision: the run fetches the fixed names, and its first file writes the recovery marker.
constexpr char kNextRevision[] = "G\r\nR2\r\n";
constexpr char kCookie[] = "HOST=127%2E0%2E0%2E1:21;LOGIN=meeting;PWD=pw;SUBSOURCE=m\\TW3;TIMESOURCE=t1";

// The client area at the DPIs that the window is tested at: the design's 422 x 119 pixels scaled from 96.
struct ClientAt {
  int dotsPerInch;
  LONG width, height;
};
constexpr ClientAt kClientAt[] = {{96, 422, 119}, {144, 633, 179}};

// The DPI of the prefix that the test runs in (its LogPixels, set by run_on_virtual_display.sh).
int PrefixDotsPerInch() {
  const char* dots = std::getenv("TARNWICK_DPI");
  return dots != nullptr ? std::atoi(dots) : 96;
}

// Answers every request at once through the window's queue: the manifest with `manifest`, any other file
// with a line of text.
class ServingControl : public TransferControl {
 public:
  ServingControl(EventPoster& poster, FileSystem& fs, std::string manifest)
      : poster_(poster), fs_(fs), manifest_(std::move(manifest)) {}
  void SetOutcomeHandler(OutcomeHandler handler) override { handler_ = std::move(handler); }
  void Execute(const std::string&, const std::string& operation, const FileChecks&) override {
    const size_t gap = operation.find("  ");
    const std::string remote = operation.substr(4, gap - 4);  // after "Get "
    const std::string local = operation.substr(gap + 2);
    const std::string bytes =
        EqualIgnoringAsciiCase(LastBackslashComponent(remote), kServerManifestName) ? manifest_ : "x\r\n";
    poster_.Post([this, local, bytes] {
      fs_.ReplaceFile(local, bytes);
      handler_(TransferOutcome::Completed(bytes.size()));
    });
  }

 private:
  EventPoster& poster_;
  FileSystem& fs_;
  std::string manifest_;
  OutcomeHandler handler_;
};

class ServingFactory : public TransferControlFactory {
 public:
  ServingFactory(EventPoster& poster, FileSystem& fs, std::string manifest)
      : poster_(poster), fs_(fs), manifest_(std::move(manifest)) {}
  std::unique_ptr<TransferControl> Create(const TransferSettings&) override {
    return std::make_unique<ServingControl>(poster_, fs_, manifest_);
  }

 private:
  EventPoster& poster_;
  FileSystem& fs_;
  std::string manifest_;
};

// The answers past the first `open` held until Release: a run under way is pictured while its queue waits.
class AnswerGate : public EventPoster {
 public:
  AnswerGate(EventPoster& window, size_t open) : window_(window), open_(open) {}
  void Post(std::function<void()> answer) override {
    const std::lock_guard lock(mutex_);
    if (open_ == 0) {
      held_.push_back(std::move(answer));
      return;
    }
    --open_;
    window_.Post(std::move(answer));
  }
  void Release() {
    const std::lock_guard lock(mutex_);
    open_ = SIZE_MAX;
    for (auto& answer : held_) {
      window_.Post(std::move(answer));
    }
    held_.clear();
  }

 private:
  EventPoster& window_;
  std::mutex mutex_;
  size_t open_;
  std::vector<std::function<void()>> held_;
};

std::wstring Wide(std::string_view utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                      wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) {
      return false;
    }
    Sleep(2);
  }
  return true;
}

std::wstring TextOf(HWND window) {
  wchar_t text[512];
  return {text, static_cast<size_t>(GetWindowTextW(window, text, static_cast<int>(std::size(text))))};
}

bool HasClass(HWND window, std::wstring_view name) {
  wchar_t className[64];
  const int length = GetClassNameW(window, className, static_cast<int>(std::size(className)));
  return CompareStringOrdinal(className, length, name.data(), static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
}

// The first child window of the class (progress bar, label, button: one of each).
HWND ChildOfClass(HWND parent, std::wstring_view name) {
  struct Search {
    std::wstring_view name;
    HWND found;
  } search{name, nullptr};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(param);
        s.found = HasClass(child, s.name) ? child : nullptr;
        return s.found == nullptr;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The open message box that the window owns, or null.
HWND OwnedBox(HWND owner) {
  struct Search {
    HWND owner;
    HWND found;
  } search{owner, nullptr};
  EnumThreadWindows(
      GetWindowThreadProcessId(owner, nullptr),
      [](HWND window, LPARAM param) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(param);
        s.found = HasClass(window, L"#32770") && GetWindow(window, GW_OWNER) == s.owner ? window : nullptr;
        return s.found == nullptr;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The box's text: its one label with text (the icon is a label without).
std::wstring BoxText(HWND box) {
  std::wstring text;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM param) -> BOOL {
        if (HasClass(child, L"Static")) {
          *reinterpret_cast<std::wstring*>(param) += TextOf(child);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

// A child's place in its parent's client area.
RECT PlaceIn(HWND parent, HWND child) {
  RECT place;
  GetWindowRect(child, &place);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
  return place;
}

LOGFONTW FontOf(HWND control) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font;
}

LONG FontHeight(double sizePt, int dotsPerInch) { return -std::lround(sizePt * dotsPerInch / 72.0); }

// The process loaded the common controls 6 (visual styles), as its manifest asks: their side-by-side
// assembly, whose folder names the version, on Windows as under Wine (where DllGetVersion says 5.81 for both).
bool CommonControls6Loaded() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), path, MAX_PATH);
  CharLowerW(path);
  return std::wstring_view(path).find(L"common-controls_6595b64144ccf1df_6.") != std::wstring_view::npos;
}

void SendInputs(std::initializer_list<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), const_cast<INPUT*>(inputs.begin()), sizeof(INPUT));
}

// Moves the pointer to a point of the screen, as the mouse would, and waits until it is there.
void PointAtScreen(POINT point) {
  INPUT move{};
  move.type = INPUT_MOUSE;
  move.mi.dx = MulDiv(point.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  move.mi.dy = MulDiv(point.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInputs({move});
  EXPECT_TRUE(WaitUntil([&] {
    POINT now;
    return GetCursorPos(&now) && std::abs(now.x - point.x) <= 1 && std::abs(now.y - point.y) <= 1;
  }));
}

void PointAt(HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  PointAtScreen(point);
}

void RightClick() {
  INPUT down{};
  down.type = INPUT_MOUSE;
  down.mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  INPUT up = down;
  up.mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  SendInputs({down, up});
}

void PressAltO(HWND window) {
  SetForegroundWindow(window);
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }));
  const auto key = [](WORD code, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = code;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
  };
  SendInputs({key(VK_MENU, false), key('O', false), key('O', true), key(VK_MENU, true)});
}

// No part of the window or of its controls waits to be painted.
bool Painted(HWND window) {
  bool painted = GetUpdateRect(window, nullptr, FALSE) == FALSE;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    painted = painted && GetUpdateRect(child, nullptr, FALSE) == FALSE;
  }
  return painted;
}

// What the window or box shows, frame included, as a 24-bit BMP in the build's artefacts folder.
void SavePicture(HWND window, const std::string& name) {
  EXPECT_TRUE(WaitUntil([&] { return Painted(window); })) << name;
  // Painting begins by emptying the update region; the window's thread answers once it has finished.
  SendMessageW(window, WM_NULL, 0, 0);
  const char* artefacts = std::getenv("TARNWICK_ARTEFACTS");
  const std::filesystem::path folder = artefacts != nullptr ? artefacts : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(folder);
  RECT frame;
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const HDC shown = GetWindowDC(window);
  const HDC memory = CreateCompatibleDC(shown);
  const HBITMAP bitmap = CreateCompatibleBitmap(shown, width, height);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  EXPECT_TRUE(BitBlt(memory, 0, 0, width, height, shown, 0, 0, SRCCOPY));
  SelectObject(memory, old);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  std::string pixels((static_cast<size_t>(width) * 3 + 3) / 4 * 4 * static_cast<size_t>(height), '\0');
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = static_cast<DWORD>(header.bfOffBits + pixels.size());
  std::ofstream file(folder / name, std::ios::binary);
  file.write(reinterpret_cast<const char*>(&header), sizeof header);
  file.write(reinterpret_cast<const char*>(&info), sizeof info);
  file << pixels;
  EXPECT_TRUE(file.good()) << name;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, shown);
}

struct RunResult {
  CloseReason reason;
  StatusLabelState status;  // as the logic left it
};

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() / ("tarnwick-window-" + std::to_string(GetCurrentProcessId()) + "-" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_ / "TW3");
    fs_.ReplaceFile(Component("TW3\\FileUpdate.dat"), kCurrentManifest);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::string Component(std::string_view name) const { return JoinPath(folder_.string(), name); }

  // Runs the window with the logic on this thread while `drive` acts on it from another. A window that
  // `drive` leaves open is a failure, and is interrupted so that it cannot hold the test.
  RunResult Run(Win32Window& window, const std::string& manifest, const std::function<void(HWND)>& drive,
                AnswerGate* gate = nullptr) {
    ServingFactory transfers(gate != nullptr ? static_cast<EventPoster&>(*gate) : window, fs_, manifest);
    Platform platform{fs_, window, transfers};
    DownloadWindow logic(platform, folder_.string());
    logic.SetLaunchCookie(kCookie);
    // The pointer starts away from the window: one that the window appears under reports its old place late.
    PointAtScreen({0, 0});
    std::thread driver([&] {
      const std::wstring caption = Wide(layout::kCaption);
      HWND shown = nullptr;
      if (!WaitUntil(
              [&] { return (shown = FindWindowW(nullptr, caption.c_str())) != nullptr && IsWindowVisible(shown); })) {
        ADD_FAILURE() << "the window did not show";
      } else {
        drive(shown);
      }
      if (!WaitUntil([&] { return FindWindowW(nullptr, caption.c_str()) == nullptr; })) {
        ADD_FAILURE() << "the window stayed open";
        window.InterruptFromAnyThread();
      }
    });
    window.ShowModal(logic);
    driver.join();
    return {logic.LastCloseReason(), logic.Controls().status};
  }

  std::filesystem::path folder_;
  Win32FileSystem fs_;
};

TEST_F(Win32WindowTest, AnUpToDateRunIsDrawnFromTheDesignAtTheMonitorsDpiFollowsThePointerAndAltOPressesOk) {
  Win32Window window(kApplicationName, false);
  const int dots = PrefixDotsPerInch();
  const int otherDots = dots == 96 ? 144 : 96;  // of a monitor that the window is moved to
  int windowDots = 0;
  RECT client{}, frame{}, work{}, label{}, movedClient{}, movedFrame{}, movedLabel{};
  std::wstring caption;
  bool barShown = true, hasIcon = false;
  LOGFONTW overOk{}, overSurface{}, movedStatus{}, movedOk{};
  const RunResult run = Run(window, kCurrentManifest, [&](HWND shown) {
    const HWND ok = ChildOfClass(shown, L"Button");
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(ok) != FALSE; }));
    windowDots = static_cast<int>(GetDpiForWindow(shown));
    hasIcon = GetClassLongPtrW(shown, GCLP_HICON) != 0;
    GetClientRect(shown, &client);
    GetWindowRect(shown, &frame);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    caption = TextOf(ChildOfClass(shown, L"Static"));
    label = PlaceIn(shown, ChildOfClass(shown, L"Static"));
    barShown = IsWindowVisible(ChildOfClass(shown, L"msctls_progress32")) != FALSE;
    SavePicture(shown, "up-to-date.bmp");

    const RECT okPlace = PlaceIn(shown, ok);
    PointAt(shown, (okPlace.left + okPlace.right) / 2, (okPlace.top + okPlace.bottom) / 2);
    WaitUntil([&] { return FontOf(ok).lfWeight >= FW_BOLD; });
    overOk = FontOf(ok);
    PointAt(shown, 3, client.bottom - 3);  // the bare surface left of OK
    WaitUntil([&] { return FontOf(ok).lfWeight < FW_BOLD; });
    overSurface = FontOf(ok);

    RECT suggested;
    GetWindowRect(shown, &suggested);
    SendMessageW(shown, WM_DPICHANGED, MAKEWPARAM(otherDots, otherDots), reinterpret_cast<LPARAM>(&suggested));
    GetClientRect(shown, &movedClient);
    GetWindowRect(shown, &movedFrame);
    movedLabel = PlaceIn(shown, ChildOfClass(shown, L"Static"));
    movedStatus = FontOf(ChildOfClass(shown, L"Static"));
    movedOk = FontOf(ok);
    PressAltO(shown);
  });
  EXPECT_TRUE(CommonControls6Loaded()) << "visual styles";
  EXPECT_TRUE(hasIcon);
  EXPECT_EQ(windowDots, dots) << "the window takes the monitor's DPI";
  for (const ClientAt& expected : kClientAt) {
    if (expected.dotsPerInch == dots) {
      EXPECT_EQ(client.right, expected.width);
      EXPECT_EQ(client.bottom, expected.height);
    } else if (expected.dotsPerInch == otherDots) {
      EXPECT_EQ(movedClient.right, expected.width) << "laid out anew on another monitor";
      EXPECT_EQ(movedClient.bottom, expected.height);
    }
  }
  EXPECT_LE(std::abs((frame.left + frame.right) - (work.left + work.right)), 2) << "centred across";
  EXPECT_LE(std::abs((frame.top + frame.bottom) - (work.top + work.bottom)), 2) << "centred down";
  EXPECT_EQ(caption, Wide(texts::kUpToDateCaption));
  const StatusLabelState& s = run.status;
  for (const auto& [place, at] : {std::pair{label, dots}, std::pair{movedLabel, otherDots}}) {
    EXPECT_EQ(place.left, layout::TwipsToPixels(s.left, at)) << at;
    EXPECT_EQ(place.top, layout::TwipsToPixels(s.top, at)) << at;
    EXPECT_EQ(place.right - place.left, layout::TwipsToPixels(s.width, at)) << at;
    EXPECT_EQ(place.bottom - place.top, layout::TwipsToPixels(s.height, at)) << at;
  }
  EXPECT_EQ(movedFrame.left, frame.left) << "where the system suggests";
  EXPECT_EQ(movedFrame.top, frame.top);
  EXPECT_FALSE(barShown);
  EXPECT_GE(overOk.lfWeight, FW_BOLD);
  EXPECT_EQ(overOk.lfHeight, FontHeight(layout::kOkHoverSizePt, dots));
  EXPECT_LT(overSurface.lfWeight, FW_BOLD);
  EXPECT_EQ(overSurface.lfHeight, FontHeight(layout::kOkPlainSizePt, dots));
  EXPECT_EQ(movedStatus.lfHeight, FontHeight(layout::kStatusFont.sizePt, otherDots));
  EXPECT_EQ(movedOk.lfHeight, FontHeight(layout::kOkPlainSizePt, otherDots));
  EXPECT_EQ(run.reason, CloseReason::Ok);
  EXPECT_FALSE(fs_.FileExists(Component("CodeWork")));
}

TEST_F(Win32WindowTest, OnlyARightClickOnTheSurfaceShowsTheCreditsAndTheCloseBoxIsNotOk) {
  Win32Window window(kApplicationName, false);
  bool boxFromLabel = true;
  std::wstring title, text;
  const RunResult run = Run(window, kNextRevision, [&](HWND shown) {
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(ChildOfClass(shown, L"Button")) != FALSE; }));
    const RECT label = PlaceIn(shown, ChildOfClass(shown, L"Static"));
    PointAt(shown, label.left + 5, label.top + 5);
    RightClick();
    boxFromLabel = WaitUntil([&] { return OwnedBox(shown) != nullptr; }, std::chrono::milliseconds(300));

    RECT client;
    GetClientRect(shown, &client);
    PointAt(shown, 3, client.bottom - 3);
    RightClick();
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = OwnedBox(shown)) != nullptr && IsWindowVisible(box); }));
    title = TextOf(box);
    text = BoxText(box);
    SavePicture(box, "credits.bmp");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return OwnedBox(shown) == nullptr; }));
    PostMessageW(shown, WM_CLOSE, 0, 0);
  });
  EXPECT_FALSE(boxFromLabel);
  EXPECT_EQ(title, Wide(texts::kCreditsTitle));
  EXPECT_EQ(text, Wide(texts::kCreditsText));
  EXPECT_EQ(run.reason, CloseReason::ClosedByUser);
  EXPECT_TRUE(fs_.FileExists(Component("CodeWork"))) << "the recovery marker stays";
}

TEST_F(Win32WindowTest, AnInterruptionClosesTheOpenBoxThenTheWindowAsTheCloseBoxDoes) {
  Win32Window window(kApplicationName, false);
  bool boxOpened = false;
  const RunResult run = Run(window, kNextRevision, [&](HWND shown) {
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(ChildOfClass(shown, L"Button")) != FALSE; }));
    RECT client;
    GetClientRect(shown, &client);
    PointAt(shown, 3, client.bottom - 3);
    RightClick();
    boxOpened = WaitUntil([&] { return OwnedBox(shown) != nullptr; });
    window.InterruptFromAnyThread();
  });
  EXPECT_TRUE(boxOpened);
  EXPECT_TRUE(window.Interrupted());
  EXPECT_EQ(run.reason, CloseReason::ClosedByUser);
  EXPECT_TRUE(fs_.FileExists(Component("CodeWork")));
  window.MessageBox("Load File  a.doc Error 550", "", MessageIcon::None, "");  // skipped: it would wait for a click
}

// A box grows with its text: one that a server's reply of 100 KB filled was thousands of pixels wide and high,
// its OK button out of reach.
TEST_F(Win32WindowTest, ABoxFitsTheWorkAreaWithItsOkButtonHoweverLongTheServersReply) {
  Win32Window window(kApplicationName, false);
  RECT work{}, frame{}, ok{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  Run(window, kCurrentManifest, [&](HWND shown) {
    window.Post(
        [&] { window.MessageBox("Load FileUpdate Error 421", "", MessageIcon::None, std::string(102400, 'y')); });
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = OwnedBox(shown)) != nullptr && IsWindowVisible(box); }));
    GetWindowRect(box, &frame);
    GetWindowRect(GetDlgItem(box, IDOK), &ok);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return OwnedBox(shown) == nullptr; }));
    PostMessageW(shown, WM_CLOSE, 0, 0);
  });
  for (const RECT& inside : {frame, ok}) {
    EXPECT_TRUE(inside.left >= work.left && inside.top >= work.top && inside.right <= work.right &&
                inside.bottom <= work.bottom && inside.bottom > inside.top)
        << inside.left << "," << inside.top << " to " << inside.right << "," << inside.bottom;
  }
}

TEST_F(Win32WindowTest, UnattendedTheQueueRunsToOkAndBoxesArePrintedWithoutWaiting) {
  Win32Window window(kApplicationName, true);
  std::string manifest = "G2\r\nR1\r\n";
  for (int i = 0; i < 30; ++i) {
    manifest += "doc" + std::to_string(i) + ".txt 1\r\n";
  }
  bool pictured = false;
  AnswerGate gate(window, 11);  // the manifest and ten files
  const RunResult run = Run(
      window, manifest,
      [&](HWND shown) {
        const HWND bar = ChildOfClass(shown, L"msctls_progress32");
        pictured = WaitUntil([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) >= 10; });
        if (pictured) {
          SavePicture(shown, "during-a-run.bmp");
        }
        gate.Release();
      },
      &gate);
  EXPECT_TRUE(pictured) << "the bar moves while the queue runs";
  EXPECT_EQ(run.reason, CloseReason::Ok);
  EXPECT_TRUE(fs_.FileExists(Component("TW3\\doc29.txt")));
  EXPECT_TRUE(fs_.FileExists(Component("Tarnwick.html")));

  ::testing::internal::CaptureStdout();
  window.MessageBox(std::string(texts::kCreditsText), std::string(texts::kCreditsTitle), MessageIcon::Information, "");
  window.MessageBox("Load File  a.doc Error 550", "", MessageIcon::None, "the server said: 550 No such file");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "[พัฒนาโปรแกรมโดย...]    ทีมงานBrannock\n    มหาวิทยาลัยQuillon\n"
            "[tarnwick-download] Load File  a.doc Error 550\n  the server said: 550 No such file\n");
}

}  // namespace
