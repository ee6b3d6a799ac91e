// PathString: the control's 8-bit text type. A std::string with the path
// operations the help engine needs: splitting a path into folder, name and
// extension, joining and resolving paths against a base folder (drive and
// UNC forms), decimal numbers, and the "%%N" placeholders of command-line
// templates. Path separators are '\' and '/', and ':' after a drive letter.
#ifndef TIPCASTER_PATHSTRING_H
#define TIPCASTER_PATHSTRING_H

#include <cstdint>
#include <string>

class PathString : public std::string {
 public:
  using std::string::string;
  PathString() = default;
  PathString(const std::string &text) : std::string(text) {}  // NOLINT: texts convert freely

  // The part after the last separator; the whole text when there is none.
  bool GetFileName(PathString &out) const;
  // The part before the last separator, keeping a root ("C:\a" gives "C:\",
  // "\a" gives "\"); false and an empty out when there is no separator.
  bool GetDirectory(PathString &out) const;
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

  // Replaces every "%%N" (N from 1 to 9) by value, in one pass; nothing
  // happens for another N or when value itself holds the placeholder.
  void SubstituteArg(const std::string &value, int n);

  void ReplaceChar(char from, char to);
  // Whole-text comparison without regard to ASCII case; 0 when equal.
  int CompareNoCase(const std::string &other) const;
  // Sets the text to an unsigned 32-bit number in decimal.
  void UlongToText(uint32_t n);
  // Reads a number from the start: digits and '-' are taken until any other
  // character, any '-' makes it negative; the value wraps at 32 bits.
  int32_t TextToLong() const;
};

// A copy of text without blanks at either end.
std::string TrimBlanks(const std::string &text);

#endif
