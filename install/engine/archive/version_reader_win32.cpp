// The Windows build's version reader: the system's version API.
#include <windows.h>

#include "archive/version_resource.h"

namespace install {

namespace {

class SystemVersionReader : public VersionReader {
 public:
  bool Load(const std::string &path) override {
    block_.clear();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0) return false;
    block_.resize(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block_.data())) {
      block_.clear();
      return false;
    }
    return true;
  }

  bool Query(const std::string &subBlock, std::vector<uint8_t> *value) const override {
    if (block_.empty()) return false;
    void *data = nullptr;
    UINT length = 0;
    // The API takes a non-const block but only reads it.
    if (!VerQueryValueA(const_cast<uint8_t *>(block_.data()), subBlock.c_str(), &data, &length) ||
        data == nullptr)
      return false;
    const uint8_t *start = static_cast<const uint8_t *>(data);
    // Never past the block, whatever length the value claims.
    size_t available = block_.data() + block_.size() - start;
    value->assign(start, start + (length < available ? length : available));
    return true;
  }

 private:
  std::vector<uint8_t> block_;
};

}  // namespace

std::unique_ptr<VersionReader> MakeSystemVersionReader() {
  return std::make_unique<SystemVersionReader>();
}

std::string RunningProgramPath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length < MAX_PATH ? length : 0);
}

}  // namespace install
