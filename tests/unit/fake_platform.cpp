#include "fake_platform.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tarnwick::testing {
namespace {

std::filesystem::path MakeTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-unit-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  return pattern;
}

std::string NameOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

std::string FakeTransferControl::LocalPathOf(size_t call) const {
  const std::string& op = calls.at(call).operation;
  return op.substr(op.find("  ") + 2);
}

void FakeTransferControl::Succeed(const std::string& content) {
  std::ofstream(ResolveCaseBlind(LocalPathOf(answered++)), std::ios::binary) << content;
  code_ = 0;
  handler_(icResponseCompleted);
}

void FakeTransferControl::Fail(int code) {
  ++answered;
  code_ = code;
  handler_(icError);
}

std::unique_ptr<TransferControl> FakeTransferFactory::Create(const TransferSettings& settings) {
  auto control = std::make_unique<FakeTransferControl>();
  (created++ % 2 == 0 ? inet2 : inet1) = control.get();
  lastTimeout = settings.requestTimeoutSeconds;
  return control;
}

void FaultyFileSystem::DeleteFile(const std::string& path) {
  if (undeletable.count(NameOf(path)) != 0) {
    throw FileError("injected: cannot delete " + path);
  }
  PosixFileSystem::DeleteFile(path);
}

void FaultyFileSystem::ReplaceFile(const std::string& path, std::string_view bytes) {
  if (unwritable.count(NameOf(path)) != 0) {
    throw FileError("injected: cannot write " + path);
  }
  PosixFileSystem::ReplaceFile(path, bytes);
}

std::vector<std::string> FaultyFileSystem::ListSubfolders(const std::string& folder) {
  if (subfoldersFail) {
    throw FileError("injected: cannot open " + folder);
  }
  return PosixFileSystem::ListSubfolders(folder);
}

Component::Component() : root(MakeTempFolder()), form(platform, root.string()) {}

Component::~Component() {
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

void Component::Write(const std::string& relative, const std::string& bytes) const {
  std::filesystem::create_directories(Path(relative).parent_path());
  std::ofstream(Path(relative), std::ios::binary) << bytes;
}

std::string Component::Read(const std::string& relative) const {
  std::ifstream in(Path(relative), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void Component::Start(const std::string& cookie) {
  modDHTMLTarnwick::LaunchCookie = cookie;
  host.ShowModal(form);
}

void Component::Tick(int times) {
  for (int i = 0; i < times; ++i) {
    form.Timer1_Timer();
  }
}

void Component::AnswerManifest(const std::vector<std::string>& lines) { Inet1().Succeed(Crlf(lines)); }

void Component::RunQueueToEnd() {
  for (int guard = 0; guard < 100000 && form.IsOpen() && form.Controls().timer1.enabled; ++guard) {
    const size_t before = Inet2().calls.size();
    Tick();
    if (Inet2().calls.size() == before) {
      continue;
    }
    const std::string local = Inet2().LocalPathOf(Inet2().answered);
    Inet2().Succeed(NameOf(local));
  }
}

std::vector<std::string> Component::Requested() const {
  std::vector<std::string> remote;
  for (const auto& call : transfers.inet2->calls) {
    remote.push_back(call.operation.substr(4, call.operation.find("  ") - 4));
  }
  return remote;
}

std::string Crlf(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line + "\r\n";
  }
  return text;
}

std::string GoodCookie(const std::string& subSource) {
  return "HOST=127%2E0%2E0%2E1;LOGIN=meeting;PWD=s3cr:t@x/y;SUBSOURCE=" + subSource + ";TIMESOURCE=t1";
}

}  // namespace tarnwick::testing
