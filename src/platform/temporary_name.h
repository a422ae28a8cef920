// The name a file is written under beside its target until it is complete: "." + name + ".part-" + six
// ASCII letters or digits, the name shortened so that the whole fits in 255 units (bytes on POSIX,
// UTF-16 units on Windows). One rule for the byte names of POSIX and the wide names of Windows, so that
// each file system recognises what an interrupted run left, and nothing else.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

namespace tarnwick {

inline constexpr std::size_t kMaxNameUnits = 255;
inline constexpr std::string_view kTemporaryMarker = ".part-";
inline constexpr std::string_view kTemporarySuffixLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
inline constexpr std::size_t kTemporarySuffixLength = 6;
// "." before the name, the marker and the suffix after it.
inline constexpr std::size_t kTemporaryExtraUnits = 1 + kTemporaryMarker.size() + kTemporarySuffixLength;

namespace temporary_name_detail {

template <typename Char>
bool IsSuffixLetter(Char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The first half of a UTF-16 surrogate pair; no byte of a UTF-8 name is one.
template <typename Char>
bool IsHighSurrogate(Char c) {
  const auto unit = static_cast<char32_t>(static_cast<std::make_unsigned_t<Char>>(c));
  return unit >= 0xD800 && unit <= 0xDBFF;
}

}  // namespace temporary_name_detail

// The temporary name for a file of this name (a name, not a path); `random()` gives unsigned numbers.
template <typename Char, typename Random>
std::basic_string<Char> TemporaryName(std::basic_string_view<Char> name, Random& random) {
  // A name that fits on disk must get a temporary name that fits too: the name is shortened as needed,
  // never between the two halves of a surrogate pair.
  std::size_t keep = std::min(name.size(), kMaxNameUnits - kTemporaryExtraUnits);
  if (keep > 0 && keep < name.size() && temporary_name_detail::IsHighSurrogate(name[keep - 1])) {
    --keep;
  }
  std::basic_string<Char> temporary(1, Char('.'));
  temporary += name.substr(0, keep);
  temporary.append(kTemporaryMarker.begin(), kTemporaryMarker.end());
  for (std::size_t i = 0; i < kTemporarySuffixLength; ++i) {
    temporary += static_cast<Char>(kTemporarySuffixLetters[random() % kTemporarySuffixLetters.size()]);
  }
  return temporary;
}

// Whether a name is one that TemporaryName gives.
template <typename Char>
bool IsTemporaryName(std::basic_string_view<Char> name) {
  if (name.size() < kTemporaryExtraUnits + 1 || name[0] != Char('.')) {
    return false;
  }
  const std::basic_string_view<Char> tail = name.substr(name.size() - kTemporaryMarker.size() - kTemporarySuffixLength);
  return std::equal(kTemporaryMarker.begin(), kTemporaryMarker.end(), tail.begin()) &&
         std::all_of(tail.begin() + kTemporaryMarker.size(), tail.end(), temporary_name_detail::IsSuffixLetter<Char>);
}

}  // namespace tarnwick
