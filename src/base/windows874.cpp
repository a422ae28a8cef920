#include "base/windows874.h"

#include <iconv.h>

#include <array>
#include <cstdint>
#include <stdexcept>
#include <unordered_map>

namespace tarnwick::cp874 {
namespace {

constexpr char32_t kUndefinedBase = 0xF700;

struct Tables {
  std::array<char32_t, 256> toUnicode{};
  std::unordered_map<char32_t, unsigned char> toByte;
};

char32_t ConvertByte(iconv_t cd, unsigned char byte) {
  char in[1] = {static_cast<char>(byte)};
  char out[8] = {};
  char* inPtr = in;
  char* outPtr = out;
  size_t inLeft = 1;
  size_t outLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || outLeft != 4) {
    return kUndefinedBase + byte;
  }
  std::uint32_t cp = 0;
  for (int i = 0; i < 4; ++i) {
    cp |= static_cast<std::uint32_t>(static_cast<unsigned char>(out[i])) << (8 * i);
  }
  return static_cast<char32_t>(cp);
}

Tables BuildTables() {
  iconv_t cd = iconv_open("UTF-32LE", "CP874");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error("the C library has no CP874 conversion");
  }
  Tables t;
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    t.toUnicode[byte] = ConvertByte(cd, byte);
    t.toByte.emplace(t.toUnicode[byte], byte);
  }
  iconv_close(cd);
  return t;
}

const Tables& GetTables() {
  static const Tables tables = BuildTables();
  return tables;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Reads one UTF-8 sequence at `pos`; a malformed one yields U+FFFD and consumes one byte.
char32_t NextCodePoint(std::string_view s, size_t& pos) {
  const auto lead = static_cast<unsigned char>(s[pos]);
  int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || pos + static_cast<size_t>(length) > s.size()) {
    ++pos;
    return 0xFFFD;
  }
  char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(s[pos + static_cast<size_t>(i)]);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  pos += static_cast<size_t>(length);
  return cp;
}

}  // namespace

std::string Decode(std::string_view bytes) {
  const Tables& t = GetTables();
  std::string out;
  out.reserve(bytes.size() * 3);
  for (const char c : bytes) {
    AppendUtf8(out, t.toUnicode[static_cast<unsigned char>(c)]);
  }
  return out;
}

std::string Encode(std::string_view utf8) {
  const Tables& t = GetTables();
  std::string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    const char32_t cp = NextCodePoint(utf8, pos);
    const auto found = t.toByte.find(cp);
    out += found != t.toByte.end() ? static_cast<char>(found->second) : '?';
  }
  return out;
}

}  // namespace tarnwick::cp874
