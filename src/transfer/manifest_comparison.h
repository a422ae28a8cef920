// The update manifest and the comparison that decides which files a run fetches.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "window/string_list.h"

namespace tarnwick {

struct Manifest {
  std::string generation;  // line 1
  std::string revision;    // line 2
  std::vector<std::string> entries;
};

// Nothing when the text holds fewer than two lines.
std::optional<Manifest> ParseManifest(std::string_view bytes);

// The file's name: the text of an entry line before its first blank; empty for a line without one.
std::string EntryName(std::string_view line);

// Walks the kept and the new entries (both sorted lists) together: new and changed names go to fLst,
// names of kept entries that the new manifest no longer lists go to dLst.
void CompareIncrementally(const StringList& kept, const StringList& fresh, StringList& fLst, StringList& dLst);

}  // namespace tarnwick
