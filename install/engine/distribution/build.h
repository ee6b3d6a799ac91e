// The installer library: where a distribution build finds the loader
// program that becomes setup.exe. It is the first directory of the
// development environment's library search path that holds the marker file
// "Q32V52.TXT". The search path is the text value "SearchPath" of the key
// HKEY_LOCAL_MACHINE "\Software\TORV\Q32V52": directories separated by
// ';', in the order they are tried, used as they stand.
//
// The build itself is the engine's "-b" mode (TCustomInstall::Build and
// its steps, core/install.h; written in build.cpp).
#pragma once

#include <string>

namespace install {

constexpr const char* kLibraryKey = "\\Software\\TORV\\Q32V52";
constexpr const char* kLibrarySearchPathValue = "SearchPath";
constexpr const char* kLibraryMarker = "Q32V52.TXT";
constexpr const char* kLoaderProgram = "QuendricLoadProgram.exe";

// The installer library directory, without trailing separator; raises
// IEInstall when the search path is missing or no directory of it holds
// the marker.
std::string FindLibraryDirectory();

}  // namespace install
