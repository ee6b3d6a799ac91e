// Test support on Windows: runs a program and collects what it writes to
// its standard output, and runs this folder's probe program with Wine
// presenting a chosen Windows version to it (its AppDefaults setting).
#pragma once

#include <string>

namespace install_test {

// Runs command_line; returns the exit code (-1 when it cannot start) and
// the program's standard output in output.
int RunProgram(const std::string& command_line, std::string& output);

// The file beside this test program.
std::string BesideThisProgram(const std::string& name);

// Runs install_os_probe.exe with arguments while Wine presents version
// ("winxp", "win2k", "nt40", "win98", "winme"; nullptr: Wine's default).
int RunProbeUnder(const char* version, const std::string& arguments, std::string& output);

}  // namespace install_test
