// The portal page carries text from the meeting server (titles, message lines) and from the component
// folder into HTML and into VBScript string literals. Input: a text file in Windows-874 read as the
// message files are; line 1 the server's web address, line 2 the component folder, then "#<n> title"
// starts meeting n, and the lines after it are its message.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_lines.h"
#include "fuzz_check.h"
#include "portal/portal_page.h"

namespace {

std::vector<tarnwick::PortalMeeting> MeetingsFrom(const std::vector<std::string>& lines) {
  std::vector<tarnwick::PortalMeeting> meetings;
  bool taking = false;  // whether the lines go to the last meeting
  for (size_t i = 2; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.size() >= 2 && line[0] == '#' && line[1] >= '1' && line[1] <= '9') {
      // The folder scan gives each number once, ascending: a number out of order starts nothing.
      const int number = line[1] - '0';
      taking = meetings.empty() || number > meetings.back().number;
      if (taking) {
        meetings.push_back({number, line.substr(line.size() > 2 && line[2] == ' ' ? 3 : 2), {}});
      }
    } else if (taking) {
      meetings.back().messageLines.push_back(line);
    }
  }
  return meetings;
}

size_t Quotes(const std::string& line) { return static_cast<size_t>(std::count(line.begin(), line.end(), '"')); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto lines = tarnwick::DecodeTextLines(std::string_view(reinterpret_cast<const char*>(data), size));
  if (lines.size() < 2) {
    return 0;
  }
  const auto meetings = MeetingsFrom(lines);
  const auto page = tarnwick::BuildPortalPage(lines[0], lines[1], meetings);

  FUZZ_REQUIRE(!page.empty());
  FUZZ_REQUIRE(page.front() == "<HTML>");
  FUZZ_REQUIRE(page.back() == "</HTML>");

  for (int number = 1; number <= 9; ++number) {
    const bool listed = std::any_of(meetings.begin(), meetings.end(),
                                    [&](const tarnwick::PortalMeeting& m) { return m.number == number; });
    const auto subs = std::count(page.begin(), page.end(), "Sub MOver" + std::to_string(number) + "()");
    FUZZ_REQUIRE(subs == (listed ? 1 : 0));
  }

  // Inside the script every literal must close on its own line, whatever quotes the texts bring.
  const auto scriptStart = std::find(page.begin(), page.end(), "<Script Language=VBScript>");
  FUZZ_REQUIRE(scriptStart != page.end());
  const auto scriptEnd = std::find(scriptStart, page.end(), "</Script>");
  FUZZ_REQUIRE(scriptEnd != page.end());
  for (auto line = scriptStart; line != scriptEnd; ++line) {
    FUZZ_REQUIRE(Quotes(*line) % 2 == 0);
  }
  return 0;
}
