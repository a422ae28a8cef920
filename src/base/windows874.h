// The machine's ANSI code page, Windows-874, as used by every text file of the system.
// Inside the program strings are UTF-8. Bytes that the code page leaves undefined are carried as
// U+F700 + byte, so a file read and written again comes back unchanged.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::cp874 {

std::string Decode(std::string_view bytes);
// Characters that the code page cannot hold become "?".
std::string Encode(std::string_view utf8);

}  // namespace tarnwick::cp874
