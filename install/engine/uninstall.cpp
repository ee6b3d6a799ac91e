#include "uninstall.h"

#include <cstdint>
#include <limits>

#include "registry.h"
#include "support.h"
#include "sysutils.h"

namespace install {
namespace {

const char kEntries[] = "Entries";

// The number the next entry of the list gets. A counter that is not a
// number (or can't grow) makes the list unusable: it raises.
int32_t NextEntryNumber(const std::string& list_key) {
  std::string counter = ReadRegistryString(hkLocalMachine, list_key, kEntries, "0");
  int32_t count = 0;
  if (!forms::TryStrToInt(counter, count) || count < 0 || count == std::numeric_limits<int32_t>::max())
    throw EIRCannotWriteValue(CannotWriteStringMessage(list_key, kEntries, counter));
  return count + 1;
}

// Writes "File<n>" into the list and answers n; the counter is left to the
// caller, which writes it once the entry is in.
int32_t WriteFileValue(const std::string& list_key, const std::string& data) {
  int32_t number = NextEntryNumber(list_key);
  WriteRegistryString(hkLocalMachine, list_key, "File" + forms::IntToStr(number), data);
  return number;
}

std::string ActiveXKind(const std::string& path) {
  std::string extension = forms::UpperCase(ExtractFileExt(path));
  if (extension == ".TLB") return "2";
  if (extension == ".EXE") return "1";
  return "0";
}

}  // namespace

std::string UninstallProductKey(const std::string& product_name) {
  return "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product_name;
}

void AddUninstallFileEntry(const std::string& product_key, const std::string& path) {
  for (int list = 0;; ++list) {
    std::string list_key = product_key + "\\Files" + (list == 0 ? std::string() : forms::IntToStr(list));
    int32_t number = 0;
    try {
      number = WriteFileValue(list_key, path);
    } catch (const EIRCannotWriteValue&) {
      if (list + 1 == kUninstallFileLists) throw;
      continue;
    }
    WriteRegistryString(hkLocalMachine, list_key, kEntries, forms::IntToStr(number));
    return;
  }
}

void AddUninstallActiveXEntry(const std::string& product_key, const std::string& path) {
  std::string list_key = product_key + "\\ActiveX";
  int32_t number = WriteFileValue(list_key, path + ";" + ActiveXKind(path));
  WriteRegistryString(hkLocalMachine, list_key, kEntries, forms::IntToStr(number));
}

}  // namespace install
