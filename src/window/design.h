// FrmDownLoad as designed: the one description of the window that the logic and every front end read.
#pragma once

#include <array>
#include <string_view>

namespace tarnwick::design {

inline constexpr int kTwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

// Colours are stored as the forms runtime stores them: &H00BBGGRR.
struct Colour {
  unsigned bgr;
  constexpr int Red() const { return static_cast<int>(bgr & 0xFF); }
  constexpr int Green() const { return static_cast<int>((bgr >> 8) & 0xFF); }
  constexpr int Blue() const { return static_cast<int>((bgr >> 16) & 0xFF); }
};

struct Font {
  std::string_view face;
  double sizePt;
  bool bold;
  int charset;  // 222: Thai
};

enum class ControlKind { TransferControl, List, Timer, PushButton, ProgressBar, Label };

struct Control {
  std::string_view name;
  ControlKind kind;
  int left, top, width, height;  // twips; width and height 0 for controls that are not drawn
  bool visible;
  int tabIndex;  // -1 when the control takes no part in the tab order
};

inline constexpr std::string_view kCaption = "DownLoad Files Tarnwick Vesion 2.0";
inline constexpr int kClientWidth = 6330;
inline constexpr int kClientHeight = 1785;
inline constexpr Colour kBackColour{0x00AAFFFF};
inline constexpr Colour kCmdOkBackColour{0x0043E2EB};

inline constexpr std::string_view kLblwaitCaption = "Please  Wait  For Copy  File ";
inline constexpr Font kLblwaitFont{"MS Sans Serif", 12.0, true, 222};
inline constexpr std::string_view kCmdOkCaption = "&OK";
inline constexpr Font kCmdOkFont{"MS Sans Serif", 9.75, false, 222};
inline constexpr int kTimer1IntervalMs = 10;
inline constexpr double kProgressMin = 0;
inline constexpr double kProgressMax = 100;

// In creation order.
inline constexpr std::array<Control, 10> kControls{{
    {"Inet2", ControlKind::TransferControl, 4035, 1170, 0, 0, false, -1},
    {"dLst", ControlKind::List, 1500, 1110, 435, 450, false, 6},
    {"fLst", ControlKind::List, 990, 1095, 480, 450, false, 5},
    {"nLst", ControlKind::List, 510, 630, 420, 1035, false, 4},
    {"sLst", ControlKind::List, 60, 645, 405, 1035, false, 3},
    {"Timer1", ControlKind::Timer, 4860, 1290, 0, 0, false, -1},
    {"Inet1", ControlKind::TransferControl, 5610, 1170, 0, 0, false, -1},
    {"CmdOk", ControlKind::PushButton, 2475, 1305, 900, 405, true, 2},
    {"ProgressBar1", ControlKind::ProgressBar, 225, 255, 5640, 270, true, 0},
    {"Lblwait", ControlKind::Label, 285, 780, 5550, 345, true, 1},
}};

constexpr const Control& FindControl(std::string_view name) {
  for (const auto& control : kControls) {
    if (control.name == name) {
      return control;
    }
  }
  throw "no such control";  // only reachable at compile time with a misspelt name
}

// Transfer settings stored in Inet1 and Inet2. The stored URL, user name and password are replaced
// by the ones that every request carries, so they are never sent.
inline constexpr int kRemotePort = 21;
inline constexpr int kRequestTimeoutSeconds = 60;

}  // namespace tarnwick::design
