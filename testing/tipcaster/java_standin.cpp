// A Java runtime stand-in: records its command line, then everything that
// arrives on its standard input as it comes, and a last record when the
// input ends. Each record carries the process id, so that two viewers
// (the one replaced and the new one) can be told apart.
#include "standin_log.h"

int main() {
  const std::string process = std::to_string(GetCurrentProcessId()) + "|";
  AppendStandinRecord("java|" + process + GetCommandLineA());
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  char buffer[512];
  DWORD read = 0;
  while (ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0)
    AppendStandinRecord("stdin|" + process + std::string(buffer, read));
  AppendStandinRecord("stdin-ended|" + process);
  return 0;
}
