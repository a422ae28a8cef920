// The manifest that tarnwick-publish writes for a meeting folder on the server: an entry with the size and
// SHA-256 of every file, in the component's order; the generation kept unless a new one is asked for; the
// revision changed exactly when an entry changed, so that participants fetch what changed and nothing else.
// Pure: the program lists the folder and reads its files.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/manifest.h"

namespace tarnwick {

enum class ItemKind { File, Folder, Other };

// A name in the meeting folder, UTF-8 as the component keeps names, and what it is.
struct FolderItem {
  std::string name;
  ItemKind kind = ItemKind::File;
};

// A file's length and SHA-256 (64 lower-case hex digits), from one reading of it.
struct FileFacts {
  std::uint64_t size = 0;
  std::string sha256;
};

// Reads a file of the folder by its name; throws std::runtime_error when it cannot.
using FactsReader = std::function<FileFacts(const std::string& name)>;

struct PublishOptions {
  bool newGeneration = false;
  std::string generation;               // a new generation's text; empty: `now`
  std::optional<std::string> revision;  // line 2 as given, whatever changed
  std::string now;                      // the time, readable
};

struct Publication {
  std::vector<std::string> refusals;  // "NAME: why"; with any, nothing is to be written
  std::string bytes;                  // the manifest file
  Manifest manifest;
  bool newGeneration = false;
  std::vector<std::string> added, changed, removed;  // names, in the order of the entries
};

// The manifest itself, under either spelling and in any letter case, and signature files: never listed.
bool LeftOutOfManifest(std::string_view name);

// Why a file of this name cannot have an entry; nothing when it can.
std::optional<std::string> NameRefusal(std::string_view name);

// The manifest for the folder's items; `previous` is the folder's manifest as it stands (nothing: none, or one
// the component cannot read). No file is read while a name or an item is refused.
Publication Publish(const std::optional<Manifest>& previous, const std::vector<FolderItem>& items,
                    const FactsReader& read, const PublishOptions& options);

}  // namespace tarnwick
