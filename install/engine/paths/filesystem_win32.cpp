// The file-system services that stand on Windows.
#include <windows.h>

#include <vector>

#include "core/exceptions.h"
#include "paths/filesystem.h"

namespace install {

std::string SystemErrorMessage(uint32_t code) {
  char* text = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message(text ? text : "", length);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message;
}

void SetFileAttributesFromSet(const std::string& path, TQndrFileAttributesSet attributes) {
  if (!SetFileAttributesA(path.c_str(), WindowsFileAttributes(attributes)))
    throw IEfcSetAttributes("Cannot set file attributes. Error : %s", {SystemErrorMessage(GetLastError())});
}

void GetFileAttributesSet(const std::string& path, TQndrFileAttributesSet& attributes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileInformationByHandle(file, &information))
    attributes = FileAttributesFromWindows(information.dwFileAttributes);
  CloseHandle(file);
}

// The system's copy: the C++ library's copy takes every two files of one
// drive for the same file (its stat has no file numbers here) and refuses
// to copy over an existing target.
bool CopyFileOver(const std::string& source, const std::string& target) {
  return CopyFileA(source.c_str(), target.c_str(), FALSE) != 0;
}

std::string LoadStringFromModule(const std::string& library_name, uint32_t id) {
  HMODULE library = LoadLibraryA(library_name.c_str());
  if (!library) return "";
  std::vector<char> buffer(4096);
  int length = LoadStringA(library, id, buffer.data(), static_cast<int>(buffer.size()));
  FreeLibrary(library);
  return std::string(buffer.data(), length > 0 ? static_cast<size_t>(length) : 0);
}

}  // namespace install
