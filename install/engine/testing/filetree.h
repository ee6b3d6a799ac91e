// Test support for file containers and install files: a temporary folder
// with source files, an archive built from them the way the build does (one
// Compress per file with the file's identifier), and a listener that
// records what a container broadcasts to its helpers.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "archive/tests/archive_fixture.h"
#include "items/filecontainer.h"
#include "items/installfile.h"
#include "testing/fixtures.h"

namespace install_test {

// One broadcast as a helper heard it.
struct Heard {
  int code = 0;
  std::string sender;
  std::string file_name;         // -998 only
  int32_t file_bytes_done = 0;   // -998 only
  int32_t total_bytes_done = 0;  // -998 only
  int32_t total_percent = 0;     // -998 only
};

// text as a quoted string of the stored stream (backslashes doubled).
std::string ScriptString(const std::string& text);

// A helper of registered type 9000 that records every broadcast.
class TListener : public install::TInstallObject {
  FORMS_CLASS(TListener)
public:
  int RegisteredType() const override { return 9000; }
  void DoInformationEvent(forms::TComponent* sender, int code, forms::TPersistent* param) override;
  std::vector<Heard> heard;
  // The codes heard, in order.
  std::vector<int> Codes() const;
  // Called with each code after it is recorded: a test acts as a dialog.
  std::function<void(int code)> on_event;
};

// Questions to the user fail the test unless the test answers them.
class FileTreeTest : public EngineTest {
protected:
  void SetUp() override;
  // A source file of size bytes in the source folder.
  std::string Source(const std::string& name, size_t size);
  // A directory container installing into dest_ from archive_.
  install::TInstallDirectory* Directory(const std::string& name);
  // An install file of the container; its source is in the source folder.
  install::TInstallFile* File(const std::string& name, const std::string& file_name,
                              install::TInstallContainer* container);
  // A file already in the destination folder; answers its path.
  std::string Existing(const std::string& name, const std::string& content);
  // Adds the file's source to the archive under its identifier.
  void Pack(install::TCustomInstallFile* file);
  // Flips one byte in the middle of each member's data in the archive.
  void DamageMembers();
  // The names of the files in the destination folder.
  std::vector<std::string> DestinationFiles() const;
  TListener* Listen(install::TInstallContainer* container);

  fixture::TempDir temp_;
  std::string source_dir_, dest_, archive_;
};

}  // namespace install_test
