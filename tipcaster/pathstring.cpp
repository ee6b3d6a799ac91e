#include "pathstring.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }
bool IsSlash(char c) { return c == '\\' || c == '/'; }

// The position of the last '\', '/' or ':', or npos.
size_t LastSeparator(const std::string &text) { return text.find_last_of("\\/:"); }

bool StartsWithTwoBackslashes(const std::string &text) {
  return text.size() >= 2 && text[0] == '\\' && text[1] == '\\';
}

// Windows-1252 letters beyond ASCII: their case partners sit 0x20 apart
// (À-Þ and à-þ, but × and ÷), 0x10 apart (Š Œ Ž) or at Ÿ and ÿ; ß has no
// capital.
unsigned char LowerAnsi(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c == 0x8A || c == 0x8C || c == 0x8E) return c + 0x10;
  if (c == 0x9F) return 0xFF;
  return c;
}

unsigned char UpperAnsi(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 0x10;
  if (c == 0xFF) return 0x9F;
  return c;
}

bool IsLetterAnsi(unsigned char c) { return LowerAnsi(c) != UpperAnsi(c) || c == 0xDF; }

bool IsWordChar(unsigned char c) { return IsLetterAnsi(c) || (c >= '0' && c <= '9') || c == '_'; }

char Lower(char c) { return static_cast<char>(LowerAnsi(static_cast<unsigned char>(c))); }
char Upper(char c) { return static_cast<char>(UpperAnsi(static_cast<unsigned char>(c))); }

int Sign(int difference) { return difference < 0 ? -1 : difference > 0 ? 1 : 0; }

// Compares two texts character by character after `fold`; the shorter of
// two that agree as far as it goes comes first.
template <typename Fold>
int CompareFolded(const std::string &a, const std::string &b, Fold fold) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    int difference = fold(a[i]) - fold(b[i]);
    if (difference != 0) return Sign(difference);
  }
  return Sign(static_cast<int>(a.size() > b.size()) - static_cast<int>(a.size() < b.size()));
}

int FoldCase(char c) { return LowerAnsi(static_cast<unsigned char>(c)); }
int FoldPath(char c) { return IsSlash(c) ? '\\' : FoldCase(c); }

// The position as an index, -1 for npos.
int Index(size_t at) { return at == std::string::npos ? -1 : static_cast<int>(at); }

// A count or position cut to [0, limit].
size_t Clamp(int n, size_t limit) { return n < 0 ? 0 : std::min(static_cast<size_t>(n), limit); }

// Every '/' becomes '\' and every "\.\" collapses to "\".
void CollapseDots(PathString &path) {
  path.ReplaceChar('/', '\\');
  for (size_t at = path.find("\\.\\"); at != std::string::npos; at = path.find("\\.\\"))
    path.replace(at, 3, "\\");
}

bool EndsWith(const std::string &text, const char *tail) {
  size_t length = std::strlen(tail);
  return text.size() >= length && text.compare(text.size() - length, length, tail) == 0;
}

// The characters a kind of name does not allow, besides those up to the
// blank.
const char kLongNameForbidden[] = "\"*/:<>?\\|";
const char kShortNameForbidden[] = "\"*+,./:;<=>?[\\]|";
const char kUrlForbidden[] = "#%/:;=?[\\]\x7f";

bool Forbidden(char c, int kind) {
  auto in = [c](const char *set) { return std::strchr(set, c) != nullptr; };
  switch (kind) {
    case 1: return in(kLongNameForbidden);
    case 2: return in(kUrlForbidden);
    case 3: return in(kLongNameForbidden) || in(kUrlForbidden);
    default: return in(kShortNameForbidden);
  }
}

}  // namespace

PathString PathString::RepeatChar(char c, int n) { return PathString(Clamp(n, npos), c); }

void PathString::AssignChar(char c) { assign(1, c); }

void PathString::TruncateTo(int n) { resize(Clamp(n, size())); }

PathString PathString::RightPart(int n) const {
  size_t count = Clamp(n, size());
  return substr(size() - count);
}

PathString PathString::MidPart(int i, int n) const {
  size_t from = Clamp(i, size());
  return substr(from, Clamp(n, size() - from));
}

PathString PathString::MidFrom(int i) const { return substr(Clamp(i, size())); }

PathString PathString::LeftOf(int n) const { return substr(0, Clamp(n, size())); }

int PathString::FindChar(char c) const { return Index(find(c)); }

int PathString::FindText(const std::string &text) const { return Index(find(text)); }

int PathString::ReverseFindChar(char c) const { return Index(rfind(c)); }

int PathString::FindOneOf(const std::string &set) const { return Index(find_first_of(set)); }

int PathString::CharAt(int i) const {
  if (i < 0 || static_cast<size_t>(i) >= size()) return 0;
  return static_cast<signed char>((*this)[static_cast<size_t>(i)]);
}

void PathString::SetCharAt(int i, char c) {
  if (i >= 0 && static_cast<size_t>(i) < size()) (*this)[static_cast<size_t>(i)] = c;
}

void PathString::MakeUpper() { std::transform(begin(), end(), begin(), Upper); }

void PathString::MakeLower() { std::transform(begin(), end(), begin(), Lower); }

int PathString::CompareNoCase(const std::string &other) const {
  return CompareFolded(*this, other, FoldCase);
}

int PathString::ComparePaths(const std::string &other) const {
  return CompareFolded(*this, other, FoldPath);
}

void PathString::Capitalize() {
  bool inWord = false;
  for (char &c : *this) {
    bool word = IsWordChar(static_cast<unsigned char>(c));
    if (word) c = inWord ? Lower(c) : Upper(c);
    inWord = word;
  }
}

void PathString::ReplaceChar(char from, char to) {
  for (char &c : *this)
    if (c == from) c = to;
}

void PathString::ReplaceInvalidChars(int kind) {
  for (char &c : *this) {
    unsigned char code = static_cast<unsigned char>(c);
    if (code <= ' ' || (code < 0x80 && Forbidden(c, kind))) c = '_';
  }
}

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

void PathString::GetExtension(PathString &out) const {
  PathString name;
  GetFileName(name);
  size_t dot = name.rfind('.');
  out = dot == npos ? PathString() : PathString(name.substr(dot + 1));
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
  bool rooted = !empty() && IsSlash((*this)[0]);
  if (hasDrive || StartsWithTwoBackslashes(*this)) {
    out = *this;
  } else if (!rooted) {
    out = base;
    std::string rest = *this;
    if (!rest.empty() && rest[0] == '.') {
      while (rest.size() >= 3 && rest.compare(0, 2, "..") == 0 && IsSlash(rest[2]) &&
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
  CollapseDots(out);
  if (out.size() > 4 && EndsWith(out, "\\.")) out.resize(out.size() - 2);
}

void PathString::MakeRelativePath(PathString &out, const PathString &base, bool dropDrive) const {
  PathString folder = base;
  if (folder.empty() || !IsSeparator(folder.back())) folder.push_back('\\');
  if (size() >= folder.size() && LeftOf(folder.GetLength()).ComparePaths(folder) == 0) {
    out = substr(folder.size());
    if (!out.empty() && IsSlash(out[0])) out.erase(0, 1);
  } else if (dropDrive && StartsWithTwoBackslashes(*this)) {
    // Rooted on the share: from the separator that ends the root (the
    // share itself when the path is no more than its root).
    PathString root;
    GetUncRoot(root);
    bool shared = folder.LeftOf(root.GetLength()).CompareNoCase(root) == 0;
    if (!shared)
      out = *this;
    else
      out = IsSlash(root.back()) ? PathString(substr(root.size() - 1)) : PathString("\\");
  } else if (dropDrive && size() >= 2 && (*this)[1] == ':' &&
             LeftOf(2).CompareNoCase(folder.LeftOf(2)) == 0) {
    out = substr(2);
  } else {
    out = *this;
  }
  CollapseDots(out);
  if (out.size() > 2 && out.compare(0, 2, ".\\") == 0) out.erase(0, 2);
  if (out.size() > 2 && EndsWith(out, "\\.")) out.resize(out.size() - 2);
}

void PathString::CompactPath(const TextDevice &device, int width) {
  PathString root;
  GetUncRoot(root);
  // The separator after which components may go: the one that ends the
  // UNC root, or the first of the path.
  size_t first = find_first_of("\\/", root.empty() ? 0 : root.size() - 1);
  if (first == npos) return;
  bool shortened = false;
  while (device.TextExtent(data(), size()).width > width) {
    size_t component = first + 1 + (shortened ? 4 : 0);  // after "...\" once it is there
    size_t end = find_first_of("\\/", component);
    if (end == npos) return;  // the next component is the file name
    if (shortened) {
      erase(component, end - component + 1);
    } else {
      replace(component, end - component, "...");
      shortened = true;
    }
  }
}

void PathString::ShortToText(int16_t n) { assign(std::to_string(n)); }

void PathString::ShortToTextAppend(int16_t n) { append(std::to_string(n)); }

void PathString::UlongToText(uint32_t n) { assign(std::to_string(n)); }

void PathString::UlongToTextAppend(uint32_t n) { append(std::to_string(n)); }

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

// The low 16 bits of the 32-bit reading are the reading wrapped at 16 bits.
int16_t PathString::TextToShort() const {
  return static_cast<int16_t>(static_cast<uint16_t>(TextToLong()));
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

std::string TrimBlanks(const std::string &text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}
