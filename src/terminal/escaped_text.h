// Text from the run made safe to print on a terminal. File names and replies come from the server, and
// a control character among them would reach the terminal as a command: clear the screen, move the
// cursor, draw text the run never produced. Such characters are printed as escapes instead.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

namespace escaped_text_detail {

inline void AppendHex(std::string& out, const char* prefix, std::uint32_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += prefix;
  out += kDigits[(value >> 4) & 0xF];
  out += kDigits[value & 0xF];
}

// The length of the well-formed UTF-8 sequence that starts at `pos` with a byte above 0x7F, or 0.
inline size_t SequenceLength(std::string_view text, size_t pos, std::uint32_t& codePoint) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || pos + length > text.size()) {
    return 0;
  }
  codePoint = lead & (0x7Fu >> length);
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) {
      return 0;
    }
    codePoint = (codePoint << 6) | (next & 0x3Fu);
  }
  static constexpr std::uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  return codePoint < kShortest[length] || codePoint > 0x10FFFF || surrogate ? 0 : length;
}

}  // namespace escaped_text_detail

// C0 controls (line ends and tabs among them) and DEL become "\x1b"-style escapes, C1 controls
// (U+0080 to U+009F) "\u009b"-style ones. A byte outside well-formed UTF-8 becomes "\xHH" too: a terminal
// in an 8-bit mode takes a lone 0x80 to 0x9F for a C1 control. Everything else, "\" included, stays.
inline std::string EscapeControls(std::string_view text) {
  using namespace escaped_text_detail;
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x20 || byte == 0x7F) {
      AppendHex(out, "\\x", byte);
      ++pos;
      continue;
    }
    if (byte < 0x80) {
      out += text[pos++];
      continue;
    }
    std::uint32_t codePoint = 0;
    const size_t length = SequenceLength(text, pos, codePoint);
    if (length == 0) {
      AppendHex(out, "\\x", byte);
      ++pos;
    } else if (codePoint <= 0x9F) {
      AppendHex(out, "\\u00", codePoint);
      pos += length;
    } else {
      out.append(text, pos, length);
      pos += length;
    }
  }
  return out;
}

// A box's text in lines: the run breaks a box's lines with CR LF.
inline std::vector<std::string> BoxLines(std::string_view text) {
  std::vector<std::string> lines;
  for (size_t start = 0;;) {
    const size_t end = text.find("\r\n", start);
    lines.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) {
      return lines;
    }
    start = end + 2;
  }
}

// A box that nobody waits for, as a desktop window prints it under auto-confirm: "[title] text" with the
// text's further lines below it, then the detail indented; control characters escaped.
inline std::string AcknowledgedBox(std::string_view title, std::string_view text, std::string_view detail) {
  std::string out = "[" + EscapeControls(title) + "] ";
  for (bool first = true; const auto& line : BoxLines(text)) {
    out += (first ? "" : "\n") + EscapeControls(line);
    first = false;
  }
  out += "\n";
  if (!detail.empty()) {
    out += "  " + EscapeControls(detail) + "\n";
  }
  return out;
}

}  // namespace tarnwick
