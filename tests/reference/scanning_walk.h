// The walk through two sorted entry lists as first written, with a forward scan for every "does the name
// occur further on": slow, but plainly right. The unit tests and the fuzzer hold the fast walk of
// CompareEntryLists, and SortedEntries, against it.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/manifest.h"

namespace tarnwick::reference {

inline bool NameOccursFrom(const std::vector<std::string>& list, size_t from, std::string_view name) {
  for (size_t i = from; i < list.size(); ++i) {
    if (EntryName(list[i]) == name) {
      return true;
    }
  }
  return false;
}

// The entries in the order of CompareEntries, by the plainest sort there is.
inline std::vector<std::string> PlainSort(std::vector<std::string> entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const std::string& a, const std::string& b) { return CompareEntries(a, b) < 0; });
  return entries;
}

inline void ScanningWalk(const std::vector<std::string>& kept, const std::vector<std::string>& fresh,
                         std::vector<std::string>& download, std::vector<std::string>& noLongerListed) {
  size_t k = 0;
  size_t n = 0;
  while (n < fresh.size()) {
    const std::string newName(EntryName(fresh[n]));
    if (k >= kept.size()) {
      download.push_back(newName);
      ++n;
      continue;
    }
    const std::string keptName(EntryName(kept[k]));
    if (fresh[n] == kept[k]) {
      ++k;
      ++n;
    } else if (newName == keptName) {
      download.push_back(newName);
      ++k;
      ++n;
    } else if (CompareEntries(keptName, newName) < 0) {
      if (NameOccursFrom(fresh, n, keptName)) {
        ++n;
      } else {
        noLongerListed.push_back(keptName);
        ++k;
      }
    } else if (NameOccursFrom(kept, k + 1, newName)) {
      ++k;
    } else {
      download.push_back(newName);
      ++n;
    }
  }
  for (; k < kept.size(); ++k) {
    const std::string keptName(EntryName(kept[k]));
    if (!NameOccursFrom(fresh, 0, keptName)) {
      noLongerListed.push_back(keptName);
    }
  }
}

}  // namespace tarnwick::reference
