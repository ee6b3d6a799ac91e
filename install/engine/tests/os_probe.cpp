// A program for the Windows-version test: exits with the TOSVerType the
// installer sees on the running system.
#include "support.h"

int main() { return install::GetOSVersion(); }
