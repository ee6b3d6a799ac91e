// Packs files into an installer archive, each under its path as given
// (relative to the current directory, as the install script names its
// members: IncludeFromDir\FileName) and with its file identifier.
// Usage: demo_pack_files <archive> <id>=<path> ...
// The first file starts a new archive; the others are appended.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "archive/qndr_compress.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <archive> <id>=<path> ...\n", argv[0]);
    return 2;
  }
  try {
    install::TQndrCompress archive;
    archive.SetCompressedFile(argv[1]);
    for (int i = 2; i < argc; ++i) {
      std::string entry = argv[i];
      size_t equals = entry.find('=');
      if (equals == std::string::npos || equals == 0) {
        std::fprintf(stderr, "not <id>=<path>: %s\n", argv[i]);
        return 2;
      }
      archive.SetFilesToProcess(forms::TStringList{entry.substr(equals + 1)});
      archive.Compress(i == 2 ? install::lzcOverwrite : install::lzcOnlyAdd, std::atoi(entry.substr(0, equals).c_str()));
      std::printf("  %s  (file %s)\n", entry.substr(equals + 1).c_str(), entry.substr(0, equals).c_str());
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "cannot pack %s: %s\n", argv[1], error.what());
    return 1;
  }
  return 0;
}
