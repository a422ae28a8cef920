#include "app/component_folder.h"

#include <iostream>

#include "app/run.h"
#include "base/ascii.h"
#include "base/escaped_text.h"

namespace tarnwick {
namespace {

std::string Utf8Name(const std::filesystem::path& path) {
  const std::u8string name = path.filename().u8string();
  return {name.begin(), name.end()};
}

void CopyMissing(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error) {
  for (const auto& entry : std::filesystem::directory_iterator(from, error)) {
    const auto name = entry.path().filename();
    const auto present = FindIgnoringCase(to, name);
    if (entry.is_directory()) {
      if (!present && !std::filesystem::create_directory(to / name, error)) {
        return;
      }
      CopyMissing(entry.path(), present.value_or(to / name), error);
    } else if (!present) {
      // Under a temporary name first: a copy cut short must not pass for the file, which is never replaced.
      const auto temporary = to / PathFromUtf8("." + Utf8Name(name) + ".part-defaults");
      if (!std::filesystem::copy_file(entry.path(), temporary, std::filesystem::copy_options::overwrite_existing,
                                      error)) {
        return;
      }
      std::filesystem::rename(temporary, to / name, error);
    }
    if (error) {
      return;
    }
  }
}

}  // namespace

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::optional<std::filesystem::path> FindIgnoringCase(const std::filesystem::path& folder,
                                                      const std::filesystem::path& name) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (EqualIgnoringAsciiCase(Utf8Name(entry.path()), Utf8Name(name))) {
      return entry.path();
    }
  }
  return std::nullopt;
}

void LayInComponentDefaults(const std::filesystem::path& defaults, const std::filesystem::path& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(defaults, error)) {
    return;
  }
  CopyMissing(defaults, folder, error);
  if (error) {
    std::cerr << kApplicationName << ": cannot lay the default configuration and images into "
              << EscapeControls(folder.string()) << ": " << error.message() << "\n";
  }
}

}  // namespace tarnwick
