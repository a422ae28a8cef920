#include "win32_window/win32_window.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After <windows.h>: the common controls' header needs its types.
#include <commctrl.h>
// The interface's own name, not the ANSI/wide macro.
#undef MessageBox

#include <algorithm>
#include <climits>
#include <cmath>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/escaped_text.h"
#include "win32_codec/windows874_win32.h"
#include "window/layout.h"
#include "window/texts.h"

namespace tarnwick {
namespace {

constexpr UINT kRunPostedMessage = WM_APP + 1;
constexpr UINT kPressOkMessage = WM_APP + 2;
constexpr UINT kInterruptMessage = WM_APP + 3;
constexpr UINT_PTR kBoxTickTimer = 1;
constexpr UINT_PTR kOkButtonSubclass = 1;
// The program's icon among the .exe's resources (packaging/tarnwick-download.rc.in).
constexpr WORD kProgramIconId = 1;
// The controls' ids. OK's is IDOK, as Enter (IsDialogMessage) sends it; the label's commands (SS_NOTIFY)
// must not read as OK's.
constexpr int kProgressBarId = 101;
constexpr int kStatusLabelId = 102;

constexpr wchar_t kWindowClass[] = L"TarnwickDownloadWindow";
constexpr wchar_t kMessageBoxClass[] = L"#32770";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// A tool window, as designed (its caption has no icon), with a taskbar button all the same: a window that
// has no owner would otherwise be lost behind the browser.
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW;
// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION (Windows 10 1803 and later), which these headers do not name yet.
constexpr DWORD kHighResolutionTimer = 0x00000002;

COLORREF ToColorRef(layout::Colour colour) { return RGB(colour.Red(), colour.Green(), colour.Blue()); }

// The DPI of the window's monitor (Windows 10 1607 and later, looked up so that older systems still start
// the program), else the system's, which is the only one they scale by.
int DotsPerInchOf(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow != nullptr) {
    if (const UINT dotsPerInch = getDpiForWindow(window); dotsPerInch != 0) {
      return static_cast<int>(dotsPerInch);
    }
  }
  const HDC screen = GetDC(nullptr);
  const int dotsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dotsPerInch;
}

// Faces that stand in for the design's MS Sans Serif with Thai letters, best first: its TrueType successor
// and the interface faces of Windows, then the TLWG faces that a Linux desktop gives Wine (the Qt window's
// first choices too).
constexpr const wchar_t* kThaiFaces[] = {L"Microsoft Sans Serif", L"Tahoma", L"Leelawadee UI", L"Loma", L"Garuda"};

HFONT CreateThaiFont(const std::wstring& face, double sizePt, bool bold, int dotsPerInch) {
  const int height = -static_cast<int>(std::lround(sizePt * dotsPerInch / 72.0));
  return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, THAI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face.c_str());
}

// A face may claim the Thai character set and still lack the letters: Droid Sans Fallback, which Wine's
// mapper gives for a Thai MS Sans Serif when its own fonts are missing, draws every one as an empty box.
bool HasLetters(HDC dc, const std::wstring& face) {
  const std::wstring letters =
      WideFromUtf8(std::string(layout::kStatusCaption) + "OK" + std::string(texts::kUpToDateCaption));
  const HFONT font = CreateThaiFont(face, layout::kStatusFont.sizePt, false, layout::kDesignDotsPerInch);
  const HGDIOBJ old = SelectObject(dc, font);
  std::vector<WORD> glyphs(letters.size());
  const bool all = GetGlyphIndicesW(dc, letters.c_str(), static_cast<int>(letters.size()), glyphs.data(),
                                    GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR &&
                   std::find(glyphs.begin(), glyphs.end(), WORD{0xFFFF}) == glyphs.end();
  SelectObject(dc, old);
  DeleteObject(font);
  return all;
}

// The face of the window's texts: the first of kThaiFaces installed with the Thai letters, else the first
// other face that has them. Only when none has them is the design's face left to the mapper.
std::wstring ChooseThaiFace() {
  const HDC dc = CreateCompatibleDC(nullptr);
  std::vector<std::wstring> installed;
  LOGFONTW thai{};
  thai.lfCharSet = THAI_CHARSET;
  EnumFontFamiliesExW(
      dc, &thai,
      [](const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM list) -> int {
        auto& faces = *reinterpret_cast<std::vector<std::wstring>*>(list);
        // Each face comes once a style; "@" names it turned for vertical text.
        if (font->lfFaceName[0] != L'@' && std::find(faces.begin(), faces.end(), font->lfFaceName) == faces.end()) {
          faces.emplace_back(font->lfFaceName);
        }
        return 1;
      },
      reinterpret_cast<LPARAM>(&installed), 0);
  std::vector<std::wstring> candidates;
  for (const wchar_t* preferred : kThaiFaces) {
    const auto found = std::find_if(installed.begin(), installed.end(),
                                    [&](const std::wstring& face) { return lstrcmpiW(face.c_str(), preferred) == 0; });
    if (found != installed.end()) {
      candidates.push_back(*found);
    }
  }
  candidates.insert(candidates.end(), installed.begin(), installed.end());
  const auto usable = std::find_if(candidates.begin(), candidates.end(),
                                   [&](const std::wstring& face) { return HasLetters(dc, face); });
  std::wstring chosen = usable != candidates.end() ? *usable : WideFromUtf8(layout::kStatusFont.face);
  DeleteDC(dc);
  return chosen;
}

UINT BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Critical:
      return MB_ICONERROR;
    case MessageIcon::Information:
      return MB_ICONINFORMATION;
    case MessageIcon::None:
      break;
  }
  return 0;
}

// The system's message font at a DPI: the monitor's where the system scales by it (Windows 10 1607 and later,
// looked up as GetDpiForWindow is), else the system's own.
HFONT CreateMessageFont(int dotsPerInch) {
  using MetricsForDpiFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const auto metricsForDpi = reinterpret_cast<MetricsForDpiFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi")));
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (metricsForDpi == nullptr ||
      !metricsForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dotsPerInch))) {
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  }
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

// A character that belongs to the one before it: a line never starts with one.
bool JoinsThePrevious(wchar_t c) {
  return (c >= 0xDC00 && c <= 0xDFFF) || (c >= 0x0300 && c <= 0x036F) || c == 0x0E31 || (c >= 0x0E34 && c <= 0x0E3A) ||
         (c >= 0x0E47 && c <= 0x0E4E);
}

// A message box grows with its longest line and its number of lines, past the screen's edges: a server may
// send a reply of any length, and the box's OK button would be out of reach. The text is wrapped to a quarter
// of the work area's width (at a blank where the line has one, else between two letters) and cut, with "…",
// to the lines that a third of its height holds, in the system's message font. The margins leave room for a
// box that wraps again in a font and at a width of its own, as Wine's does.
std::wstring FittedToWorkArea(HWND owner, const std::wstring& text) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const int width = std::max<int>(1, (monitor.rcWork.right - monitor.rcWork.left) / 4);
  const HDC dc = GetDC(owner);
  const HFONT font = CreateMessageFont(DotsPerInchOf(owner));
  const HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const auto mostLines = static_cast<size_t>(
      std::max<LONG>(1, (monitor.rcWork.bottom - monitor.rcWork.top) / 3 / std::max<LONG>(1, metrics.tmHeight)));
  std::vector<std::wstring_view> lines;
  for (size_t start = 0; start <= text.size() && lines.size() <= mostLines;) {
    const size_t end = std::min(text.find(L'\n', start), text.size());
    std::wstring_view rest(text.data() + start, end - start);
    if (!rest.empty() && rest.back() == L'\r') {
      rest.remove_suffix(1);
    }
    if (rest.empty()) {
      lines.push_back(rest);
    }
    while (!rest.empty() && lines.size() <= mostLines) {
      INT fit = 0;
      SIZE extent{};
      // No letter is narrower than a pixel: what fits is among the first `width` letters.
      GetTextExtentExPointW(dc, rest.data(), static_cast<int>(std::min<size_t>(rest.size(), width)), width, &fit,
                            nullptr, &extent);
      size_t cut = std::max<size_t>(1, static_cast<size_t>(fit));
      size_t next = cut;
      if (cut < rest.size()) {
        while (cut > 1 && JoinsThePrevious(rest[cut])) {
          --cut;
        }
        next = cut;
        if (const size_t blank = rest.substr(0, cut + 1).rfind(L' '); blank != std::wstring_view::npos && blank > 0) {
          cut = blank;
          next = blank + 1;
        }
      }
      lines.push_back(rest.substr(0, cut));
      rest.remove_prefix(next);
    }
    start = end + 1;
  }
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(owner, dc);
  if (lines.size() > mostLines) {
    lines.resize(mostLines - 1);
    lines.push_back(L"\u2026");
  }
  std::wstring fitted;
  for (size_t i = 0; i < lines.size(); ++i) {
    fitted.append(i == 0 ? L"" : L"\r\n").append(lines[i]);
  }
  return fitted;
}

// Ends a message box that the window owns; the box returns once any box opened inside it has.
BOOL CALLBACK EndBoxOwnedBy(HWND candidate, LPARAM owner) {
  wchar_t className[std::size(kMessageBoxClass) + 1] = {};
  if (GetWindow(candidate, GW_OWNER) == reinterpret_cast<HWND>(owner) &&
      GetClassNameW(candidate, className, static_cast<int>(std::size(className))) > 0 &&
      std::wstring_view(className) == kMessageBoxClass) {
    EndDialog(candidate, IDOK);
  }
  return TRUE;
}

}  // namespace

struct Win32Window::Native {
  ~Native() {
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(backBrush), static_cast<HGDIOBJ>(okBrush),
                           static_cast<HGDIOBJ>(statusFont), static_cast<HGDIOBJ>(okFont)}) {
      if (object != nullptr) {
        DeleteObject(object);
      }
    }
    if (tickTimer != nullptr) {
      CloseHandle(tickTimer);
    }
  }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK OkButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR subclass,
                                       DWORD_PTR host);
  void SetOkFont(const OkButtonState& state);
  void ApplyDotsPerInch(int dots);
  int Pixels(int twips) const { return layout::TwipsToPixels(twips, dotsPerInch); }
  void Place(HWND control, int left, int top, int width, int height) const;
  void SizeClient(const POINT* topLeft) const;
  void DrawOkButton(const DRAWITEMSTRUCT& item) const;

  HWND window = nullptr;  // written under the host's mutex: other threads post to it
  HWND progressBar = nullptr;
  HWND statusLabel = nullptr;
  HWND okButton = nullptr;
  HBRUSH backBrush = nullptr;
  HBRUSH okBrush = nullptr;
  HFONT statusFont = nullptr;
  HFONT okFont = nullptr;
  std::wstring textFace;                         // of both fonts: ChooseThaiFace
  int dotsPerInch = layout::kDesignDotsPerInch;  // of the window's monitor: everything is laid out at it
  OkButtonState okFontState;
  HANDLE tickTimer = nullptr;
};

LRESULT CALLBACK Win32Window::Native::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* host = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
    const std::lock_guard lock(host->mutex_);
    host->native_->window = window;
  }
  auto* host = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return host != nullptr ? host->HandleMessage(message, wParam, lParam)
                         : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK Win32Window::Native::OkButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                                                   UINT_PTR subclass, DWORD_PTR host) {
  if (message == WM_MOUSEMOVE) {
    // Only an enabled button sees the pointer; over a disabled one it reaches the window's surface.
    auto& window = *reinterpret_cast<Win32Window*>(host);
    window.events_->PointerOverOk();
    window.Sync();
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(button, OkButtonProc, subclass);
  }
  return DefSubclassProc(button, message, wParam, lParam);
}

void Win32Window::Native::SetOkFont(const OkButtonState& state) {
  if (okFont != nullptr && state.bold == okFontState.bold && state.fontSize == okFontState.fontSize) {
    return;
  }
  const HFONT old = okFont;
  okFont = CreateThaiFont(textFace, state.fontSize, state.bold, dotsPerInch);
  okFontState = state;
  SendMessageW(okButton, WM_SETFONT, reinterpret_cast<WPARAM>(okFont), TRUE);
  if (old != nullptr) {
    DeleteObject(old);
  }
}

// The design's pixels and fonts at the monitor's DPI: the fonts made anew (the OK button's first one comes
// with the first Sync), the bar and the button placed; the status line moves, so Sync places it.
void Win32Window::Native::ApplyDotsPerInch(int dots) {
  dotsPerInch = dots;
  const HFONT oldStatus = statusFont;
  statusFont = CreateThaiFont(textFace, layout::kStatusFont.sizePt, layout::kStatusFont.bold, dotsPerInch);
  SendMessageW(statusLabel, WM_SETFONT, reinterpret_cast<WPARAM>(statusFont), FALSE);
  if (oldStatus != nullptr) {
    DeleteObject(oldStatus);
  }
  if (okFont != nullptr) {
    const HFONT oldOk = okFont;
    okFont = nullptr;
    SetOkFont(okFontState);
    DeleteObject(oldOk);
  }
  const layout::Rect& bar = layout::kProgressBar;
  Place(progressBar, bar.left, bar.top, bar.width, bar.height);
  const layout::Rect& ok = layout::kOkButton;
  Place(okButton, ok.left, ok.top, ok.width, ok.height);
}

void Win32Window::Native::Place(HWND control, int left, int top, int width, int height) const {
  SetWindowPos(control, nullptr, Pixels(left), Pixels(top), Pixels(width), Pixels(height),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// The frame around the design's client area at the window's DPI, its top left at `topLeft`, else centred on
// the work area. Twice: the frame's own thickness follows a new DPI only once the window has been sized.
void Win32Window::Native::SizeClient(const POINT* topLeft) const {
  for (int pass = 0; pass < 2; ++pass) {
    RECT frame{}, client{};
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    const int width = Pixels(layout::kClientWidth) + (frame.right - frame.left) - client.right;
    const int height = Pixels(layout::kClientHeight) + (frame.bottom - frame.top) - client.bottom;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const POINT place = topLeft != nullptr ? *topLeft
                                           : POINT{work.left + (work.right - work.left - width) / 2,
                                                   work.top + (work.bottom - work.top - height) / 2};
    SetWindowPos(window, nullptr, place.x, place.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The button in the design's colour, which a system-drawn push button would not take.
void Win32Window::Native::DrawOkButton(const DRAWITEMSTRUCT& item) const {
  const HDC dc = item.hDC;
  RECT face = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  DrawEdge(dc, &face, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
  FillRect(dc, &face, okBrush);
  if (pressed) {
    OffsetRect(&face, 1, 1);
  }
  const std::wstring caption = WideFromUtf8(layout::kOkCaption);
  const HGDIOBJ oldFont = SelectObject(dc, okFont);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor((item.itemState & ODS_DISABLED) != 0 ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &face,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | ((item.itemState & ODS_NOACCEL) != 0 ? DT_HIDEPREFIX : 0));
  SelectObject(dc, oldFont);
  if ((item.itemState & ODS_FOCUS) != 0) {
    InflateRect(&face, -2, -2);
    DrawFocusRect(dc, &face);
  }
}

Win32Window::Win32Window(std::string applicationName, bool autoConfirm)
    : applicationName_(std::move(applicationName)), autoConfirm_(autoConfirm), native_(std::make_unique<Native>()) {
  const INITCOMMONCONTROLSEX commonControls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&commonControls);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = Native::WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);  // a resource number: no text to widen
  windowClass.lpszClassName = kWindowClass;
  // The icon of the taskbar button and of Alt+Tab, each at the size the system draws it.
  windowClass.hIcon = LoadIconW(windowClass.hInstance, MAKEINTRESOURCEW(kProgramIconId));
  RegisterClassExW(&windowClass);  // fails harmlessly for a second window of the process: the class is there

  native_->tickTimer = CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
  if (native_->tickTimer == nullptr) {
    native_->tickTimer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
  }
  if (native_->tickTimer == nullptr) {
    throw std::runtime_error("cannot create the queue timer of the download window");
  }
  native_->backBrush = CreateSolidBrush(ToColorRef(layout::kBackColour));
  native_->okBrush = CreateSolidBrush(ToColorRef(layout::kOkBackColour));
  native_->textFace = ChooseThaiFace();
}

Win32Window::~Win32Window() = default;

void Win32Window::ShowModal(WindowEvents& events) {
  events_ = &events;
  open_ = true;
  okPressed_ = false;
  drawnOnce_ = false;
  events.Opened();
  CreateWindowAndControls();
  Sync();
  ShowWindow(native_->window, SW_SHOWNORMAL);
  UpdateWindow(native_->window);
  PostMessageW(native_->window, kRunPostedMessage, 0, 0);  // what was posted before the window existed
  events.Shown();
  Sync();
  RunLoop();
  StopQueueTimer();
  events.Closed();
  DestroyWindowAndControls();
  events_ = nullptr;
  // What the transfers posted for this window refers to controls that Closed has ended.
  posted_.Clear();
}

void Win32Window::CreateWindowAndControls() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  // Made on the primary monitor, where it is centred, then laid out at that monitor's DPI.
  const HWND window = CreateWindowExW(kExStyle, kWindowClass, WideFromUtf8(layout::kCaption).c_str(), kStyle, 0, 0, 0,
                                      0, nullptr, nullptr, instance, this);
  if (window == nullptr) {
    throw std::runtime_error("cannot create the download window (error " + std::to_string(GetLastError()) + ")");
  }
  const auto child = [&](const wchar_t* windowClass, std::string_view text, DWORD style, int id) {
    return CreateWindowExW(0, windowClass, WideFromUtf8(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                           window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  };
  // Created in the design's tab order. SS_NOTIFY: the pointer over the label is not over the bare surface.
  native_->progressBar = child(PROGRESS_CLASSW, "", 0, kProgressBarId);
  native_->statusLabel = child(WC_STATICW, "", SS_CENTER | SS_NOPREFIX | SS_NOTIFY, kStatusLabelId);
  native_->okButton = child(WC_BUTTONW, layout::kOkCaption, BS_OWNERDRAW | WS_TABSTOP, IDOK);
  native_->ApplyDotsPerInch(DotsPerInchOf(window));
  native_->SizeClient(nullptr);
  SetWindowSubclass(native_->okButton, Native::OkButtonProc, kOkButtonSubclass, reinterpret_cast<DWORD_PTR>(this));
}

void Win32Window::DestroyWindowAndControls() {
  DestroyWindow(native_->window);  // and its controls with it
  const std::lock_guard lock(mutex_);
  native_->window = native_->progressBar = native_->statusLabel = native_->okButton = nullptr;
}

void Win32Window::RunLoop() {
  while (open_) {
    if (interruptRequested_) {
      StopForInterruption();
      break;
    }
    MSG message;
    while (open_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      // IsDialogMessage gives the window a dialog's keys: Alt+O and Enter press OK.
      if (!IsDialogMessageW(native_->window, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    RunTimerIfDue();
    if (open_) {
      WaitForWork();
    }
  }
}

// Sleeps until a message arrives or the next tick is due, to the tick: SetTimer and a wait's own timeout
// both keep to the system timer (15.6 ms), and a tick that wakes late lengthens the gap between two files.
void Win32Window::WaitForWork() {
  if (ticks_.Running()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::nanoseconds>(ticks_.Next() - TickGrid::Clock::now()).count();
    LARGE_INTEGER due;
    due.QuadPart = -std::max<LONGLONG>(left / 100, 1);  // relative, in 100 ns units
    SetWaitableTimer(native_->tickTimer, &due, 0, nullptr, nullptr, FALSE);
  }
  MsgWaitForMultipleObjectsEx(ticks_.Running() ? 1 : 0, &native_->tickTimer, INFINITE, QS_ALLINPUT,
                              MWMO_INPUTAVAILABLE);
}

void Win32Window::RunPostedEvents() {
  while (open_) {
    const std::function<void()> event = posted_.Take();
    if (!event) {
      return;
    }
    event();
    Sync();
  }
}

void Win32Window::RunTimerIfDue() {
  if (open_ && ticks_.TakeDue()) {
    events_->QueueTick();
    Sync();
  }
}

void Win32Window::StopQueueTimer() {
  ticks_.Stop();
  CancelWaitableTimer(native_->tickTimer);
  if (native_->window != nullptr) {
    KillTimer(native_->window, kBoxTickTimer);
  }
}

void Win32Window::Sync() {
  if (events_ == nullptr || native_->window == nullptr) {
    return;
  }
  const WindowControls& now = events_->Controls();
  Native& native = *native_;

  const StatusLabelState& status = now.status;
  const StatusLabelState& drawnStatus = drawn_.status;
  if (!drawnOnce_ || status.caption != drawnStatus.caption) {
    SetWindowTextW(native.statusLabel, WideFromUtf8(status.caption).c_str());
  }
  if (!drawnOnce_ || status.left != drawnStatus.left || status.top != drawnStatus.top ||
      status.width != drawnStatus.width || status.height != drawnStatus.height) {
    native.Place(native.statusLabel, status.left, status.top, status.width, status.height);
  }

  const ProgressBarState& bar = now.progress;
  if (!drawnOnce_ || bar.min != drawn_.progress.min || bar.max != drawn_.progress.max) {
    SendMessageW(native.progressBar, PBM_SETRANGE32, static_cast<WPARAM>(std::lround(bar.min)),
                 static_cast<LPARAM>(std::lround(bar.max)));
  }
  if (!drawnOnce_ || bar.value != drawn_.progress.value) {
    SendMessageW(native.progressBar, PBM_SETPOS, static_cast<WPARAM>(std::lround(bar.value)), 0);
  }
  if (!drawnOnce_ || bar.visible != drawn_.progress.visible) {
    ShowWindow(native.progressBar, bar.visible ? SW_SHOWNA : SW_HIDE);
  }

  const OkButtonState& ok = now.okButton;
  if (!drawnOnce_ || ok.enabled != drawn_.okButton.enabled) {
    EnableWindow(native.okButton, ok.enabled);
  }
  native.SetOkFont(ok);

  const QueueTimerState& timer = now.queueTimer;
  if (timer.enabled && !ticks_.Running() && open_) {
    ticks_.Start(std::chrono::milliseconds(timer.intervalMs));
    // Only a message box's own loop needs it: the window's loop waits for the tick itself.
    SetTimer(native.window, kBoxTickTimer, static_cast<UINT>(timer.intervalMs), nullptr);
  } else if (!timer.enabled && ticks_.Running()) {
    StopQueueTimer();
  }

  drawn_ = now;
  drawnOnce_ = true;
  if (autoConfirm_ && open_ && ok.enabled && !okPressed_) {
    okPressed_ = true;
    PostMessageW(native.window, kPressOkMessage, 0, 0);  // once the current event has been handled
  }
}

void Win32Window::PressOk() {
  if (open_) {
    events_->OkPressed();
    Sync();
  }
}

LRESULT Win32Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND window = native_->window;
  switch (message) {
    case kRunPostedMessage:
      RunPostedEvents();
      return 0;
    case kPressOkMessage:
      PressOk();
      return 0;
    case kInterruptMessage:
      StopForInterruption();
      return 0;
    case WM_TIMER:
      if (wParam == kBoxTickTimer) {
        RunTimerIfDue();
        return 0;
      }
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        PressOk();
      }
      return 0;  // IDCANCEL (Escape) too: only OK, the close box or the logic close the window
    case WM_MOUSEMOVE:
      events_->PointerOverSurface();
      Sync();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      events_->MouseDown(message == WM_RBUTTONDOWN   ? MouseButton::Right
                         : message == WM_MBUTTONDOWN ? MouseButton::Middle
                                                     : MouseButton::Left);
      Sync();
      return 0;
    case WM_CLOSE:
      Close();  // the close box: not OK, so the recovery marker stays
      return 0;
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, native_->backBrush);
      return 1;
    }
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wParam), ToColorRef(layout::kBackColour));
      return reinterpret_cast<LRESULT>(native_->backBrush);
    case WM_DPICHANGED: {
      // Moved to a monitor with another scaling, or the scaling changed: laid out anew at the window's
      // new DPI, where the system suggests.
      const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
      native_->ApplyDotsPerInch(HIWORD(wParam));
      const POINT topLeft{suggested.left, suggested.top};
      native_->SizeClient(&topLeft);
      drawnOnce_ = false;
      Sync();
      return 0;
    }
    case WM_DRAWITEM:
      if (wParam == IDOK) {
        native_->DrawOkButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Win32Window::RepaintNow() {
  if (native_->window != nullptr) {
    Sync();
    RedrawWindow(native_->window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
}

void Win32Window::Close() {
  open_ = false;
  StopQueueTimer();
  if (native_->window != nullptr) {
    ShowWindow(native_->window, SW_HIDE);
  }
}

void Win32Window::MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                             const std::string& detail) {
  const std::string shownTitle = title.empty() ? applicationName_ : title;
  if (autoConfirm_) {
    std::cout << AcknowledgedBox(shownTitle, text, detail) << std::flush;
    return;
  }
  if (interruptRequested_) {
    return;  // the window is closing: the box would only hold it open
  }
  const std::string shownText =
      EscapedBoxText(text, "\r\n") + (detail.empty() ? "" : "\r\n\r\n" + EscapeControls(detail));
  MessageBoxW(native_->window, FittedToWorkArea(native_->window, WideFromUtf8(shownText)).c_str(),
              WideFromUtf8(shownTitle).c_str(), MB_OK | BoxIcon(icon));
}

void Win32Window::Post(std::function<void()> event) {
  // Called from a transfer thread: the event crosses into the window's thread as a message to the window,
  // which a message box's own loop delivers too, so the logic only ever runs on that thread.
  posted_.Push(std::move(event));
  const std::lock_guard lock(mutex_);
  if (native_->window != nullptr) {
    PostMessageW(native_->window, kRunPostedMessage, 0, 0);
  }
}

void Win32Window::InterruptFromAnyThread() {
  interruptRequested_ = true;
  const std::lock_guard lock(mutex_);
  if (native_->window != nullptr) {
    PostMessageW(native_->window, kInterruptMessage, 0, 0);
  }
}

void Win32Window::StopForInterruption() {
  if (!open_) {
    return;
  }
  interrupted_ = true;
  EnumThreadWindows(GetCurrentThreadId(), EndBoxOwnedBy, reinterpret_cast<LPARAM>(native_->window));
  Close();  // what the close box does: not OK, so the recovery marker stays
}

}  // namespace tarnwick
