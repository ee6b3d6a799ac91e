// A Java runtime stand-in: records its command line, then everything that
// arrives on its standard input as it comes, and a last record when the
// input ends.
#include "standin_log.h"

int main() {
  AppendStandinRecord("java|" + std::string(GetCommandLineA()));
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  char buffer[512];
  DWORD read = 0;
  while (ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0)
    AppendStandinRecord("stdin|" + std::string(buffer, read));
  AppendStandinRecord("stdin-ended");
  return 0;
}
