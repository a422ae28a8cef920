// Letter case of the ASCII letters only: names, keys and folder names are matched this way (Thai has no case).
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

constexpr char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// The text with its ASCII letters in lower case.
std::string LowerAscii(std::string_view text);

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix);

// The text without the given characters (by default the blank) at either end.
std::string_view TrimAscii(std::string_view text, std::string_view blanks = " ");

}  // namespace tarnwick
