#include "launch/folder_configuration.h"

#include <string_view>
#include <vector>

#include "base/ascii.h"
#include "base/paths.h"
#include "base/text_lines.h"

namespace tarnwick {
namespace {

constexpr std::string_view kConfigName = "Tarnwick.cfg";

std::vector<std::string> ConfigurationLines(FileSystem& fs, const std::string& componentFolder) {
  const auto config = fs.ReadFile(JoinPathOnce(componentFolder, kConfigName));
  return config ? DecodeTextLines(*config) : std::vector<std::string>{};
}

}  // namespace

std::optional<std::string> ConfiguredServerUrl(FileSystem& fs, const std::string& componentFolder) {
  auto lines = ConfigurationLines(fs, componentFolder);
  if (lines.size() < 2) {
    return std::nullopt;
  }
  return std::move(lines[1]);
}

TransferSettings ConfiguredTransfer(FileSystem& fs, const std::string& componentFolder) {
  const auto lines = ConfigurationLines(fs, componentFolder);
  const std::string_view transport = lines.size() < 3 ? std::string_view() : TrimAscii(lines[2]);
  TransferSettings settings;
  if (EqualIgnoringAsciiCase(transport, "FTPS")) {
    settings.tls = TlsMode::Required;
  } else if (EqualIgnoringAsciiCase(transport, "HTTPS")) {
    settings.protocol = Protocol::Https;
    settings.remotePort = kHttpsPort;
  }
  return settings;
}

}  // namespace tarnwick
