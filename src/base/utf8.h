// Reading UTF-8, the program's own text inside.
#pragma once

#include <optional>
#include <string_view>

namespace tarnwick {

// The code point of the UTF-8 sequence at `pos`, moving `pos` past it; nothing when the sequence is
// malformed (then `pos` moves one byte). An overlong form, a surrogate and anything above U+10FFFF are
// malformed: "\xC0\xAE" must not become a "." that no check of the text has seen.
std::optional<char32_t> ReadUtf8CodePoint(std::string_view text, size_t& pos);

}  // namespace tarnwick
