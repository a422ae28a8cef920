#include "win32_codec/windows874_win32.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <array>
#include <climits>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick::cp874 {
namespace {

constexpr UINT kCodePage = 874;
constexpr wchar_t kUndefinedBase = 0xF700;
constexpr wchar_t kReplacement = 0xFFFD;

int ApiLength(size_t size) {
  if (size > static_cast<size_t>(INT_MAX)) {
    throw std::length_error("text too long for the code page conversion");
  }
  return static_cast<int>(size);
}

// Appends the conversion of `bytes` from the code page; false, with nothing appended, when the system
// refuses it (with MB_ERR_INVALID_CHARS: a byte it leaves undefined, a malformed UTF-8 sequence).
bool AppendWide(std::wstring& wide, UINT codePage, DWORD flags, std::string_view bytes) {
  if (bytes.empty()) {
    return true;
  }
  const int length = ApiLength(bytes.size());
  const int needed = MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
  if (needed <= 0) {
    return false;
  }
  const size_t at = wide.size();
  wide.resize(at + static_cast<size_t>(needed));
  MultiByteToWideChar(codePage, flags, bytes.data(), length, wide.data() + at, needed);
  return true;
}

// Which bytes the system's code page leaves undefined; asked once, byte by byte (it is a single-byte
// code page, so a byte alone means what it means in any text).
const std::array<bool, 256>& UndefinedBytes() {
  static const std::array<bool, 256> undefined = [] {
    if (!IsValidCodePage(kCodePage)) {
      throw std::runtime_error("code page 874 is not installed");
    }
    std::array<bool, 256> table{};
    for (int b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      wchar_t unit = 0;
      table[static_cast<size_t>(b)] = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, &byte, 1, &unit, 1) != 1;
    }
    return table;
  }();
  return undefined;
}

bool IsCarrier(wchar_t unit) {
  return unit >= kUndefinedBase && unit <= kUndefinedBase + 0xFF &&
         UndefinedBytes()[static_cast<size_t>(unit - kUndefinedBase)];
}

bool IsSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

size_t SequenceLength(char lead) {
  const auto byte = static_cast<unsigned char>(lead);
  return byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 0;
}

std::wstring WideFromUtf8(std::string_view utf8) {
  std::wstring wide;
  wide.reserve(utf8.size());
  if (AppendWide(wide, CP_UTF8, MB_ERR_INVALID_CHARS, utf8)) {
    return wide;
  }
  // Malformed somewhere: one sequence at a time, so that every byte the system refuses becomes one
  // U+FFFD. The system's own replacement merges some (Wine 8 gives one for "\xE0\x80\xAE").
  wide.clear();
  for (size_t pos = 0; pos < utf8.size();) {
    const size_t length = SequenceLength(utf8[pos]);
    if (length != 0 && pos + length <= utf8.size() &&
        AppendWide(wide, CP_UTF8, MB_ERR_INVALID_CHARS, utf8.substr(pos, length))) {
      pos += length;
    } else {
      wide += kReplacement;
      ++pos;
    }
  }
  return wide;
}

// Appends a run of characters that are neither carriers nor surrogates.
void AppendCodePageBytes(std::string& out, std::wstring_view run) {
  if (run.empty()) {
    return;
  }
  const int length = ApiLength(run.size());
  const size_t at = out.size();
  out.resize(at + run.size());  // one byte for each character: a single-byte code page
  BOOL usedDefault = FALSE;
  const int written = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, run.data(), length, out.data() + at, length,
                                          "?", &usedDefault);
  if (written != length) {
    throw std::runtime_error("code page 874 conversion failed");
  }
  // The system writes U+F8C1 as 0xDB, a byte it leaves undefined when reading: that character is not one
  // the code page holds, as reading the byte back would not give it.
  for (size_t i = at; i < out.size(); ++i) {
    if (UndefinedBytes()[static_cast<unsigned char>(out[i])]) {
      out[i] = '?';
    }
  }
}

}  // namespace

std::string Decode(std::string_view bytes) {
  const auto& undefined = UndefinedBytes();
  std::wstring wide;
  wide.reserve(bytes.size());
  for (size_t start = 0; start < bytes.size();) {
    size_t end = start;
    while (end < bytes.size() && !undefined[static_cast<unsigned char>(bytes[end])]) {
      ++end;
    }
    if (!AppendWide(wide, kCodePage, MB_ERR_INVALID_CHARS, bytes.substr(start, end - start))) {
      throw std::runtime_error("code page 874 conversion failed");
    }
    if (end < bytes.size()) {
      wide += static_cast<wchar_t>(kUndefinedBase + static_cast<unsigned char>(bytes[end]));
      ++end;
    }
    start = end;
  }
  if (wide.empty()) {
    return {};
  }
  const int length = ApiLength(wide.size());
  const int needed = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), needed, nullptr, nullptr);
  return utf8;
}

std::string Encode(std::string_view utf8) {
  const std::wstring wide = WideFromUtf8(utf8);
  const std::wstring_view units = wide;
  std::string out;
  out.reserve(units.size());
  for (size_t start = 0; start < units.size();) {
    size_t end = start;
    while (end < units.size() && !IsCarrier(units[end]) && !IsSurrogate(units[end])) {
      ++end;
    }
    AppendCodePageBytes(out, units.substr(start, end - start));
    if (end < units.size()) {
      if (IsCarrier(units[end])) {
        out += static_cast<char>(units[end] - kUndefinedBase);
        ++end;
      } else {
        out += '?';  // a character beyond U+FFFF, one "?" for its pair of surrogates
        end += end + 1 < units.size() && IsSurrogate(units[end + 1]) ? 2 : 1;
      }
    }
    start = end;
  }
  return out;
}

}  // namespace tarnwick::cp874

namespace tarnwick {

std::wstring WideFromUtf8(std::string_view utf8) { return cp874::WideFromUtf8(utf8); }

std::string Utf8FromWide(std::wstring_view wide) {
  if (wide.empty()) {
    return {};
  }
  const int length = static_cast<int>(std::min<size_t>(wide.size(), INT_MAX));
  const int needed = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(std::max(needed, 0)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), needed, nullptr, nullptr);
  return utf8;
}

std::vector<std::string> CommandLineArguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) {
    args.push_back(Utf8FromWide(wide[i]));
  }
  LocalFree(wide);
  return args;
}

}  // namespace tarnwick
