#include "win32_console/console_output.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <streambuf>
#include <string>

namespace tarnwick {
namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// How many bytes at the end of `bytes` begin a UTF-8 sequence that has not arrived whole.
size_t IncompleteTail(const std::string& bytes) {
  for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
    const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
    if ((byte & 0xC0) == 0x80) {
      continue;  // a continuation byte: look further back for the lead
    }
    const size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length > back ? back : 0;
  }
  return 0;
}

// Writes UTF-8 to a console as UTF-16: the console's code page would show Thai bytes as other letters.
class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) {}

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) {
      pending_ += static_cast<char>(c);
    }
    return pending_.size() >= 4096 && sync() != 0 ? traits_type::eof() : traits_type::not_eof(c);
  }

  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pending_.append(s, static_cast<size_t>(n));
    return n;
  }

  int sync() override {
    const size_t whole = pending_.size() - IncompleteTail(pending_);
    if (whole == 0) {
      return 0;
    }
    const int units = MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(whole), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(whole), wide.data(), units);
    pending_.erase(0, whole);
    DWORD written = 0;
    return WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) ? 0 : -1;
  }

 private:
  HANDLE console_;
  std::string pending_;
};

// The console of the window that started the program, for a windowed executable started from one.
void AttachToParentConsole() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output != nullptr && output != INVALID_HANDLE_VALUE) {
    return;  // handed output of its own (a pipe, a file or a console)
  }
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    [[maybe_unused]] FILE* out = std::freopen("CONOUT$", "w", stdout);
    [[maybe_unused]] FILE* err = std::freopen("CONOUT$", "w", stderr);
    [[maybe_unused]] FILE* in = std::freopen("CONIN$", "r", stdin);
  }
}

bool EnableRedraw(HANDLE console) {
  DWORD mode = 0;
  return GetConsoleMode(console, &mode) != 0 &&
         SetConsoleMode(console, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace

StandardStreams SetUpStandardStreams() {
  AttachToParentConsole();
  // The same bytes as on Linux where the output is read by a program: no "\r" added before "\n".
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  StandardStreams streams;
  streams.inputIsConsole = IsConsole(GetStdHandle(STD_INPUT_HANDLE));
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
  static ConsoleBuffer outputBuffer(output);
  static ConsoleBuffer errorBuffer(errors);
  if (IsConsole(output)) {
    std::cout.rdbuf(&outputBuffer);
    streams.outputIsConsole = EnableRedraw(output);
  }
  if (IsConsole(errors)) {
    std::cerr.rdbuf(&errorBuffer);
    std::cerr.setf(std::ios::unitbuf);
  }
  return streams;
}

}  // namespace tarnwick
