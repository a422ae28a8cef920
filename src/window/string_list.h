// The window's hidden string lists. A sorted list keeps its items in ascending order of the text with
// the ASCII letters folded to lower case, compared code unit by code unit, ties broken by the
// unfolded text; an unsorted list keeps the order of addition. At most 32,767 items.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/int16.h"

namespace tarnwick {

// The order of the sorted lists, also used by the manifest comparison.
int CompareFolded(std::string_view a, std::string_view b);

class StringList {
 public:
  explicit StringList(bool sorted) : sorted_(sorted) {}

  void AddItem(const std::string& item);  // throws OverflowError when the list is full
  Int16 ListCount() const { return Int16(static_cast<long long>(items_.size())); }
  const std::string& List(int index) const { return items_.at(static_cast<size_t>(index)); }
  void Clear() { items_.clear(); }
  const std::vector<std::string>& Items() const { return items_; }

 private:
  bool sorted_;
  std::vector<std::string> items_;
};

}  // namespace tarnwick
