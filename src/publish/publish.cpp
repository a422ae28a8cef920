#include "publish/publish.h"

#include <iterator>
#include <unordered_set>

#include "base/ascii.h"
#include "base/text_lines.h"
#include "base/utf8.h"
#include "base/windows874.h"

namespace tarnwick {
namespace {

constexpr std::string_view kSignatureSuffix = ".minisig";
// A participant's Windows cannot hold these in a name; "\" would also make the component write into a subfolder.
constexpr std::string_view kNotInWindowsNames = "\\/:*?\"<>|";
constexpr size_t kMostFiles = kMaxListEntries - std::size(kFixedTail);
constexpr std::uint64_t kLineEndBytes = 2;

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Why a text cannot be a line of the manifest; nothing when it can.
std::optional<std::string> TextRefusal(std::string_view text) {
  for (size_t pos = 0; pos < text.size();) {
    const auto c = ReadUtf8CodePoint(text, pos);
    if (!c) {
      return "not UTF-8";
    }
    if (IsControl(*c)) {
      return "holds a control character";
    }
  }
  if (cp874::Decode(cp874::Encode(text)) != text) {
    return "holds a character that Windows-874 cannot hold";
  }
  if (cp874::Encode(text).size() + kLineEndBytes > kMaxEntryLineBytes) {
    return "longer than a manifest line may be (" + std::to_string(kMaxEntryLineBytes) + " bytes)";
  }
  return std::nullopt;
}

// The trailing number counted up ("revision 9": "revision 10"); a revision without one gets " 2".
std::string NextRevision(std::string_view revision) {
  size_t start = revision.size();
  while (start > 0 && IsDigit(revision[start - 1])) {
    --start;
  }
  if (start == revision.size()) {
    return revision.empty() ? "1" : std::string(revision) + " 2";
  }
  std::string next(revision);
  size_t at = next.size();
  while (at > start && next[at - 1] == '9') {
    next[--at] = '0';
  }
  if (at == start) {
    next.insert(start, "1");
  } else {
    ++next[at - 1];
  }
  return next;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// Line 1: kept, or new when asked for or when the folder has none the component can tell apart from a
// participant's empty one.
std::string Generation(const std::optional<Manifest>& previous, const PublishOptions& options, Publication& out) {
  const bool usable = previous && !previous->generation.empty();
  out.newGeneration = options.newGeneration || !usable;
  if (!out.newGeneration) {
    return previous->generation;
  }
  if (!options.generation.empty()) {
    if (const auto why = TextRefusal(options.generation)) {
      out.refusals.push_back("the generation " + Quoted(options.generation) + ": " + *why);
    } else if (usable && options.generation == previous->generation) {
      out.refusals.push_back("the generation " + Quoted(options.generation) + " is the folder's current one");
    }
    return options.generation;
  }
  std::string generation = options.now;
  for (int n = 2; usable && generation == previous->generation; ++n) {
    generation = options.now + " " + std::to_string(n);
  }
  return generation;
}

}  // namespace

bool LeftOutOfManifest(std::string_view name) {
  // Both spellings differ only in letter case.
  static_assert(kServerManifestName.size() == kKeptManifestName.size());
  return EqualIgnoringAsciiCase(name, kServerManifestName) ||
         (name.size() > kSignatureSuffix.size() &&
          EqualIgnoringAsciiCase(name.substr(name.size() - kSignatureSuffix.size()), kSignatureSuffix));
}

std::optional<std::string> NameRefusal(std::string_view name) {
  if (name.find(' ') != std::string_view::npos) {
    return "holds a blank, which ends an entry's name";
  }
  if (const size_t at = name.find_first_of(kNotInWindowsNames); at != std::string_view::npos) {
    return "holds " + Quoted(name.substr(at, 1)) + ", which a Windows file name cannot";
  }
  return TextRefusal(name);
}

Publication Publish(const std::optional<Manifest>& previous, const std::vector<FolderItem>& items,
                    const FactsReader& read, const PublishOptions& options) {
  Publication out;
  std::vector<std::string> names;
  for (const auto& item : items) {
    if (item.kind == ItemKind::Folder) {
      out.refusals.push_back(item.name + ": a subfolder (a manifest lists only the folder's own files)");
    } else if (item.kind == ItemKind::Other) {
      out.refusals.push_back(item.name + ": not a plain file");
    } else if (LeftOutOfManifest(item.name)) {
      continue;
    } else if (const auto why = NameRefusal(item.name)) {
      out.refusals.push_back(item.name + ": " + *why);
    } else {
      names.push_back(item.name);
    }
  }
  if (names.size() > kMostFiles) {
    out.refusals.push_back(std::to_string(names.size()) + " files: a manifest lists at most " +
                           std::to_string(kMostFiles));
  }
  out.manifest.generation = Generation(previous, options, out);
  if (options.revision) {
    if (const auto why = TextRefusal(*options.revision)) {
      out.refusals.push_back("the revision " + Quoted(*options.revision) + ": " + *why);
    }
  }
  if (!out.refusals.empty()) {
    return out;
  }

  for (const auto& name : names) {
    const FileFacts facts = read(name);
    std::string line = name + " size=" + std::to_string(facts.size) + " sha256=" + facts.sha256;
    if (cp874::Encode(line).size() + kLineEndBytes > kMaxEntryLineBytes) {
      out.refusals.push_back(name + ": its entry is longer than a manifest line may be (" +
                             std::to_string(kMaxEntryLineBytes) + " bytes)");
    }
    out.manifest.entries.push_back(std::move(line));
  }
  out.manifest.entries = SortedEntries(std::move(out.manifest.entries));

  // What a participant who kept the previous manifest would find changed.
  const std::vector<std::string> kept = previous ? SortedEntries(previous->entries) : std::vector<std::string>{};
  std::vector<std::string> fetched;
  std::vector<std::string> gone;
  CompareEntryLists(kept, out.manifest.entries, fetched, gone);
  std::unordered_set<std::string_view> keptNames;
  for (const auto& line : kept) {
    keptNames.insert(EntryName(line));
  }
  for (auto& name : fetched) {
    (keptNames.contains(name) ? out.changed : out.added).push_back(std::move(name));
  }
  for (auto& name : gone) {
    if (!name.empty()) {
      out.removed.push_back(std::move(name));
    }
  }
  const bool entryChanged = !out.added.empty() || !out.changed.empty() || !out.removed.empty();

  if (options.revision) {
    out.manifest.revision = *options.revision;
    // Participants who kept this revision would compare nothing and miss the change.
    if (entryChanged && !out.newGeneration && *options.revision == previous->revision) {
      out.refusals.push_back("the revision " + Quoted(*options.revision) +
                             " is the folder's current one, and files changed: give another");
    }
  } else if (!previous) {
    out.manifest.revision = "1";
  } else {
    out.manifest.revision = entryChanged ? NextRevision(previous->revision) : previous->revision;
  }

  std::vector<std::string> lines{out.manifest.generation, out.manifest.revision};
  lines.insert(lines.end(), out.manifest.entries.begin(), out.manifest.entries.end());
  out.bytes = EncodeTextLines(lines);
  if (out.bytes.size() > kMaxManifestBytes) {
    out.refusals.push_back("the manifest would be " + std::to_string(out.bytes.size()) +
                           " bytes; the component reads at most " + std::to_string(kMaxManifestBytes));
  }
  return out;
}

}  // namespace tarnwick
