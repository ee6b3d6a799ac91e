// The record the help stand-ins keep: each appends lines "kind|fields..."
// to the file named by TIPCASTER_STANDIN_LOG, one whole line per write so
// that several processes can share the file. The tests read it back.
#ifndef NETMON_TESTING_TIPCASTER_STANDIN_LOG_H
#define NETMON_TESTING_TIPCASTER_STANDIN_LOG_H

#include <windows.h>

#include <string>

inline void AppendStandinRecord(const std::string &record) {
  char path[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("TIPCASTER_STANDIN_LOG", path, sizeof path);
  if (length == 0 || length >= sizeof path) return;
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string line = record + "\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

inline std::string TextOrNull(const char *text) { return text ? std::string(text) : std::string("(null)"); }

#endif
