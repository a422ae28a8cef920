// The component folder as the executable finds and furnishes it, on every system.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick {

// A path the system's file API reads right from UTF-8 text (Thai names included), on every system.
std::filesystem::path PathFromUtf8(const std::string& text);

// This program's own file, absolute; empty when the system cannot tell. (Defined with the desktop
// integration of each system.)
std::filesystem::path ExecutablePath();

// The entry of the folder with that name in any letter case, as the logic finds names.
std::optional<std::filesystem::path> FindIgnoringCase(const std::filesystem::path& folder,
                                                      const std::filesystem::path& name);

// Copies what `defaults` holds (an installed copy's configuration and images) into the component folder,
// each file or folder only where the folder has none of that name in any letter case: nothing there is
// overwritten. A file appears whole or not at all. What cannot be copied is said on standard error.
void LayInComponentDefaults(const std::filesystem::path& defaults, const std::filesystem::path& folder);

}  // namespace tarnwick
