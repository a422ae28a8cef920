// The text of the portal page "Tarnwick.html", built whole before it is written.
#pragma once

#include <string>
#include <vector>

namespace tarnwick {

struct PortalMeeting {
  int number;                             // 1 to 9: the folder TW<number>
  std::string title;                      // line 1 of its message file
  std::vector<std::string> messageLines;  // lines 2 to the end
};

// The page's lines, without line ends. Two of them are each one line built from several pieces: a
// meeting's "MessTxt.InnerHTML = " line (its message, then its "<Br>" fillers), and the line after the
// meeting list ("<BR>" once for each free place, then "</TD>").
std::vector<std::string> BuildPortalPage(const std::string& serverUrl, const std::string& componentFolder,
                                         const std::vector<PortalMeeting>& meetings);

}  // namespace tarnwick
