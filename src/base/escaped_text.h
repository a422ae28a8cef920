// Text made safe to show: in a box, on a terminal, in the log. File names and replies come from the
// server, values of the launch parameters from a link that any web page can open. A control character
// among them would reach a terminal as a command (clear the screen, move the cursor, draw text the run
// never produced), a bidirectional-format character would turn what follows it around ("cod.exe" shown
// for "exe.doc"). Such characters are shown as escapes instead, by every front end and the log alike.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// C0 controls (line ends and tabs among them) and DEL become "\x1b"-style escapes, C1 controls
// (U+0080 to U+009F) "\u009b"-style ones, the bidirectional-format characters (U+061C, U+200E, U+200F,
// U+202A to U+202E, U+2066 to U+2069) "\u202e"-style ones. A byte outside well-formed UTF-8 becomes
// "\xHH" too: a terminal in an 8-bit mode takes a lone 0x80 to 0x9F for a C1 control. Everything else,
// "\" included, stays.
std::string EscapeControls(std::string_view text);

// The most characters of a value from a link that a text shows.
inline constexpr std::size_t kShownValueCharacters = 200;

// A value that came from a link, as a text shows it: escaped as EscapeControls does, and cut after
// kShownValueCharacters characters with "…" (a page may send thousands).
std::string ShownValue(std::string_view value);

// A box's text in lines: the run breaks a box's lines with CR LF.
std::vector<std::string> BoxLines(std::string_view text);

// A box's text with each line escaped, the lines joined again by `lineBreak`.
std::string EscapedBoxText(std::string_view text, std::string_view lineBreak);

// A box that nobody waits for, as a desktop window prints it under auto-confirm: "[title] text" with the
// text's further lines below it, then the detail indented; control characters escaped.
std::string AcknowledgedBox(std::string_view title, std::string_view text, std::string_view detail);

}  // namespace tarnwick
