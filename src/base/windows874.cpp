#include "base/windows874.h"

#include <array>
#include <unordered_map>

#include "base/utf8.h"

namespace tarnwick::cp874 {
namespace {

constexpr char32_t kUndefinedBase = 0xF700;

// Bytes 0x80 to 0xFF of the code page; 0 where the code page defines no character.
constexpr std::array<char32_t, 128> kUpperHalf = [] {
  std::array<char32_t, 128> table{};
  table[0x80 - 0x80] = 0x20AC;  // euro sign
  table[0x85 - 0x80] = 0x2026;  // ellipsis
  constexpr char32_t kQuotesAndDashes[] = {0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014};
  for (int i = 0; i < 7; ++i) {
    table[0x91 - 0x80 + i] = kQuotesAndDashes[i];
  }
  table[0xA0 - 0x80] = 0x00A0;  // no-break space
  for (int b = 0xA1; b <= 0xDA; ++b) {
    table[b - 0x80] = 0x0E01 + static_cast<char32_t>(b - 0xA1);  // Thai letters, vowels and tone marks
  }
  for (int b = 0xDF; b <= 0xFB; ++b) {
    table[b - 0x80] = 0x0E3F + static_cast<char32_t>(b - 0xDF);  // baht sign to Thai digits
  }
  return table;
}();

struct Tables {
  std::array<char32_t, 256> toUnicode{};
  std::unordered_map<char32_t, unsigned char> toByte;
};

Tables BuildTables() {
  Tables t;
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    const char32_t defined = b < 0x80 ? static_cast<char32_t>(b) : kUpperHalf[static_cast<size_t>(b - 0x80)];
    t.toUnicode[byte] = defined != 0 || b == 0 ? defined : kUndefinedBase + byte;
    t.toByte.emplace(t.toUnicode[byte], byte);
  }
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
    const char32_t cp = ReadUtf8CodePoint(utf8, pos).value_or(0xFFFD);
    const auto found = t.toByte.find(cp);
    out += found != t.toByte.end() ? static_cast<char>(found->second) : '?';
  }
  return out;
}

}  // namespace tarnwick::cp874
