// Loads arbitrary bytes as a configuration file, then reads, edits and
// writes it back through every call, checking that reads stay within the
// caller's buffer and that a written key reads back.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cini.h"

namespace {

std::string TempPath() {
  return "/tmp/fuzz_ini_" + std::to_string(getpid()) + ".cfg";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::string path = TempPath();
  FILE *file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  if (size) std::fwrite(data, 1, size, file);
  std::fclose(file);

  // Names to look up come from the input's first bytes, so the fuzzer can
  // aim at sections and keys that are in the file.
  std::string input(reinterpret_cast<const char *>(data), size);
  std::string section = input.substr(0, input.find_first_of("\n=]\0", 0, 4) % 16);
  std::string key = size > 4 ? input.substr(1, 3) : "k";
  if (key.find('\0') != std::string::npos || key.find('=') != std::string::npos) key = "k";

  IniFile *ini = _IniCreate(path.c_str());
  if (!ini) return 0;
  constexpr size_t kSmall = 8, kGuard = 16;
  char small[kSmall + kGuard];
  std::memset(small, 0x5A, sizeof small);
  IniReadStrN(ini, section.c_str(), key.c_str(), small, kSmall);
  for (size_t i = kSmall; i < sizeof small; i++)
    if (small[i] != 0x5A) std::abort();
  char *full = static_cast<char *>(std::malloc(INI_LINE_MAX + 1));
  full[0] = '\0';
  _IniReadStr(ini, nullptr, key.c_str(), full);
  _IniReadInt(ini, section.c_str(), key.c_str(), 0);

  Collection *lines = _Co_Create(4, 4, nullptr);
  _IniReadSection(ini, section.c_str(), lines);
  IniReadSectionNames(ini, lines);
  _Co_Free(lines);

  const char *sections[] = {section.c_str(), nullptr};
  for (const char *target : sections) {
    _IniWriteStr(ini, target, key.c_str(), "value");
    std::strcpy(full, "missing");
    _IniReadStr(ini, target, key.c_str(), full);
    // A key that holds a blank or bracket text may not be addressable;
    // a plain one must read back.
    bool plain = !key.empty() && key.find_first_of(" ;[\r\n") == std::string::npos;
    bool plainSection = !target || section.find_first_of(" []\r\n") == std::string::npos;
    if (plain && plainSection && std::strcmp(full, "value") != 0) std::abort();
  }
  IniClearSectionValues(ini, section.c_str());
  _IniDeleteKey(ini, section.c_str(), key.c_str());
  _IniEraseSection(ini, section.c_str());
  _IniClose(ini);
  std::free(full);
  return 0;
}
