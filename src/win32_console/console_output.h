// Standard output and standard error of the Windows build.
//
// - [x] UTF-8 text written to std::cout and std::cerr shown as Unicode on a console (WriteConsoleW),
//       Thai included
// - [x] the carriage return and "erase to the end of the line" that redraw the terminal's line of
//       progress, through the console's virtual-terminal mode
// - [x] output to a pipe or a file kept as the same UTF-8 bytes, with "\n" line ends, as on Linux
// - [x] a program started from a console window writing to that console (the executable is a windowed one)
// - [ ] redrawing the line of progress on a console without virtual-terminal mode (before Windows 10):
//       a line per file is printed instead
// - [ ] text that is not UTF-8 (shown as U+FFFD)
#pragma once

namespace tarnwick {

struct StandardStreams {
  bool inputIsConsole = false;
  bool outputIsConsole = false;  // and redraws in place
};

// Call once, first thing: routes std::cout and std::cerr to the console where they are one.
StandardStreams SetUpStandardStreams();

}  // namespace tarnwick
