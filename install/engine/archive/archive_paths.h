// Path text routines the archive needs. Both '\' and '/' end a directory
// part (member names come from Windows paths, tests also run natively);
// new separators are the platform's own.
#ifndef INSTALL_ARCHIVE_PATHS_H
#define INSTALL_ARCHIVE_PATHS_H

#include <string>

namespace archive_paths {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

std::string Trim(const std::string &text);  // without leading and trailing blanks and controls
bool SameText(const std::string &a, const std::string &b);  // equal ignoring ASCII case
std::string FoldCase(const std::string &text);  // ASCII letters in lower case
std::string FileDir(const std::string &path);   // directory part, no trailing separator
std::string FileName(const std::string &path);  // the part after the last separator
// The path with its extension (from the last '.' of the file name) replaced.
std::string ChangeExt(const std::string &path, const std::string &extension);
// A separator is added unless the text is empty or already ends in one.
std::string AddTrailingSeparator(const std::string &path);
bool FileExists(const std::string &path);  // an existing file, not a directory
// Creates the directory and every missing parent; false when one fails.
bool ForceDirectories(const std::string &dir);

}  // namespace archive_paths

#endif
