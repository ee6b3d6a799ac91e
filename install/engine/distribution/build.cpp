// The "-b" mode: the installer builds its own distribution. setup.exe is
// the loader program of the installer library, setup.1 the archive of the
// installer and the PresetupFiles, files.1 the archive of the script's
// files; a self-extracting setup.exe carries setup.1 and files.1 behind the
// loader. The header at its end says where they lie, and the checksum
// behind the header lets the loader see a damaged file.
#include "distribution/build.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "archive/qndr_compress.h"
#include "core/exceptions.h"
#include "core/install.h"
#include "distribution/distribution.h"
#include "items/installfile.h"
#include "paths/filesystem.h"
#include "paths/registry.h"

namespace install {

using namespace forms;

namespace {

std::string InDirectory(const std::string& directory, const std::string& name) {
  return AddTrailingPathDelimiter(directory) + name;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code failed;
  return std::filesystem::equivalent(a, b, failed);
}

// The lines of a text file; none when it can't be read.
TStringList ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  TStringList lines;
  lines.SetText(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  return lines;
}

// Compresses the file at path into archive as a member of setup.1.
void AddToSetupArchive(const std::string& path, TlzhCommand command, const std::string& archive) {
  TInstallFile* file = TInstallFile::CreateFromPath(nullptr, path);
  struct Release {
    TInstallFile* file;
    ~Release() { Free(file); }
  } release{file};
  file->SetNet(false);
  file->UseArchive(command, archive);
  file->Compress();
}

}  // namespace

std::string FindLibraryDirectory() {
  try {
    TStringList directories;
    SplitToStrings(ReadRegistryString(hkLocalMachine, kLibraryKey, kLibrarySearchPathValue, ""), ';', directories);
    for (const std::string& entry : directories.Lines()) {
      std::string directory = Trim(entry);
      if (!directory.empty() && FileExists(InDirectory(directory, kLibraryMarker)))
        return RemoveTrailingBackslash(directory);
    }
  } catch (const std::exception&) {
    // A search that fails has found nothing.
  }
  throw IEInstall(
      "The HKEY_LOCAL_MACHINE | %s key in the registry is either missing or points to an invalid ZUV directory",
      {std::string(kLibraryKey)});
}

void TCustomInstall::BuildFromBuildInf() {
  try {
    std::string installer = ProgramFileName();
    std::string build_inf = InDirectory(ExtractFileDir(installer), "BUILD.INF");
    if (!FileExists(build_inf))
      throw IEInstall(
          "Need to have a BUILD.INF file in this directory with the first line specifying the build directory");
    TStringList lines = ReadLines(build_inf);
    // A blank first line names no directory: the build would go into
    // whatever the current directory is.
    if (lines.Count() == 0 || Trim(lines[0]).empty())
      throw IEInstall("Must be 1 line in BUILD.INF. This line should specify the build directory");
    Build(installer, lines[0], true);
  } catch (const std::exception& error) {
    AskUser(error.what(), TQuestion::Ok);
    SetProgramExitCode(1);
  }
  TerminateApplication();
}

void TCustomInstall::Build(const std::string& installer, const std::string& directory, bool self_extracting) {
  if (self_extracting && !use_loading_program_)
    throw IEInstall(
        "Cannot build a stand alone executable if the UseLoadingProgram property of the TInstall is set to False");
  std::string setup_exe = InDirectory(directory, "setup.exe");
  std::string setup1 = InDirectory(directory, "setup.1");
  std::string files1 = InDirectory(directory, "files.1");
  // A new build: a cancel of an earlier operation must not stop it, and
  // what an earlier build wrote is not this one's to remove.
  if (SharedArchive()) SharedArchive()->SetAbort(false);
  build_outputs_.clear();
  ResetCompressMarks();
  try {
    CopyLoaderProgram(directory, installer);
    CompressDistribution(files1);
    // The header and the checksum belong to the loader's setup.exe: without
    // the loading program there is none.
    if (self_extracting)
      WriteSelfExtractHeader(setup_exe, setup1, files1);
    else if (use_loading_program_)
      WriteNotSelfExtractHeader(setup_exe);
    if (use_loading_program_) AppendFileCheckSum(setup_exe);
  } catch (...) {
    RemoveBuildOutputs(installer);
    throw;
  }
}

// What a failed build wrote is no distribution: neither its files nor the
// archives its files went into may look like one. A file it did not write
// (an earlier build's that it never reached) is no part of it and stays.
void TCustomInstall::RemoveBuildOutputs(const std::string& installer) {
  std::vector<std::string> written = build_outputs_;
  for (TCustomInstallFile* file : FileList()->Items())
    if (file->CompressedMark() == 2) written.push_back(file->CompressedArchive());
  // The archive that a compression stopped in the middle of.
  if (SharedArchive() && SharedArchive()->Abort()) written.push_back(SharedArchive()->CompressedFile());
  for (const std::string& output : written)
    if (!SameFile(output, installer)) DeleteFileNamed(output);
}

void TCustomInstall::CompressDistribution(const std::string& files1) {
  struct Restore {
    TCustomInstall& install;
    ArchiveSettings saved;
    ~Restore() { install.RestoreArchiveSettings(saved); }
  } restore{*this, CurrentArchiveSettings()};
  UseArchive(AddToArchive(), files1);
  // Every file is compressed, the excluded ones too, for the user's choice
  // is made at install time. Where a file goes depends on the type: all
  // into files.1; all into the net archives; the Net files into the net
  // archives and the others into files.1. A net distribution lists its
  // files for the installer, which reads them before it downloads.
  switch (distribute_type_) {
    case dtTraditional:
      Compress(coRelocateArchives | coForceNetFilesLocal | coIncludeExcluded);
      break;
    case dtWeb:
      Compress(coRelocateArchives | coForceFilesNet | coIncludeExcluded);
      WriteNetFileList();
      break;
    case dtTraditionalNet:
      Compress(coRelocateArchives | coIncludeExcluded);
      WriteNetFileList();
      break;
  }
}

std::string TCustomInstall::NetFileListPath(const std::string& directory) const {
  return InDirectory(directory, RemoteRoot() + kPathDelimiter + "filelist.lst");
}

void TCustomInstall::WriteNetFileList() {
  std::string path = NetFileListPath(ExtractFileDir(ArchiveFile()));
  ForceDirectories(ExtractFileDir(path));
  build_outputs_.push_back(path);
  std::vector<TNetFileListRecord> records;
  for (TCustomInstallFile* file : FileList()->Items()) {
    if (file->CompressedMark() != 1 && file->CompressedMark() != 2) continue;
    TNetFileListRecord record;
    record.size = file->Size();
    record.date = file->Date();
    record.name = file->Name();
    record.version = file->Version();
    records.push_back(record);
  }
  SaveNetFileList(path, records);
}

void TCustomInstall::CopyLoaderProgram(const std::string& directory, const std::string& installer) {
  if (!use_loading_program_) {
    std::string target = InDirectory(directory, ExtractFileName(installer));
    build_outputs_.push_back(target);
    if (!ForceDirectories(directory) || !CopyFileOver(installer, target))
      throw IEInstall("Cannot copy the installation application from %s to %s", {installer, target});
    return;
  }
  try {
    CreateSetupArchive(directory, installer);
  } catch (const EqcDiskFull&) {
    throw IEInstall(
        "The disk that you have specified has been determined to be either too full or is corrupt while trying to "
        "copy the SETUP.1 archive file. You should probably clear all files off of the drive. Minimally, you should "
        "leave enough space on the drive for the SETUP.1 archive file.");
  }
  std::string loader = InDirectory(FindLibraryDirectory(), kLoaderProgram);
  if (!FileExists(loader)) throw IEInstall("The loader program %s was not found", {loader});
  std::string target = InDirectory(directory, "setup.exe");
  build_outputs_.push_back(target);
  if (!CopyFileOver(loader, target))
    throw IEInstall("Cannot copy the loading program from %s to %s", {loader, target});
}

void TCustomInstall::CreateSetupArchive(const std::string& directory, const std::string& installer) {
  if (Trim(installer).empty()) throw IEInstall("Cannot create setup file. Executable is blank");
  if (!FileExists(installer)) throw IEInstall("TInstall: Cannot find the executable file %s", {installer});
  std::string archive = InDirectory(directory, "setup.1");
  build_outputs_.push_back(archive);
  AddToSetupArchive(installer, lzcOverwrite, archive);
  for (const std::string& file : PresetupFiles().Lines()) AddToSetupArchive(file, lzcOnlyAdd, archive);
}

void TCustomInstall::Compress(int options) {
  ResetCompressMarks();
  TFileContainer::Compress(options);
}

void TCustomInstall::ResetCompressMarks() {
  if (FileList())
    for (TCustomInstallFile* file : FileList()->Items()) file->ResetCompressMarks();
}

}  // namespace install
