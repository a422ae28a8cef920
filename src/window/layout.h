// The download window as designed: the one description of the window that the logic and every front end read.
#pragma once

#include <string_view>

namespace tarnwick::layout {

inline constexpr int kTwipsPerInch = 1440;
// The design's pixels are at 96 dots per inch (15 twips a pixel); a screen scaled higher has more of them.
inline constexpr int kDesignDotsPerInch = 96;

constexpr int TwipsToPixels(int twips, int dotsPerInch = kDesignDotsPerInch) {
  return (twips * dotsPerInch + kTwipsPerInch / 2) / kTwipsPerInch;
}

// Colours are stored as &H00BBGGRR.
struct Colour {
  unsigned bgr;
  constexpr int Red() const { return static_cast<int>(bgr & 0xFF); }
  constexpr int Green() const { return static_cast<int>((bgr >> 8) & 0xFF); }
  constexpr int Blue() const { return static_cast<int>((bgr >> 16) & 0xFF); }
};

struct Font {
  std::string_view face;  // with the Thai character set
  double sizePt;
  bool bold;
};

struct Rect {
  int left, top, width, height;  // twips within the client area
};

inline constexpr std::string_view kCaption = "DownLoad Files Tarnwick Vesion 2.0";
inline constexpr int kClientWidth = 6330;
inline constexpr int kClientHeight = 1785;
inline constexpr Colour kBackColour{0x00AAFFFF};

// The visible controls, in tab order.
inline constexpr Rect kProgressBar{225, 255, 5640, 270};
inline constexpr double kProgressMin = 0;
inline constexpr double kProgressMax = 100;

inline constexpr Rect kStatusLabel{285, 780, 5550, 345};
inline constexpr std::string_view kStatusCaption = "Please  Wait  For Copy  File ";
// When the data is current the bar goes and the status line moves up by this much.
inline constexpr int kUpToDateStatusRise = 200;
inline constexpr Font kStatusFont{"MS Sans Serif", 12.0, true};

inline constexpr Rect kOkButton{2475, 1305, 900, 405};
inline constexpr std::string_view kOkCaption = "&OK";  // Alt+O presses it
inline constexpr Font kOkFont{"MS Sans Serif", 9.75, false};
inline constexpr Colour kOkBackColour{0x0043E2EB};
// The button's emphasis while the pointer is over it, and its size once the pointer is over the bare surface.
inline constexpr double kOkHoverSizePt = 12;
inline constexpr double kOkPlainSizePt = 10;

inline constexpr int kQueueTimerIntervalMs = 10;

}  // namespace tarnwick::layout
