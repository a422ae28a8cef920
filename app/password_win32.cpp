#include <windows.h>

#include <iostream>

#include <sodium.h>

#include "app/password.h"

namespace tarnwick {
namespace {

HANDLE console = nullptr;
DWORD shownMode = 0;  // the console's input mode as it was, with echo

// Ctrl+C or a closed window while the password is typed leaves the console echoing again.
BOOL WINAPI RestoreOnEnd(DWORD) {
  SetConsoleMode(console, shownMode);
  return FALSE;  // and the program ends as it would have
}

// The typed line, each UTF-16 unit as UTF-8 bytes (a pair of surrogates together). False when nothing came.
bool ReadConsoleLine(Password& password) {
  wchar_t units[2] = {};
  char bytes[4] = {};
  DWORD got = 0;
  bool any = false;
  bool more = true;
  while (more && ReadConsoleW(console, &units[0], 1, &got, nullptr) && got == 1) {
    any = true;
    int count = 1;
    if (units[0] >= 0xD800 && units[0] < 0xDC00 && ReadConsoleW(console, &units[1], 1, &got, nullptr) && got == 1) {
      count = 2;
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, units, count, bytes, sizeof bytes, nullptr, nullptr);
    for (int i = 0; more && i < length; ++i) {
      more = password.Take(bytes[i]);
    }
  }
  sodium_memzero(units, sizeof units);
  sodium_memzero(bytes, sizeof bytes);
  return any;
}

// A byte at a time: nothing after the line is taken from a script's input.
bool ReadFileLine(HANDLE input, Password& password) {
  char byte = 0;
  DWORD got = 0;
  bool any = false;
  while (ReadFile(input, &byte, 1, &got, nullptr) && got == 1) {
    any = true;
    if (!password.Take(byte)) {
      break;
    }
  }
  sodium_memzero(&byte, sizeof byte);
  return any;
}

}  // namespace

bool ReadPassword(const std::string& prompt, Password& password) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) {
    return ReadFileLine(input, password);
  }
  console = input;
  shownMode = mode;
  SetConsoleCtrlHandler(RestoreOnEnd, TRUE);
  SetConsoleMode(input, (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT);
  std::cerr << prompt << std::flush;
  const bool any = ReadConsoleLine(password);
  SetConsoleMode(input, mode);
  SetConsoleCtrlHandler(RestoreOnEnd, FALSE);
  std::cerr << "\n";  // the line end typed was not shown
  return any;
}

}  // namespace tarnwick
