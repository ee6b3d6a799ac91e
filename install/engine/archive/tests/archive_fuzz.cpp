// Damaged archives fed to the reader: the first byte picks where the
// archive starts inside the file, the rest is the file. Reading the
// headers, listing and extracting every member must end in an archive
// error or in success, never in a crash, a hang or a huge allocation.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "archive/qndr_compress.h"
#include "archive/tests/archive_fixture.h"

using namespace install;

namespace {

// The run's own directory, removed when the fuzzer ends.
struct RunDirectory {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("archive_fuzz_" + std::to_string(getpid()));
  RunDirectory() { std::filesystem::create_directories(path); }
  ~RunDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  static const RunDirectory run;
  const std::filesystem::path &dir = run.path;
  std::string archivePath = (dir / "files.1").string();
  fixture::WriteFile(archivePath, std::string(reinterpret_cast<const char *>(data) + 1, size - 1));

  TQndrCompress archive;
  archive.SetCompressedFile(archivePath);
  archive.SetOffset(data[0] % 32);
  archive.SetExtractDirectory((dir / "out").string());
  // Every member goes to one file, whatever its stored name.
  archive.SetOnBeforeExtracting([](TQndrCompress *sender, const TlzhFileStats &) {
    sender->SetTargetName("member.out");
  });
  try {
    std::vector<std::string> names;
    archive.SetOnListing([&](TQndrCompress *, const TlzhFileStats &s) {
      names.push_back(s.FileName);
    });
    archive.List();
    for (const std::string &name : names) {
      std::vector<std::string> one{name};
      archive.SetFilesToProcess(one);
      try {
        archive.Extract();
      } catch (const std::exception &) {
      }
      archive.SetAbort(false);
    }
  } catch (const std::exception &) {
  }
  return 0;
}
