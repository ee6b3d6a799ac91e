// The "-f" mode: the installation copied from the self-extracting file to
// floppy disks. setup.exe gets the loader with a header that says it holds
// nothing more, setup.1 its own file, and files.1 is spanned over the disks
// by the shared archive, which reads it from inside the self-extracting file.
#include <cstdio>
#include <memory>

#include "application.h"
#include "archive/qndr_compress.h"
#include "core/exceptions.h"
#include "core/install.h"
#include "core/support.h"
#include "distribution/distribution.h"
#include "items/installfile.h"
#include "screen.h"

namespace install {

namespace {

constexpr size_t kBlockSize = 8192;

void ProcessPendingMessages() {
#ifdef _WIN32
  if (forms::Application()) forms::Application()->ProcessMessages();
#endif
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Copies count bytes from offset of source into a new file target, in
// blocks; before each block check runs (it may raise), after it pending
// messages are processed. Fewer bytes written raise IEInstall message.
void CopyRange(const std::string& source, int64_t offset, int64_t count, const std::string& target,
               const char* message, void (*check)()) {
  File in(std::fopen(source.c_str(), "rb"));
  File out(std::fopen(target.c_str(), "wb"));
  if (!in || !out || std::fseek(in.get(), static_cast<long>(offset), SEEK_SET) != 0) throw IEInstall(message);
  char block[kBlockSize];
  while (count > 0) {
    check();
    size_t want = count < static_cast<int64_t>(kBlockSize) ? static_cast<size_t>(count) : kBlockSize;
    size_t got = std::fread(block, 1, want, in.get());
    if (got == 0 || std::fwrite(block, 1, got, out.get()) != got) throw IEInstall(message);
    count -= static_cast<int64_t>(got);
    ProcessPendingMessages();
  }
  if (std::fclose(out.release()) != 0) throw IEInstall(message);
}

void NoCheck() {}

// The copy-progress window's Cancel sets the shared archive's abort flag.
void CheckCancel() {
  if (SharedArchive() && SharedArchive()->Abort()) throw EUserAbortInstall("Creating Install Aborted!");
}

}  // namespace

void TCustomInstall::CopyToFloppies(const std::string& target) {
  {
    forms::TCursorGuard hourglass(forms::crHourGlass);
    ProcessPendingMessages();
    try {
      CopyInstallationToFloppies(target);
    } catch (const std::exception& error) {
      AskUser(error.what(), TQuestion::Ok);
      SetProgramExitCode(1);
    }
  }
  ProcessPendingMessages();
  TerminateApplication();
}

void TCustomInstall::CopyInstallationToFloppies(const std::string& target) {
  if (!flags_.Has(clSelfExtract))
    throw IEInstall(
        "Sorry... You can only transfer this installation to floppies through the self-extracting file. Usage "
        "example: setup.exe *TODISK");
  std::string source = GetArchivePath();
  TSelfExtractHeader header = ReadSelfExtractHeader(source);
  std::string disk = AddTrailingBackslash(target);
  ShowStatusMessage("Transferring this installation to floppies. Please wait...");
  try {
    CopyRange(source, 0, header.setup1_first, disk + "setup.exe",
              "Cannot create setup.exe on the A drive. Probably not enough room", NoCheck);
    WriteNotSelfExtractHeader(disk + "setup.exe");
    CopyRange(source, header.setup1_first, int64_t{header.setup1_last} - header.setup1_first + 1, disk + "setup.1",
              "Cannot create setup.1 on the A drive. Probably not enough room", CheckCancel);
  } catch (...) {
    HideStatusMessage();
    throw;
  }
  HideStatusMessage();

  TQndrCompress* archive = SharedArchive();
  archive->SetOnNewDisk(
      [this](TQndrCompress* sender, int32_t number, std::string& path) { ShowDiskPrompt(sender, number, path); });
  // The progress goes to the engine's OnStatus; no install file stands
  // behind the disks' archive.
  archive->SetOnStatus([this](TQndrCompress*, const TlzhFileStats& stats) {
    forms::Fire(OnStatus(), nullptr, int32_t{stats.FilePercent}, int32_t{stats.TotalPercent});
    ProcessPendingMessages();
  });
  auto remove_handlers = [archive] {
    archive->SetOnNewDisk(nullptr);
    archive->SetOnStatus(nullptr);
  };
  try {
    archive->SetOffset(header.files1_first);
    archive->SetCompressedFile(source);
    archive->SpanToDisks(RemoveTrailingBackslash(disk), "files.1");
  } catch (...) {
    remove_handlers();
    throw;
  }
  remove_handlers();
}

void TCustomInstall::ShowDiskPrompt(TQndrCompress*, int32_t disk, std::string&) {
  // The user answers with the arrow, whatever the copy shows meanwhile.
  forms::TCursorGuard arrow(forms::crArrow);
  if (!AskUser(forms::Format("Please insert disk %d", {int64_t{disk}}), TQuestion::OkCancel))
    throw IEInstall("Aborted by user");
}

}  // namespace install
