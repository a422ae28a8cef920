// Reads what an FTP server's reply lines tell beyond their code.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnwick {

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
