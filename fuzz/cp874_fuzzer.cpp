// Every text file of the system passes through the codec: any bytes read and written again must come back
// unchanged, and what the program holds in between must be well-formed UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/windows874.h"
#include "fuzz_check.h"

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto lead = static_cast<unsigned char>(s[i]);
    size_t length = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, cp = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, cp = lead & 0x0Fu, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, cp = lead & 0x07u, least = 0x10000;
    } else {
      return false;
    }
    if (i + length > s.size()) {
      return false;
    }
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(s[i + k]);
      if ((next & 0xC0) != 0x80) {
        return false;
      }
      cp = (cp << 6) | (next & 0x3Fu);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = tarnwick::cp874::Decode(bytes);
  FUZZ_REQUIRE(IsValidUtf8(text));
  FUZZ_REQUIRE(tarnwick::cp874::Encode(text) == bytes);
  // The same bytes taken as UTF-8 (as a name typed in the program would be): never more bytes out than
  // in, since every character read, however malformed, takes at least one byte and gives exactly one.
  FUZZ_REQUIRE(tarnwick::cp874::Encode(bytes).size() <= bytes.size());
  return 0;
}
