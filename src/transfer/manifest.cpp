// Fetch of the update manifest and its comparison with the kept copy.
#include "platform/response_codes.h"
#include "transfer/manifest_comparison.h"
#include "transfer/remote_paths.h"
#include "window/frm_download.h"
#include "window/texts.h"

namespace tarnwick {
namespace {

constexpr std::string_view kFixedTail[] = {"Tarnwick.msg", "Enote.Doc", "MainTarnwick.html", texts::kKeptManifestName};

void AddAll(StringList& list, const std::vector<std::string>& lines) {
  for (const auto& line : lines) {
    list.AddItem(line);
  }
}

}  // namespace

std::string FrmDownLoad::FtpUrl() const { return BuildFtpUrl(state_.Login, state_.Password, state_.Host); }

std::string FrmDownLoad::RemoteFolder() const { return state_.SubSource + "\\" + state_.TimeSource; }

void FrmDownLoad::ExecuteOn(TransferControl& control, std::deque<unsigned>& pending, const std::string& remotePath,
                            const std::string& localPath) {
  control.Execute(FtpUrl(), BuildGetOperation(remotePath, localPath));
  pending.push_back(runSerial_);
}

void FrmDownLoad::FetchManifest() {
  const std::string localFolder = LocalFolderPath();
  if (!platform_.fs.FolderExists(localFolder)) {
    platform_.fs.CreateFolder(localFolder);
  }
  const std::string fetchedCopy = localFolder + "\\" + std::string(texts::kFetchedManifestName);
  if (platform_.fs.FileExists(fetchedCopy)) {
    platform_.fs.DeleteFile(fetchedCopy);
  }
  ExecuteOn(*inet1_, inet1Pending_, RemoteFolder() + "\\" + std::string(texts::kServerManifestName), fetchedCopy);
}

void FrmDownLoad::Inet1_StateChanged(int state) {
  if (state == icError) {
    EndRunWithBox(std::string(texts::kManifestErrorPrefix) + std::to_string(inet1_->ResponseCode()));
    return;
  }
  if (state != icResponseCompleted) {
    return;
  }
  try {
    CompareManifests();
    if (generationChanged_ || state_.NewRevision != state_.KeptRevision) {
      HandOverToQueue();
    } else {
      ShowUpToDate();
    }
  } catch (const TransferFailure& failure) {
    EndRunWithBox(std::string(texts::kManifestErrorPrefix) + std::to_string(failure.Code()));
  }
}

void FrmDownLoad::CompareManifests() {
  const std::string localFolder = LocalFolderPath();
  const std::string fetchedPath = localFolder + "\\" + std::string(texts::kFetchedManifestName);
  const std::string keptPath = localFolder + "\\" + std::string(texts::kKeptManifestName);
  try {
    const auto fetchedBytes = platform_.fs.ReadFile(fetchedPath);
    const auto fetched = fetchedBytes ? ParseManifest(*fetchedBytes) : std::nullopt;
    if (platform_.fs.FileExists(fetchedPath)) {
      platform_.fs.DeleteFile(fetchedPath);
    }
    if (!fetched) {
      throw TransferFailure(codes::kUnusableManifest);
    }
    state_.NewRevision = fetched->revision;
    AddAll(nLst_, fetched->entries);

    std::string keptGeneration;
    if (platform_.fs.FileExists(keptPath)) {
      const auto keptBytes = platform_.fs.ReadFile(keptPath);
      // A kept copy that cannot be read or has under two lines counts as none: everything is fetched.
      if (const auto kept = keptBytes ? ParseManifest(*keptBytes) : std::nullopt) {
        keptGeneration = kept->generation;
        state_.KeptRevision = kept->revision;
        AddAll(sLst_, kept->entries);
      }
    }

    generationChanged_ = fetched->generation != keptGeneration;
    if (generationChanged_) {
      ResetLocalFolder();
      for (const auto& line : nLst_.Items()) {
        fLst_.AddItem(EntryName(line));
      }
    } else if (state_.NewRevision != state_.KeptRevision) {
      CompareIncrementally(sLst_, nLst_, fLst_, dLst_);
    }
  } catch (const OverflowError&) {
    throw TransferFailure(codes::kUnusableManifest);
  } catch (const FileError&) {
    throw TransferFailure(codes::kCannotDelete);
  }
}

void FrmDownLoad::ResetLocalFolder() {
  const std::string folder = InComponentFolder(LastBackslashComponent(state_.SubSource));
  if (!platform_.fs.FolderExists(folder)) {
    platform_.fs.CreateFolder(folder);
    return;
  }
  for (const auto& name : platform_.fs.ListPlainFiles(folder)) {
    if (name != texts::kKeptManifestName) {
      platform_.fs.DeleteFile(folder + "\\" + name);
    }
  }
}

void FrmDownLoad::HandOverToQueue() {
  try {
    for (const auto name : kFixedTail) {
      fLst_.AddItem(std::string(name));
    }
  } catch (const OverflowError&) {
    throw TransferFailure(codes::kUnusableManifest);
  }
  state_.ReadyForNext = kTrue16;
  controls_.progressBar1.max = fLst_.ListCount();
  controls_.timer1.enabled = true;
  state_.FileIndex = 0;
}

void FrmDownLoad::ShowUpToDate() {
  controls_.progressBar1.visible = false;
  controls_.lblwait.top -= 200;
  controls_.lblwait.caption = std::string(texts::kUpToDateCaption);
  controls_.cmdOk.enabled = true;
}

}  // namespace tarnwick
