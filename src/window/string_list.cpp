#include "window/string_list.h"

#include <algorithm>

namespace tarnwick {
namespace {

constexpr size_t kMaxItems = 32767;

unsigned char FoldAscii(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

int CompareBytes(std::string_view a, std::string_view b, bool fold) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const unsigned char x = fold ? FoldAscii(a[i]) : static_cast<unsigned char>(a[i]);
    const unsigned char y = fold ? FoldAscii(b[i]) : static_cast<unsigned char>(b[i]);
    if (x != y) {
      return x < y ? -1 : 1;
    }
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

int CompareFolded(std::string_view a, std::string_view b) {
  const int folded = CompareBytes(a, b, true);
  return folded != 0 ? folded : CompareBytes(a, b, false);
}

void StringList::AddItem(const std::string& item) {
  if (items_.size() >= kMaxItems) {
    throw OverflowError();
  }
  if (!sorted_) {
    items_.push_back(item);
    return;
  }
  const auto place = std::upper_bound(items_.begin(), items_.end(), item,
                                      [](const std::string& a, const std::string& b) { return CompareFolded(a, b) < 0; });
  items_.insert(place, item);
}

}  // namespace tarnwick
