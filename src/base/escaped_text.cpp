#include "base/escaped_text.h"

#include <cstdint>

#include "base/utf8.h"

namespace tarnwick {
namespace {

void AppendHex(std::string& out, const char* prefix, std::uint32_t value, int digits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += prefix;
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
    out += kDigits[(value >> shift) & 0xF];
  }
}

bool IsBidirectionalFormat(char32_t cp) {
  return cp == 0x061C || cp == 0x200E || cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) ||
         (cp >= 0x2066 && cp <= 0x2069);
}

// At most `maxCharacters` characters of the text (a byte outside UTF-8 counts as one), escaped, and "…"
// when some were left out.
std::string Escaped(std::string_view text, std::size_t maxCharacters) {
  std::string out;
  out.reserve(text.size());
  std::size_t characters = 0;
  for (std::size_t pos = 0; pos < text.size(); ++characters) {
    if (characters == maxCharacters) {
      out += "…";
      break;
    }
    const std::size_t start = pos;
    const auto cp = ReadUtf8CodePoint(text, pos);
    if (!cp) {
      AppendHex(out, "\\x", static_cast<unsigned char>(text[start]), 2);
    } else if (*cp < 0x20 || *cp == 0x7F) {
      AppendHex(out, "\\x", *cp, 2);
    } else if ((*cp >= 0x80 && *cp <= 0x9F) || IsBidirectionalFormat(*cp)) {
      AppendHex(out, "\\u", *cp, 4);
    } else {
      out.append(text, start, pos - start);
    }
  }
  return out;
}

}  // namespace

std::string EscapeControls(std::string_view text) { return Escaped(text, std::string_view::npos); }

std::string ShownValue(std::string_view value) { return Escaped(value, kShownValueCharacters); }

std::vector<std::string> BoxLines(std::string_view text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find("\r\n", start);
    lines.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) {
      return lines;
    }
    start = end + 2;
  }
}

std::string EscapedBoxText(std::string_view text, std::string_view lineBreak) {
  std::string out;
  for (bool first = true; const auto& line : BoxLines(text)) {
    out.append(first ? "" : lineBreak) += EscapeControls(line);
    first = false;
  }
  return out;
}

std::string AcknowledgedBox(std::string_view title, std::string_view text, std::string_view detail) {
  std::string out = "[" + EscapeControls(title) + "] " + EscapedBoxText(text, "\n") + "\n";
  if (!detail.empty()) {
    out += "  " + EscapeControls(detail) + "\n";
  }
  return out;
}

}  // namespace tarnwick
