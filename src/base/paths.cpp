#include "base/paths.h"

namespace tarnwick {

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += '\\';
  path += name;
  return path;
}

std::string JoinPathOnce(std::string_view folder, std::string_view name) {
  const bool endsWithSeparator = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
  return endsWithSeparator ? std::string(folder) + std::string(name) : JoinPath(folder, name);
}

std::string LastBackslashComponent(std::string_view path) {
  const size_t last = path.rfind('\\');
  return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

}  // namespace tarnwick
