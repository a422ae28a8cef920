// Windows-874 through the Windows API: the system's own code page 874, so that names and texts mean what
// they mean to every other program on the machine. On Windows the base library is built with
// windows874_win32.cpp in place of src/base/windows874.cpp and keeps the declarations of
// base/windows874.h; that table codec has no OS header and would work here too, but could disagree with
// the system on a byte that only the system's table defines.
//
// - [x] Decode with MultiByteToWideChar(874, MB_ERR_INVALID_CHARS)
// - [x] the bytes the system leaves undefined (0xDB-0xDE and 0xFC-0xFF under Wine 8) carried as
//       U+F700 + byte and written back as that byte, so Encode(Decode(b)) == b for every byte string
// - [x] Encode with WideCharToMultiByte(874, WC_NO_BEST_FIT_CHARS): a character the code page cannot hold
//       becomes "?" (one for each code point, one for each byte of a malformed UTF-8 sequence, as the
//       table codec does)
// - [x] embedded NUL bytes
// - [ ] the table codec's meaning of 0x81-0x9F where the system differs (Wine 8 maps the undefined bytes
//       among them to the controls U+0081-U+009F, the table codec carries them as U+F7xx; either way
//       they come back as the same byte)
// - [ ] strings of 2 GiB or more (the API counts in int)
// - [ ] a system without code page 874 (the first conversion throws std::runtime_error)
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/windows874.h"

namespace tarnwick {

// The program's UTF-8 as the system's UTF-16, for the wide-character API: each byte of a malformed
// sequence becomes one U+FFFD.
std::wstring WideFromUtf8(std::string_view utf8);

// The system's UTF-16 as the program's UTF-8: an unpaired surrogate becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view wide);

// The program's arguments as the system holds them, in UTF-16, as UTF-8 (the C runtime's would pass through
// the ANSI code page); without the program's own name.
std::vector<std::string> CommandLineArguments();

}  // namespace tarnwick
