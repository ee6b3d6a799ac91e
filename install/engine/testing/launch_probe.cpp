// A program for the launcher test: writes the arguments it was given, one a
// line, into the file named by INSTALL_LAUNCH_RECORD.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  const char* record = std::getenv("INSTALL_LAUNCH_RECORD");
  if (!record) return 2;
  std::FILE* out = std::fopen(record, "w");
  if (!out) return 3;
  for (int i = 1; i < argc; ++i) std::fprintf(out, "%s\n", argv[i]);
  std::fclose(out);
  return 0;
}
