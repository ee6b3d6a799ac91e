// What the loader program reads of the setup file it runs from, before it
// extracts anything, and how it starts the installer.
//
// A setup.exe that the build made ends with the 56-byte self-extract
// header and 40 upper-case hexadecimal digits of the SHA-1 of every byte
// before them; one that the floppy copy wrote ends with a "NOTSELFEXTRACT"
// header and no checksum. In a "SELFEXTRACTING" file setup.1 (and files.1
// unless its offsets are 0) lie between the loader and the header; for a
// "NOTSELFEXTRACT" one they lie beside setup.exe. A file that ends
// otherwise, or whose checksum or offsets do not hold, is damaged.
//
// The installer (the first member of setup.1) is started from a folder of
// the loader's own:
//  - self-extracting: with that folder as loader directory ("-s"), which
//    holds files.1 too, and "-c", so that the installer removes the folder
//    at its end (its record and a restart after a reboot find it there);
//  - not self-extracting: with setup.exe's folder, where files.1 is (a disk
//    set on floppies asks for its disks there);
//  - "*TODISK" in the loader's arguments: with setup.exe's folder, "-e"
//    and setup.exe's name, and "-f": the installer copies the installation
//    from setup.exe to floppy disks.
// The loader's other arguments follow unchanged.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace loader {

// The setup file can't be used; the message says why, for the user.
class EDamagedSetup : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct SetupLayout {
  bool self_extracting = false;
  // Byte offsets in setup.exe of setup.1 and files.1 (self-extracting only;
  // files.1's are 0 when the build had none).
  int64_t setup1_first = 0, setup1_last = 0;
  int64_t files1_first = 0, files1_last = 0;
  bool HasFiles1() const { return files1_first != 0; }
};

// The layout of the setup file at path; raises EDamagedSetup.
SetupLayout ReadSetupLayout(const std::string& path);

// Whether the arguments ask for the floppy copy ("*TODISK", any case).
bool WantsFloppyCopy(const std::vector<std::string>& arguments);

// The installer's arguments for a setup file at setup_path with layout,
// extracted into folder, started with the loader's arguments (its own name
// not among them).
std::vector<std::string> InstallerArguments(const SetupLayout& layout, const std::string& setup_path,
                                            const std::string& folder, const std::vector<std::string>& arguments);
// The command line that starts program with arguments: each one with a
// blank in it in double quotes.
std::string CommandLine(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace loader
