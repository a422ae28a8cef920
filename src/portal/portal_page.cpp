#include "portal/portal_page.h"

#include <array>
#include <iterator>

namespace tarnwick {
namespace {

constexpr char kQuote = '"';
constexpr std::string_view kWelcome = "ยินดีต้อนรับเข้าสู่ระบบการประชุมอิเล็กทรอนิกส์";

// Text inside a VBScript string literal: a quote is written twice, or it would end the literal.
std::string InVbString(const std::string& text) {
  std::string out;
  for (const char c : text) {
    out += c;
    if (c == kQuote) {
      out += kQuote;
    }
  }
  return out;
}

std::string Repeat(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) {
    out += piece;
  }
  return out;
}

void AppendHead(std::vector<std::string>& page) {
  const std::string head[] = {
      "<HTML>",
      "<HEAD>",
      "<STYLE>",
      "<!--",
      "TD   {font-size:12pt;font-family: MS Sans Serif;color:DarkBlue}",
      "A:link {text-decoration: underline; font-family:MS Sans Serif; font-size: 11 pt;  color:DarkBlue}",
      "A:visited {text-decoration: underline; font-family:MS Sans Serif; font-size: 11 pt; color:DarkBlue}",
      "A:hover {text-decoration: underline; font-family:MS Sans Serif; font-size: 11 pt; color:Blue}",
      "-->",
      "</STYLE>",
  };
  page.insert(page.end(), std::begin(head), std::end(head));
}

void AppendScriptStart(std::vector<std::string>& page, const std::string& url, const std::string& folder) {
  const std::string lines[] = {
      "<Script Language=VBScript>",
      "<!--",
      "Edate = Now + 1",
      "document.cookie=\"PWRKTW=C; expires=\" & Edate",
      "document.cookie=\"PWRKWST=" + url + ";expires=\" & Edate",
      "document.cookie=\"PWRKDRV=" + folder + ";expires=\" & Edate",
  };
  page.insert(page.end(), std::begin(lines), std::end(lines));
}

void AppendMeetingScript(std::vector<std::string>& page, const PortalMeeting& meeting) {
  const std::string n = std::to_string(meeting.number);
  std::string message;
  for (const auto& line : meeting.messageLines) {
    message += InVbString(line) + " <Br> ";
  }
  const int fillers = meeting.messageLines.size() <= 10 ? 11 - static_cast<int>(meeting.messageLines.size()) : 0;
  const std::string lines[] = {
      "Sub MOver" + n + "()",
      "document.cookie=\"PWRKSUB=TW" + n + ";expires=\" & Edate",
      "MessTxt.InnerHTML = \"<STRONG>" + message + "</STRONG>" + Repeat("<Br>", fillers) + kQuote,
      "End Sub",
  };
  page.insert(page.end(), std::begin(lines), std::end(lines));
}

void AppendScriptEnd(std::vector<std::string>& page, const std::string& url, const std::string& folder) {
  const std::string lines[] = {
      "Sub MOut()",
      "MessTxt.InnerHTML = \"<FONT face=MS Sans Serif size=4 color=darkslateblue><STRONG>" + std::string(kWelcome) +
          "(Tarnwick)<BR><BR><BR><BR><BR><BR><BR></STRONG></FONT>\"",
      "End Sub",
      "Sub Pic(Idv, Imgv)",
      "Idv.Src = Imgv",
      "End Sub",
      "Sub ConServer()",
      "Window.open \"" + url + "?PWRKDRV=" + folder + "\", \"_top\"",
      "End Sub",
      "Sub WrkExit()",
      "Window.Close",
      "End Sub",
      "-->",
      "</Script>",
      "<META HTTP-EQUIV=Content-Type CONTENT=\"text/html; charset=Windows-874\">",
      "<TITLE>Tarnwick Brannock</TITLE>",
      "</HEAD>",
      "<BODY leftmargin=0 marginwidth=0 topMargin=0>",
  };
  page.insert(page.end(), std::begin(lines), std::end(lines));
}

struct BannerColumn {
  int widthPercent;
  const char* imageWidth;
};

constexpr std::array<BannerColumn, 8> kBannerColumns{
    {{24, "304"}, {3, "35"}, {4, "56"}, {7, "85"}, {8, "105"}, {8, "105"}, {1, "81"}, {45, "100%"}}};
constexpr std::array<int, 4> kBannerRowHeights{10, 7, 90, 7};

std::string TwoDigits(int number) {
  return {static_cast<char>('0' + number / 10), static_cast<char>('0' + number % 10)};
}

std::string BannerCell(int row, int column) {
  const int image = row * 8 + column + 1;
  const BannerColumn& c = kBannerColumns[static_cast<size_t>(column)];
  const std::string height = std::to_string(kBannerRowHeights[static_cast<size_t>(row)]);
  if (image == 1) {
    return "<TR><TD width=24%><IMG SRC=imageTarnwick/index_01.gif WIDTH=304 HEIGHT=10></TD>";
  }
  if (image == 30) {
    return "<TD width=8%> <IMG  SRC= imageTarnwick/index_30.gif  WIDTH=105 HEIGHT=7></TD>";
  }
  const std::string imageWidth = image == 8 ? "9" : c.imageWidth;
  return "<TD width=" + std::to_string(c.widthPercent) + "%> <IMG SRC=imageTarnwick/index_" + TwoDigits(image) +
         ".gif WIDTH=" + imageWidth + " HEIGHT=" + height + "></TD>";
}

void AppendBanner(std::vector<std::string>& page) {
  page.emplace_back("<TABLE WIDTH=100% BORDER=0 CELLPADDING=0 CELLSPACING=0>");
  for (int row = 0; row < 4; ++row) {
    if (row > 0) {
      page.emplace_back("<TR>");  // row 1 opens itself in its first cell
    }
    for (int column = 0; column < 8; ++column) {
      page.push_back(BannerCell(row, column));
    }
    page.emplace_back("</TR>");
  }
  const std::string menuRow[] = {
      "<TR>",
      "<TD align=center width=24%> <font color=#014a87 size=1><STRONG>ระบบนี้เป็นการประชุมอิเล็กทรอนิกส์</STRONG></TD>",
      " <TD width=3%> <IMG SRC=imageTarnwick/index_34.gif WIDTH=35 HEIGHT=16></TD>",
      "<TD width=4%><IMG ID=menu1 SRC=imageTarnwick/index_35.gif WIDTH=56 HEIGHT=16 BORDER=0></TD>",
      // One page line each, joined from pieces; in the second no blank comes before "onMouseOut", as on
      // the page the meeting pages were made with.
      "<TD width=7%><IMG ID=menu2c SRC=imageTarnwick/index_36_server.gif WIDTH=85 HEIGHT=16 BORDER=0 "  // NOLINT(bugprone-suspicious-missing-comma)
      "style=\"CURSOR: hand\" onClick=ConServer onMouseOver=\"Pic menu2c, 'imageTarnwick/index_36_server_Over.gif'\" "
      "onMouseOut=\"Pic  menu2c, 'imageTarnwick/index_36_server.gif'\"></TD>",
      "<TD width=8%><IMG ID=menu4 SRC=imageTarnwick/index_39.gif   WIDTH=105 HEIGHT=16 BORDER=0 "  // NOLINT(bugprone-suspicious-missing-comma)
      "style=\"CURSOR: hand\" OnClick=WrkExit onMouseOver=\"Pic menu4, 'imageTarnwick/index_39_Over.gif'\""
      "onMouseOut=\"Pic  menu4, 'imageTarnwick/index_39.gif'\"></TD>",
      "<TD width=7%><IMG  ID=menu3 SRC=imageTarnwick/index_38_blank.gif WIDTH=105 HEIGHT=16 BORDER=0></TD>",
      "<TD width=1%><IMG SRC=imageTarnwick/index_38_blank.gif WIDTH=81 HEIGHT=16></TD>",
      "<TD width=45%> <IMG SRC=imageTarnwick/index_40.gif WIDTH=100% HEIGHT=16></TD>",
      "</TR>",
      "</TABLE>",
  };
  page.insert(page.end(), std::begin(menuRow), std::end(menuRow));
}

void AppendMeetingList(std::vector<std::string>& page, const std::vector<PortalMeeting>& meetings) {
  const std::string heading[] = {
      "<TABLE cellSpacing=0 cellPadding=0 width=100% border=1>",
      "<TR>",
      "<TD  width=22% bgcolor=#d6d8f6>",
      "<TABLE cellSpacing=0 cellPadding=3 width=100% border=0 >",
      "<TR>",
      "<TD bgColor=#0099ff borderColor=black Height=30px>",
      "<FONT face=\" MS  Sans  Serif \"size=2 color=#4859b3><STRONG>รายการประชุม</STRONG></FONT>",
      "</TD>",
      "</TR>",
  };
  page.insert(page.end(), std::begin(heading), std::end(heading));
  for (const auto& meeting : meetings) {
    const std::string n = std::to_string(meeting.number);
    const std::string entry[] = {
        "<TR>",
        "<TD bgColor=#cadcf8>",
        "<BR>",
        "</TD>",
        "</TR>",
        "<TR>",
        "<TD bgColor=#cadcf8 onMouseOver=Mover" + n + " onMouseOut=Mout><IMG src=ImageTarnwick/bullet2.gif>",
        "<A href=TW" + n + "\\MainTarnwick.html><STRONG>" + meeting.title + "</STRONG></A>",
        "</TD>",
        "</TR>",
    };
    page.insert(page.end(), std::begin(entry), std::end(entry));
  }
  page.emplace_back("</TABLE>");
  page.push_back(Repeat("<BR>", 25 - 3 * static_cast<int>(meetings.size())) + "</TD>");
}

void AppendMessagePane(std::vector<std::string>& page) {
  const std::string messagePane[] = {
      "<TD vAlign=top width=88%>",
      "<TABLE  cellSpacing=0 cellPadding=0 width=100% border=0  bgColor=white>",
      "<TR>",
      "<TD width=100% align=middle bgcolor=#cadcf8 colspan =2 Height=30px>",
      "<FONT face=Tahoma color=darkblue size=4>แสดงรายละเอียดการประชุม</FONT>",
      "</TD>",
      "</TR>",
      "<TR>",
      "<TD bgColor=midnightblue></TD>",
      "</TR>",
      "<TR>",
      "<TD ID=MessTxt align=center  style=\"WIDTH:100%; HEIGHT:4in\" Align=Center>",
      "<FONT face=MS Sans Serif size=4 color=darkslateblue>",
      "<STRONG>" + std::string(kWelcome) + "(Tarnwick)<BR><BR><BR><BR><BR><BR><BR></STRONG>",
      "</FONT>",
      "</TD>",
      "</TR>",
      "</TABLE>",
      "</TABLE>",
      "</BODY>",
      "</HTML>",
  };
  page.insert(page.end(), std::begin(messagePane), std::end(messagePane));
}

}  // namespace

std::vector<std::string> BuildPortalPage(const std::string& serverUrl, const std::string& componentFolder,
                                         const std::vector<PortalMeeting>& meetings) {
  const std::string url = InVbString(serverUrl);
  const std::string folder = InVbString(componentFolder);
  std::vector<std::string> page;
  AppendHead(page);
  AppendScriptStart(page, url, folder);
  for (const auto& meeting : meetings) {
    AppendMeetingScript(page, meeting);
  }
  AppendScriptEnd(page, url, folder);
  AppendBanner(page);
  AppendMeetingList(page, meetings);
  AppendMessagePane(page);
  return page;
}

}  // namespace tarnwick
