// Reads an FTP server's reply lines: which reply a text of them ends with, and what a reply tells beyond its code.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnwick {

struct FtpReply {
  int code = 0;
  std::string_view line;  // without its line end
};

// The reply a text of reply lines ends with: the last line that opens with a code of three digits and a
// blank, as the last line of every reply does (the lines before it in a reply of several carry a "-"
// after the code). Nothing when no line does.
inline std::optional<FtpReply> LastReply(std::string_view text) {
  std::optional<FtpReply> last;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    const auto digit = [&](size_t i) { return line[i] >= '0' && line[i] <= '9'; };
    if (line.size() >= 4 && digit(0) && digit(1) && digit(2) && line[3] == ' ') {
      last = FtpReply{(line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0'), line};
    }
    start = end + 1;
  }
  return last;
}

// The size a 150 or 125 reply announces for the transfer it opens, as "(<digits> bytes)": e.g.
// "150 Opening BINARY mode data connection for a.doc (2241 bytes).". The last such group counts, since
// the file name comes before it and may hold one. Nothing for other replies, when none is announced, or
// when the number does not fit.
inline std::optional<std::uint64_t> AnnouncedSize(std::string_view line) {
  if (line.size() < 4 || !(line.starts_with("150") || line.starts_with("125")) || (line[3] != ' ' && line[3] != '-')) {
    return std::nullopt;
  }
  constexpr std::string_view kUnit = " bytes)";
  for (size_t unit = line.rfind(kUnit); unit != std::string_view::npos && unit > 0;
       unit = line.rfind(kUnit, unit - 1)) {
    size_t open = unit;
    while (open > 0 && line[open - 1] >= '0' && line[open - 1] <= '9') {
      --open;
    }
    if (open == unit || open == 0 || line[open - 1] != '(') {
      continue;
    }
    std::uint64_t size = 0;
    const auto parsed = std::from_chars(line.data() + open, line.data() + unit, size);
    return parsed.ec == std::errc() ? std::optional(size) : std::nullopt;
  }
  return std::nullopt;
}

}  // namespace tarnwick
