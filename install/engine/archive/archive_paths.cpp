#include "archive_paths.h"

#include "os.h"

namespace archive_paths {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

size_t LastSeparator(const std::string &path) { return path.find_last_of("\\/"); }

}  // namespace

std::string Trim(const std::string &text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

bool SameText(const std::string &a, const std::string &b) { return FoldCase(a) == FoldCase(b); }

std::string FoldCase(const std::string &text) {
  std::string folded = text;
  for (char &c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return folded;
}

std::string FileDir(const std::string &path) {
  size_t sep = LastSeparator(path);
  if (sep == std::string::npos) return "";
  // A root ("C:\" or "/") keeps its separator: it is the whole directory.
  if (sep == 0 || (sep == 2 && path[1] == ':')) return path.substr(0, sep + 1);
  return path.substr(0, sep);
}

std::string FileName(const std::string &path) {
  size_t sep = LastSeparator(path);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string ChangeExt(const std::string &path, const std::string &extension) {
  size_t dot = path.find_last_of('.');
  size_t sep = LastSeparator(path);
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep))
    return path + extension;
  return path.substr(0, dot) + extension;
}

std::string AddTrailingSeparator(const std::string &path) {
  if (path.empty() || IsSeparator(path.back())) return path;
  return path + kSeparator;
}

bool FileExists(const std::string &path) {
  os::FileInfo info;
  return !path.empty() && os::FileQuery(path.c_str(), &info) && !info.isDirectory;
}

bool ForceDirectories(const std::string &dir) {
  std::string trimmed = dir;
  while (trimmed.size() > 1 && IsSeparator(trimmed.back())) trimmed.pop_back();
  if (trimmed.empty()) return true;
  os::FileInfo info;
  if (os::FileQuery(trimmed.c_str(), &info)) return info.isDirectory;
  std::string parent = FileDir(trimmed);
  if (!parent.empty() && parent != trimmed && !ForceDirectories(parent)) return false;
  return os::DirectoryCreate(trimmed.c_str()) ||
         (os::FileQuery(trimmed.c_str(), &info) && info.isDirectory);
}

}  // namespace archive_paths
