// The native build's version reader: files here carry no Windows version
// resources, so every file reads as having none (empty values, which the
// overwrite rule treats as equal versions).
#include <unistd.h>

#include <climits>

#include "archive/version_resource.h"

namespace install {

namespace {

class NoVersionReader : public VersionReader {
 public:
  bool Load(const std::string &) override { return false; }
  bool Query(const std::string &, std::vector<uint8_t> *) const override { return false; }
};

}  // namespace

std::unique_ptr<VersionReader> MakeSystemVersionReader() {
  return std::make_unique<NoVersionReader>();
}

std::string RunningProgramPath() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

}  // namespace install
