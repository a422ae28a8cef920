// Line-wise text files: a read line ends at CR LF or at a lone CR (a lone LF stays in the line);
// a written line ends with CR LF. Files are in Windows-874, lines in the program UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// A line end after the last line adds no line; an empty file has none.
std::vector<std::string> DecodeTextLines(std::string_view bytes);
std::string EncodeTextLines(const std::vector<std::string>& lines);

}  // namespace tarnwick
