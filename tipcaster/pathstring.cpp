#include "pathstring.h"

#include <algorithm>
#include <cctype>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

// The position of the last '\', '/' or ':', or npos.
size_t LastSeparator(const std::string &text) { return text.find_last_of("\\/:"); }

bool StartsWithTwoBackslashes(const std::string &text) {
  return text.size() >= 2 && text[0] == '\\' && text[1] == '\\';
}

// Turns '/' into '\', collapses "\.\" and drops a trailing "\." of a path
// longer than a bare root.
void CleanResolvedPath(PathString &path) {
  path.ReplaceChar('/', '\\');
  for (size_t at = path.find("\\.\\"); at != std::string::npos; at = path.find("\\.\\"))
    path.replace(at, 3, "\\");
  if (path.size() > 4 && path.compare(path.size() - 2, 2, "\\.") == 0) path.resize(path.size() - 2);
}

}  // namespace

bool PathString::GetFileName(PathString &out) const {
  size_t at = LastSeparator(*this);
  out = at == npos ? PathString(*this) : PathString(substr(at + 1));
  return true;
}

bool PathString::GetDirectory(PathString &out) const {
  size_t at = LastSeparator(*this);
  if (at == npos) {
    out.clear();
    return false;
  }
  size_t cut = at;
  if (at == 0 || (*this)[at] == ':' || (*this)[at - 1] == ':') cut = at + 1;
  out = substr(0, cut);
  return true;
}

void PathString::GetFileTitle(PathString &out) const {
  GetFileName(out);
  size_t dot = out.rfind('.');
  if (dot != npos) out.resize(dot);
}

void PathString::GetUncRoot(PathString &out) const {
  out.clear();
  if (!StartsWithTwoBackslashes(*this)) return;
  size_t afterServer = find_first_of("\\/", 2);
  size_t afterShare = afterServer == npos ? npos : find_first_of("\\/", afterServer + 1);
  out = afterShare == npos ? PathString(*this) : PathString(substr(0, afterShare + 1));
}

void PathString::AppendPath(const std::string &tail) {
  if (!empty() && !IsSeparator(back())) push_back('\\');
  append(tail);
}

void PathString::ResolvePath(PathString &out, const PathString &base) const {
  bool hasDrive = size() >= 2 && (*this)[1] == ':';
  bool rooted = !empty() && ((*this)[0] == '/' || (*this)[0] == '\\');
  if (hasDrive || StartsWithTwoBackslashes(*this)) {
    out = *this;
  } else if (!rooted) {
    out = base;
    std::string rest = *this;
    if (!rest.empty() && rest[0] == '.') {
      while (rest.size() >= 3 && rest.compare(0, 2, "..") == 0 && (rest[2] == '/' || rest[2] == '\\') &&
             out.size() >= 4) {
        PathString parent;
        out.GetDirectory(parent);
        out = parent;
        rest.erase(0, 3);
      }
    }
    out.AppendPath(rest);
  } else if (base.size() > 2 && StartsWithTwoBackslashes(base)) {
    base.GetUncRoot(out);
    out.append(*this, 1);
  } else if (base.size() >= 2 && base[1] == ':') {
    out = base.substr(0, 2) + *this;
  } else {
    // A base without a drive has nothing to put before a rooted path.
    out = *this;
  }
  CleanResolvedPath(out);
}

void PathString::SubstituteArg(const std::string &value, int n) {
  if (n < 1 || n > 9) return;
  const std::string placeholder = std::string("%%") + static_cast<char>('0' + n);
  if (value.find(placeholder) != npos) return;
  // One pass from left to right: text put in is never searched again, so a
  // value that forms a new placeholder with what follows cannot loop.
  for (size_t at = find(placeholder); at != npos; at = find(placeholder, at + value.size()))
    replace(at, placeholder.size(), value);
}

void PathString::ReplaceChar(char from, char to) {
  for (char &c : *this)
    if (c == from) c = to;
}

int PathString::CompareNoCase(const std::string &other) const {
  size_t common = std::min(size(), other.size());
  for (size_t i = 0; i < common; ++i) {
    int a = std::tolower(static_cast<unsigned char>((*this)[i]));
    int b = std::tolower(static_cast<unsigned char>(other[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  if (size() == other.size()) return 0;
  return size() < other.size() ? -1 : 1;
}

void PathString::UlongToText(uint32_t n) { assign(std::to_string(n)); }

int32_t PathString::TextToLong() const {
  uint32_t magnitude = 0;
  bool negative = false;
  for (char c : *this) {
    if (c == '-') {
      negative = true;
    } else if (c >= '0' && c <= '9') {
      magnitude = magnitude * 10u + static_cast<uint32_t>(c - '0');
    } else {
      break;
    }
  }
  return static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
}

std::string TrimBlanks(const std::string &text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}
