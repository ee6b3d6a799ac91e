#include "testing/filetree.h"

#include <filesystem>

namespace install_test {

using namespace forms;
using namespace install;

std::string ScriptString(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return quoted + "\"";
}

const ClassInfo& TListener::StaticClass() {
  static const ClassInfo info{"TListener", &TInstallObject::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TListener>(owner); },
                              {ContainerProperty()}};
  return info;
}

void TListener::DoInformationEvent(TComponent* sender, int code, TPersistent* param) {
  Heard entry;
  entry.code = code;
  entry.sender = sender ? sender->Name() : "";
  if (auto* status = dynamic_cast<TFileStatusParameter*>(param)) {
    entry.file_name = status->FileName;
    entry.file_bytes_done = status->FileBytesDone;
    entry.total_bytes_done = status->TotalBytesDone;
    entry.total_percent = status->TotalPercent;
  }
  heard.push_back(entry);
  if (on_event) on_event(code);
}

std::vector<int> TListener::Codes() const {
  std::vector<int> codes;
  for (const Heard& entry : heard) codes.push_back(entry.code);
  return codes;
}

void FileTreeTest::SetUp() {
  EngineTest::SetUp();
  UsePrivateRegistry();
  SetQuestionHandler([](const std::string& text, TQuestion) {
    ADD_FAILURE() << "unexpected question: " << text;
    return false;
  });
  RegisterStreamClass(TListener::StaticClass());
  source_dir_ = temp_ / "source";
  dest_ = temp_ / "dest";
  archive_ = temp_ / "files.1";
  std::filesystem::create_directories(source_dir_);
}


std::string FileTreeTest::Source(const std::string& name, size_t size) {
  std::string path = AddTrailingPathDelimiter(source_dir_) + name;
  fixture::WriteFile(path, fixture::TextData(size, static_cast<unsigned>(size)));
  return path;
}

TInstallDirectory* FileTreeTest::Directory(const std::string& name) {
  auto* directory = New<TInstallDirectory>(owner_);
  directory->SetName(name);
  directory->SetDescription(name);
  directory->SetDestDir(dest_);
  directory->SetArchiveFile(archive_);
  return directory;
}

TInstallFile* FileTreeTest::File(const std::string& name, const std::string& file_name, TInstallContainer* container) {
  auto* file = New<TInstallFile>(owner_);
  file->SetName(name);
  file->SetIncludeFromDir(source_dir_);
  file->SetFileName(file_name);
  file->SetContainer(container);
  return file;
}

std::string FileTreeTest::Existing(const std::string& name, const std::string& content) {
  std::filesystem::create_directories(dest_);
  std::string path = AddTrailingPathDelimiter(dest_) + name;
  fixture::WriteFile(path, content);
  return path;
}

void FileTreeTest::Pack(TCustomInstallFile* file) {
  auto* archive = New<TQndrCompress>(nullptr);
  archive->SetCompressedFile(archive_);
  archive->SetFilesToProcess(TStringList{file->SourcePath()});
  archive->Compress(lzcOnlyAdd, file->UniqueID());
  Free(archive);
}

void FileTreeTest::DamageMembers() {
  std::string archive = fixture::ReadFile(archive_);
  for (const fixture::Header& header : fixture::Headers(archive))
    archive[static_cast<size_t>(header.dataStart + header.compressedSize / 2)] ^= 0x20;
  fixture::WriteFile(archive_, archive);
}

std::vector<std::string> FileTreeTest::DestinationFiles() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dest_)) names.push_back(entry.path().filename().string());
  return names;
}

TListener* FileTreeTest::Listen(TInstallContainer* container) {
  auto* listener = New<TListener>(owner_);
  listener->SetContainer(container);
  return listener;
}

}  // namespace install_test
