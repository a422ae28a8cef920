// tarnwick-publish, for whoever runs the meeting server: writes a meeting folder's manifest, on Linux and on
// Windows. What it writes is decided in src/publish; here the folder is listed, read and written.
#ifdef _WIN32
#include <windows.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/password.h"
#include "base/escaped_text.h"
#include "digest/sha256.h"
#include "publish/publish.h"
#include "signature/minisign.h"
#include "transfer/manifest.h"
#ifdef _WIN32
#include "win32_console/console_output.h"
#include "win32_fs/win32_file_system.h"
#else
#include "posix_fs/posix_file_system.h"
#endif

namespace {

using namespace tarnwick;
namespace fs = std::filesystem;

constexpr const char* kProgram = "tarnwick-publish";
constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitArgumentError = 2;
constexpr size_t kReadPiece = size_t{1} << 20;

constexpr const char* kUsage =
    "usage: tarnwick-publish [--new-generation [TEXT]] [--revision TEXT] [--sign SECRET_KEY] MEETING_FOLDER\n"
    "Writes the meeting folder's manifest, FileUpDate.dat and FileUpdate.dat (the same bytes): the generation,\n"
    "the revision and an entry with the size and SHA-256 of each of the folder's files, so that\n"
    "tarnwick-download fetches what changed. Prints the new, changed and removed names, then what it wrote.\n"
    "\n"
    "  --new-generation [TEXT]\n"
    "                      a new generation: every participant fetches every file again (default TEXT: the\n"
    "                      time, in UTC); without it the folder's generation is kept\n"
    "  --revision TEXT     line 2, a text not used before (default: the folder's revision, its number counted\n"
    "                      up when a file is new, changed or removed)\n"
    "  --sign SECRET_KEY   sign the manifest into FileUpDate.dat.minisig and FileUpdate.dat.minisig with a\n"
    "                      secret key made by minisign -G, for participants whose component folder holds\n"
    "                      MeetingKey.pub; signed again only when the manifest changed or its signature is\n"
    "                      missing. The key's password is asked on the terminal, else read as the first line\n"
    "                      of standard input\n"
    "  -h, --help          print this help and exit\n"
    "  --version           print the version and exit\n"
    "TEXT follows --new-generation as the next word before the folder, or after \"=\"; --revision's as the\n"
    "next word or after \"=\". Names beginning with \".\" and *.minisig files are left out. A subfolder, or a\n"
    "name with a blank, a control character or a character that Windows-874 or a Windows file name cannot\n"
    "hold, is refused, and nothing is written.\n"
    "Exit status: 0 the manifest written or already current; 1 a refused folder, a file that cannot be read\n"
    "or written, or a key that cannot sign or a wrong password (nothing written then); 2 a refused command line.\n";

struct Command {
  bool help = false;
  bool version = false;
  PublishOptions options;
  std::optional<std::string> signKey;  // the secret key file, as minisign -G writes it
  std::string folder;
};

// Nothing, with a reason in `error`, when the arguments cannot be used.
std::optional<Command> ParseArguments(const std::vector<std::string>& args, std::string& error) {
  Command command;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || !arg.starts_with("-")) {
      if (!command.folder.empty()) {
        error = "give one meeting folder, as the last argument";
        return std::nullopt;
      }
      command.folder = arg;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const size_t equals = arg.starts_with("--") ? arg.find('=') : std::string::npos;
    const std::string option = arg.substr(0, equals);
    const std::optional<std::string> value =
        equals == std::string::npos ? std::nullopt : std::optional(arg.substr(equals + 1));
    if ((option == "-h" || option == "--help" || option == "--version") && value) {
      error = option + " takes no value";
      return std::nullopt;
    }
    if (option == "-h" || option == "--help") {
      command.help = true;
      return command;
    }
    if (option == "--version") {
      command.version = true;
      return command;
    }
    if (option == "--new-generation") {
      command.options.newGeneration = true;
      // The folder comes last: a word before it is the text.
      const bool textFollows = i + 2 < args.size() && !args[i + 1].starts_with("-");
      command.options.generation = value ? *value : textFollows ? args[++i] : "";
      if (value && value->empty()) {
        error = "--new-generation= needs a text";
        return std::nullopt;
      }
    } else if (option == "--revision") {
      if (!value && i + 1 >= args.size()) {
        error = "--revision needs a value";
        return std::nullopt;
      }
      command.options.revision = value ? *value : args[++i];
      if (command.options.revision->empty()) {
        error = "--revision needs a value";
        return std::nullopt;
      }
    } else if (option == "--sign") {
      if ((!value && i + 1 >= args.size()) || (value && value->empty())) {
        error = "--sign needs the secret key file";
        return std::nullopt;
      }
      command.signKey = value ? *value : args[++i];
    } else {
      error = "unknown option: " + option;
      return std::nullopt;
    }
  }
  if (command.folder.empty()) {
    error = "the meeting folder is missing (it comes last)";
    return std::nullopt;
  }
  return command;
}

#ifdef _WIN32
using PendingFile = Win32PendingFile;
using SystemFileSystem = Win32FileSystem;

// The arguments as the system holds them, in UTF-16: the C runtime's would pass through the ANSI code page.
std::vector<std::string> Arguments(int, char**) { return CommandLineArguments(); }

std::string Utf8Of(const fs::path& path) { return Utf8FromWide(path.wstring()); }
fs::path PathFromUtf8(const std::string& text) { return fs::path(WideFromUtf8(text)); }

// As the component's plain files: Explorer's Thumbs.db and desktop.ini are hidden system files.
bool Hidden(const fs::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

std::string WriteFailure(const PendingFile& file) { return SystemReason(file.Error()); }
#else
using PendingFile = PosixPendingFile;
using SystemFileSystem = PosixFileSystem;

std::vector<std::string> Arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

// Names on disk are the component's UTF-8 bytes as they stand: a name that is not UTF-8 is refused by name.
std::string Utf8Of(const fs::path& path) { return path.string(); }
fs::path PathFromUtf8(const std::string& text) { return fs::path(text); }
bool Hidden(const fs::path&) { return false; }

std::string WriteFailure(const PendingFile&) { return std::strerror(errno); }
#endif

std::string NowUtc() {
  using namespace std::chrono;
  const auto now = floor<seconds>(system_clock::now());
  const auto day = floor<days>(now);
  const year_month_day date(day);
  const hh_mm_ss time(now - day);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d UTC", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

// The whole file, or nothing when there is none (or something else under its name); throws when it cannot be read.
std::optional<std::string> ReadSmallFile(const fs::path& path, std::uint64_t most) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) {
    return std::nullopt;
  }
  const auto size = fs::file_size(path, error);
  if (error || size > most) {
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
    throw std::runtime_error("cannot read " + Utf8Of(path));
  }
  return bytes;
}

// The folder's manifest as a run asks for it first, else under the other spelling.
std::optional<Manifest> PreviousManifest(const fs::path& folder) {
  for (const std::string_view name : {kServerManifestName, kKeptManifestName}) {
    const fs::path path = folder / PathFromUtf8(std::string(name));
    std::error_code error;
    if (!fs::exists(path, error)) {
      continue;
    }
    auto manifest = ParseManifest(ReadSmallFile(path, kMaxManifestBytes).value_or(""));
    if (!manifest) {
      std::cout << EscapeControls(Utf8Of(path)) << " is no manifest the component reads: a new generation\n";
    }
    return manifest;
  }
  return std::nullopt;
}

FileFacts ReadFacts(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot open " + Utf8Of(path));
  }
  Sha256 sha;
  FileFacts facts;
  std::string piece(kReadPiece, '\0');
  while (in) {
    in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    const auto got = static_cast<size_t>(in.gcount());
    sha.Add(std::string_view(piece.data(), got));
    facts.size += got;
  }
  if (in.bad()) {
    throw std::runtime_error("cannot read " + Utf8Of(path));
  }
  facts.sha256 = sha.Finish();
  return facts;
}

// Said by the signatures this program makes: which manifest a signature was made for, so that a run with
// nothing changed keeps it and a run after the manifest changed without --sign signs again.
std::string TrustedComment(const std::string& manifest) {
  Sha256 sha;
  sha.Add(manifest);
  return "file:" + std::string(kServerManifestName) + " sha256:" + sha.Finish();
}

bool SignatureBelongs(const std::optional<std::string>& signature, const std::string& comment) {
  return signature && signature->find("\ntrusted comment: " + comment + "\n") != std::string::npos;
}

constexpr std::uint64_t kMostSignatureBytes = 4096;

constexpr std::uint64_t kMostSecretKeyBytes = 4096;

// The manifest's signature, made before anything in the folder changes; the key's password is asked for only
// when it has one. Nothing, with the reason told, when the key cannot sign.
std::optional<std::string> Sign(const std::string& manifest, const std::string& comment, const std::string& key) {
  const std::string keyName = EscapeControls(key);
  const auto secretKey = ReadSmallFile(PathFromUtf8(key), kMostSecretKeyBytes);
  if (!secretKey) {
    std::cerr << kProgram << ": no secret key file " << keyName << "; nothing written\n";
    return std::nullopt;
  }
  Password password;
  if (KeyHasPassword(*secretKey).value_or(false)) {
    const bool came = ReadPassword("password of " + keyName + ": ", password);
    if (!came || password.TooLong()) {
      std::cerr << kProgram << ": " << (came ? "the password is too long" : "no password came on standard input")
                << "; nothing written\n";
      return std::nullopt;
    }
  }
  MadeSignature made = SignManifest(manifest, comment, *secretKey, password.Text(), keyName);
  if (!made.ok) {
    std::cerr << kProgram << ": " << made.reason << "; nothing written\n";
    return std::nullopt;
  }
  return std::move(made.signature);
}

// Whole or not at all, and only when it differs: a participant never reads half a manifest, and a folder with
// nothing new keeps its file as it is. False when the file could not be written.
bool PutInPlace(const fs::path& path, const std::string& bytes, bool& wrote) {
  wrote = false;
  if (ReadSmallFile(path, bytes.size()) == bytes) {
    return true;
  }
  PendingFile file(path.native());
  if (!file.Ok() || !file.Write(bytes) || !file.Commit()) {
    std::cerr << kProgram << ": cannot write " << EscapeControls(Utf8Of(path)) << ": " << WriteFailure(file) << "\n";
    return false;
  }
  wrote = true;
  return true;
}

int PublishFolder(const Command& command) {
  const fs::path folder = PathFromUtf8(command.folder).make_preferred();
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    std::cerr << kProgram << ": no such meeting folder: " << EscapeControls(command.folder) << "\n";
    return kExitArgumentError;
  }
  std::vector<FolderItem> items;
  std::unordered_map<std::string, fs::path> paths;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    std::string name = Utf8Of(entry.path().filename());
    if (name.starts_with(".") || Hidden(entry.path())) {
      continue;
    }
    std::error_code kindError;
    const auto kind = entry.is_regular_file(kindError) ? ItemKind::File
                      : entry.is_directory(kindError)  ? ItemKind::Folder
                                                       : ItemKind::Other;
    paths.emplace(name, entry.path());
    items.push_back({std::move(name), kind});
  }
  if (error) {
    std::cerr << kProgram << ": cannot list " << EscapeControls(command.folder) << ": " << error.message() << "\n";
    return kExitRefused;
  }

  PublishOptions options = command.options;
  options.now = NowUtc();
  const auto previous = PreviousManifest(folder);
  const Publication publication = Publish(
      previous, items, [&](const std::string& name) { return ReadFacts(paths.at(name)); }, options);
  if (!publication.refusals.empty()) {
    for (const auto& refusal : publication.refusals) {
      std::cerr << kProgram << ": " << EscapeControls(refusal) << "\n";
    }
    std::cerr << kProgram << ": nothing written\n";
    return kExitRefused;
  }

  const auto list = [](std::string_view label, const std::vector<std::string>& names) {
    for (const auto& name : names) {
      std::cout << label << EscapeControls(name) << "\n";
    }
  };
  list("new      ", publication.added);
  list("changed  ", publication.changed);
  list("removed  ", publication.removed);
  std::cout << (publication.newGeneration ? "new generation \"" : "generation \"")
            << EscapeControls(publication.manifest.generation) << "\", revision \""
            << EscapeControls(publication.manifest.revision) << "\", " << publication.manifest.entries.size()
            << " files\n";
  const std::string comment = TrustedComment(publication.bytes);
  const auto signaturePath = [&](std::string_view manifestName) {
    return folder / PathFromUtf8(std::string(manifestName) + ".minisig");
  };
  const auto signedBefore = ReadSmallFile(signaturePath(kServerManifestName), kMostSignatureBytes);
  std::optional<std::string> signature;
  if (command.signKey) {
    signature =
        SignatureBelongs(signedBefore, comment) ? signedBefore : Sign(publication.bytes, comment, *command.signKey);
    if (!signature) {
      return kExitRefused;
    }
  }
  bool wroteAny = false;
  // The name a run compares first: a run in between keeps the old manifest as its copy and fetches the change
  // next time, where the other order would let it keep the new one over the old files. On a case-blind file
  // system the second name is the first file, found current.
  for (const std::string_view name : {kServerManifestName, kKeptManifestName}) {
    const fs::path path = folder / PathFromUtf8(std::string(name));
    bool wrote = false;
    if (!PutInPlace(path, publication.bytes, wrote)) {
      return kExitRefused;
    }
    if (wrote) {
      std::cout << "wrote " << EscapeControls(Utf8Of(path)) << "\n";
    }
    wroteAny = wroteAny || wrote;
  }
  if (!signature && signedBefore && !SignatureBelongs(signedBefore, comment) && wroteAny) {
    std::cerr << kProgram << ": the signature " << EscapeControls(Utf8Of(signaturePath(kServerManifestName)))
              << " no longer matches: participants who check signatures refuse the meeting until --sign signs it\n";
  }
  // After the manifest, as a participant fetches them.
  for (const std::string_view name : {kServerManifestName, kKeptManifestName}) {
    bool wrote = false;
    if (signature && !PutInPlace(signaturePath(name), *signature, wrote)) {
      return kExitRefused;
    }
    if (wrote) {
      std::cout << "wrote " << EscapeControls(Utf8Of(signaturePath(name))) << "\n";
    }
    wroteAny = wroteAny || wrote;
  }
  if (!wroteAny) {
    std::cout << "nothing changed: " << EscapeControls(Utf8Of(folder / PathFromUtf8(std::string(kServerManifestName))))
              << " left as it is\n";
    return kExitOk;
  }
  try {
    SystemFileSystem().Flush({Utf8Of(fs::absolute(folder))});
  } catch (const FileError& flushError) {
    std::cerr << kProgram << ": " << EscapeControls(flushError.what()) << "\n";
  }
  return kExitOk;
}

int Main(int argc, char** argv) {
  std::string error;
  const auto command = ParseArguments(Arguments(argc, argv), error);
  if (!command) {
    std::cerr << kProgram << ": " << EscapeControls(error) << "\n" << kUsage;
    return kExitArgumentError;
  }
  if (command->help) {
    std::cout << kUsage;
    return kExitOk;
  }
  if (command->version) {
    std::cout << kProgram << " " << TARNWICK_VERSION << "\n";
    return kExitOk;
  }
  return PublishFolder(*command);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  SetUpStandardStreams();
#endif
  int status = kExitRefused;
  try {
    status = Main(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << kProgram << ": " << EscapeControls(error.what()) << "\n";
  }
  std::cout << std::flush;
  std::cerr << std::flush;
  return status;
}
