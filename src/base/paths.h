// Paths as the logic builds them: parts joined with "\", whatever the host's own separator is.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// folder + "\" + name, the separator added even when the folder already ends in one.
std::string JoinPath(std::string_view folder, std::string_view name);

// folder + "\" + name, without a second separator when the folder already ends in "\" or "/"
// (a component folder at the root of a drive).
std::string JoinPathOnce(std::string_view folder, std::string_view name);

// The text after the last "\", or all of it when it holds none.
std::string LastBackslashComponent(std::string_view path);

}  // namespace tarnwick
