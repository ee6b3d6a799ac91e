// PathString: the control's 8-bit text type. A std::string with the
// operations of the platform's text class (parts, searches, case, numbers
// in decimal), the path operations (splitting a path into folder, name and
// extension, joining, resolving and relating paths against a base folder in
// drive and UNC forms, shortening one to a pixel width), the "%%N"
// placeholders of command-line templates, and a few text utilities.
//
// Indices are zero-based positions; searches give -1 when nothing is
// found, and parts are cut to the text (a position or count past its end
// takes what there is). Path separators are '\' and '/', and ':' after a
// drive letter. Case and word characters are those of the ANSI code page,
// Windows-1252: ASCII and the accented letters.
#ifndef TIPCASTER_PATHSTRING_H
#define TIPCASTER_PATHSTRING_H

#include <cstddef>
#include <cstdint>
#include <string>

// The width and height of a text as drawn, in pixels.
struct TextSize {
  int width;
  int height;
};

// Where texts are measured: a Windows device context in the control
// (pathstring_win32.h), any other surface in tests.
class TextDevice {
 public:
  virtual ~TextDevice() = default;
  // The size of the first `length` characters of `text`.
  virtual TextSize TextExtent(const char *text, size_t length) const = 0;
};

class PathString : public std::string {
 public:
  using std::string::string;
  PathString() = default;
  PathString(const std::string &text) : std::string(text) {}  // NOLINT: texts convert freely

  // c repeated n times.
  static PathString RepeatChar(char c, int n);
  void AssignChar(char c);  // the text becomes the single character c

  int GetLength() const { return static_cast<int>(size()); }
  void TruncateTo(int n);  // keeps the first n characters

  PathString RightPart(int n) const;   // the last n characters
  PathString MidPart(int i, int n) const;  // n characters from i
  PathString MidFrom(int i) const;     // from i to the end
  PathString LeftOf(int n) const;      // the first n characters
  // The first (last) n characters; the whole text when n is not below its
  // length.
  PathString LeftUpTo(int n) const { return LeftOf(n); }
  PathString RightUpTo(int n) const { return RightPart(n); }

  int FindChar(char c) const;
  int FindText(const std::string &text) const;
  int ReverseFindChar(char c) const;
  int FindOneOf(const std::string &set) const;  // the first character of set

  // The character at i, sign-extended (characters above 127 are negative);
  // 0 at the end of the text and beyond.
  int CharAt(int i) const;
  void SetCharAt(int i, char c);  // nothing for a position outside the text
  void AppendChar(char c) { push_back(c); }

  void MakeUpper();
  void MakeLower();
  // Comparison without regard to case: 0 when equal, else -1 or 1.
  int CompareNoCase(const std::string &other) const;
  bool CStringEquals(const std::string &other) const { return *this == other; }
  // Character by character after lower-casing, '/' and '\' counting as
  // equal: -1, 0 or 1.
  int ComparePaths(const std::string &other) const;
  // In each run of word characters (letters, digits, '_') the first is
  // upper-cased and the rest lower-cased.
  void Capitalize();
  void ReplaceChar(char from, char to);
  // Characters up to the blank become '_', and so do those a kind forbids:
  // kind 1 those not allowed in a long file name (" * / : < > ? \ |), kind
  // 2 those not allowed in a URL part (# % / : ; = ? [ \ ] and 127), kind 3
  // both; any other kind those not allowed in a short file name
  // (" * + , . / : ; < = > ? [ \ ] |). Characters above 127 stay.
  void ReplaceInvalidChars(int kind);

  // The part after the last separator; the whole text when there is none.
  bool GetFileName(PathString &out) const;
  // The part before the last separator, keeping a root ("C:\a" gives "C:\",
  // "\a" gives "\"); false and an empty out when there is no separator.
  bool GetDirectory(PathString &out) const;
  // The text after the last '.' of the file name; empty when it has none.
  void GetExtension(PathString &out) const;
  // The file name without its last '.' and what follows.
  void GetFileTitle(PathString &out) const;
  // "\\server\share\" of a UNC path (the whole text when it ends before the
  // separator after the share); empty for any other path.
  void GetUncRoot(PathString &out) const;

  // Appends a backslash unless the text is empty or already ends in '/', ':'
  // or '\', then the tail.
  void AppendPath(const std::string &tail = std::string());
  // The absolute form of this path against a base folder: relative paths are
  // joined to the base ("..\" climbs), rooted paths take the base's drive or
  // UNC root; '/' becomes '\' and "\.\" collapses.
  void ResolvePath(PathString &out, const PathString &base) const;
  // The inverse: this path relative to the base folder when it lies below
  // it; otherwise, with `dropDrive`, without the drive (or UNC root) that
  // it shares with the base, and unchanged when it shares none; '/'
  // becomes '\' and "\.\" collapses.
  void MakeRelativePath(PathString &out, const PathString &base, bool dropDrive) const;
  // Shortens the path in place until it is at most `width` pixels wide on
  // the device: the component after the drive (or the UNC root, which is
  // kept) becomes "...", then the components after it go one by one. The
  // file name is never removed, so the text may stay wider.
  void CompactPath(const TextDevice &device, int width);

  // Signed 16-bit and unsigned 32-bit numbers in decimal: set, or append.
  void ShortToText(int16_t n);
  void ShortToTextAppend(int16_t n);
  void UlongToText(uint32_t n);
  void UlongToTextAppend(uint32_t n);
  // Reads a number from the start: digits and '-' are taken until any other
  // character, any '-' makes it negative; the value wraps at 32 (16) bits.
  int32_t TextToLong() const;
  int16_t TextToShort() const;

#ifdef _WIN32
  // The string of this id in the string table of the module that holds
  // this code; false (and the text unchanged) when it has none.
  bool LoadResString(unsigned id);
#endif

  // Replaces every "%%N" (N from 1 to 9) by value, in one pass; nothing
  // happens for another N or when value itself holds the placeholder.
  void SubstituteArg(const std::string &value, int n);
};

// A copy of text without blanks at either end.
std::string TrimBlanks(const std::string &text);

#endif
