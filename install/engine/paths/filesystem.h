// File-system services of the installer: the installer's file-attribute set
// and the Windows attributes, the nearest existing directory of a path,
// texts from system libraries, the copy of a file over another, and the
// creation of a directory with all its missing parents (the one routine
// every caller uses).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace install {

enum TQndrFileAttributes : uint8_t {
  qfaArchive, qfaCompressed, qfaDirectory, qfaHidden, qfaNormal, qfaOffline, qfaReadOnly, qfaSystem, qfaTemporary
};
// A set of TQndrFileAttributes: bit n stands for the value n.
using TQndrFileAttributesSet = uint16_t;
constexpr TQndrFileAttributesSet FileAttributeBit(TQndrFileAttributes a) {
  return static_cast<TQndrFileAttributesSet>(1u << a);
}
extern const std::vector<std::string> kQndrFileAttributeNames;

// The sum of the Windows values of the elements that can be written (all
// but qfaCompressed), and the set the Windows attributes read back as
// (archive, hidden, normal, read-only, system, temporary).
uint32_t WindowsFileAttributes(TQndrFileAttributesSet attributes);
TQndrFileAttributesSet FileAttributesFromWindows(uint32_t windows_attributes);

#ifdef _WIN32
// Raises IEfcSetAttributes with the system's message when it fails.
void SetFileAttributesFromSet(const std::string& path, TQndrFileAttributesSet attributes);
// Reads the attributes of a file that can be opened for reading without
// sharing; otherwise attributes stays as it was.
void GetFileAttributesSet(const std::string& path, TQndrFileAttributesSet& attributes);
// String resource id of the library, or empty when either is missing.
std::string LoadStringFromModule(const std::string& library_name, uint32_t id);
// The system's own text for an error code (GetLastError), without its
// line end; empty for a code the system has no text for.
std::string SystemErrorMessage(uint32_t code);
#endif

// Copies source to target, replacing a target that exists; false when
// either can't be opened or the copy fails.
bool CopyFileOver(const std::string& source, const std::string& target);

// The path itself when it is an existing directory, else the nearest such
// directory above it (a drive as "C:"); empty for a blank path or when
// none exists.
std::string NearestExistingDirectory(const std::string& path);

}  // namespace install
