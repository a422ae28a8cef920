#include "transfer/manifest_comparison.h"

#include "platform/text_lines.h"

namespace tarnwick {
namespace {

bool NameOccursFrom(const StringList& list, Int16 from, const std::string& name) {
  for (Int16 i = from; i < list.ListCount(); i += 1) {
    if (EntryName(list.List(i)) == name) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<Manifest> ParseManifest(std::string_view bytes) {
  auto lines = DecodeTextLines(bytes);
  if (lines.size() < 2) {
    return std::nullopt;
  }
  Manifest manifest{std::move(lines[0]), std::move(lines[1]), {}};
  manifest.entries.assign(std::make_move_iterator(lines.begin() + 2), std::make_move_iterator(lines.end()));
  return manifest;
}

std::string EntryName(std::string_view line) {
  const size_t blank = line.find(' ');
  return blank == std::string_view::npos ? std::string() : std::string(line.substr(0, blank));
}

void CompareIncrementally(const StringList& kept, const StringList& fresh, StringList& fLst, StringList& dLst) {
  Int16 k = 0;
  Int16 n = 0;
  while (n < fresh.ListCount()) {
    const std::string& newLine = fresh.List(n);
    const std::string newName = EntryName(newLine);
    if (k >= kept.ListCount()) {
      fLst.AddItem(newName);
      n += 1;
      continue;
    }
    const std::string& keptLine = kept.List(k);
    const std::string keptName = EntryName(keptLine);
    if (newLine == keptLine) {
      k += 1;
      n += 1;
    } else if (newName == keptName) {
      fLst.AddItem(newName);
      k += 1;
      n += 1;
    } else if (CompareFolded(keptName, newName) < 0) {
      if (NameOccursFrom(fresh, n, keptName)) {
        n += 1;
      } else {
        dLst.AddItem(keptName);
        k += 1;
      }
    } else if (NameOccursFrom(kept, Int16(k + 1), newName)) {
      k += 1;
    } else {
      fLst.AddItem(newName);
      n += 1;
    }
  }
}

}  // namespace tarnwick
