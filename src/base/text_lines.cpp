#include "base/text_lines.h"

#include "base/windows874.h"

namespace tarnwick {

std::vector<std::string> DecodeTextLines(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r') {
      continue;
    }
    lines.push_back(cp874::Decode(bytes.substr(start, i - start)));
    if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      ++i;
    }
    start = i + 1;
  }
  if (start < bytes.size()) {
    lines.push_back(cp874::Decode(bytes.substr(start)));
  }
  return lines;
}

std::string EncodeTextLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) {
    out += cp874::Encode(line);
    out += "\r\n";
  }
  return out;
}

}  // namespace tarnwick
