#include "cini.h"

#include <cassert>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "log.h"
#include "os.h"

struct IniFile {
  char *fileName;
  Collection *lines;  // owned text lines without their line ends
  unsigned char dirty;
  os::Semaphore *Access;
  const char *lineEnd;  // the file's own, so a rewrite keeps it
};

namespace {

#ifdef _WIN32
const char kDefaultLineEnd[] = "\r\n";
#else
const char kDefaultLineEnd[] = "\n";
#endif

// Holds a handle's lock for the life of one call.
class Locked {
 public:
  explicit Locked(IniFile *ini) : ini_(ini) { os::SemWait(ini_->Access); }
  ~Locked() { os::SemPost(ini_->Access); }
  Locked(const Locked &) = delete;
  Locked &operator=(const Locked &) = delete;

 private:
  IniFile *ini_;
};

struct Text {
  const char *begin = nullptr;
  size_t length = 0;
};

enum class LineKind { Blank, Comment, Header, Key, Other };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  Text name;   // a header's section name, or a key line's key
  Text value;  // a key line's value
  bool named = false;  // a header whose closing bracket ends the line
};

const char *SkipBlanks(const char *p) {
  while (*p == ' ') p++;
  return p;
}

Text Trimmed(const char *begin, const char *end) {
  while (begin < end && *begin == ' ') begin++;
  while (end > begin && end[-1] == ' ') end--;
  return Text{begin, static_cast<size_t>(end - begin)};
}

ParsedLine Parse(const char *line) {
  ParsedLine parsed;
  const char *first = SkipBlanks(line);
  const char *end = first + std::strlen(first);
  if (*first == '\0') {
    parsed.kind = LineKind::Blank;
  } else if (*first == ';') {
    parsed.kind = LineKind::Comment;
  } else if (*first == '[') {
    parsed.kind = LineKind::Header;
    const char *last = end;
    while (last > first && last[-1] == ' ') last--;
    if (last - first >= 2 && last[-1] == ']') {
      parsed.name = Trimmed(first + 1, last - 1);
      parsed.named = true;
    }
  } else if (const char *equals = std::strchr(first, '=')) {
    parsed.kind = LineKind::Key;
    parsed.name = Trimmed(first, equals);
    const char *valueEnd = end;
    while (valueEnd > equals + 1 && valueEnd[-1] == ' ') valueEnd--;
    parsed.value = Text{equals + 1, static_cast<size_t>(valueEnd - equals - 1)};
  }
  return parsed;
}

bool SameName(const Text &text, const char *name) {
  if (std::strlen(name) != text.length) return false;
  for (size_t i = 0; i < text.length; i++)
    if (std::tolower(static_cast<unsigned char>(text.begin[i])) !=
        std::tolower(static_cast<unsigned char>(name[i])))
      return false;
  return true;
}

const char *LineAt(const IniFile *ini, int index) {
  return static_cast<const char *>(_Co_Get(ini->lines, index));
}

bool IsUnnamed(const char *section) { return section == nullptr || *section == '\0'; }

// Index of the section's first line (after its header), or -1.
int FindSection(const IniFile *ini, const char *section) {
  if (IsUnnamed(section)) return 0;
  for (int i = 0; i < ini->lines->Count; i++) {
    ParsedLine parsed = Parse(LineAt(ini, i));
    if (parsed.kind == LineKind::Header && parsed.named && SameName(parsed.name, section))
      return i + 1;
  }
  return -1;
}

// Index of the key's line in the section starting at `start`, or -1.
int FindKeyFrom(const IniFile *ini, int start, const char *key) {
  if (start < 0 || key == nullptr) return -1;
  for (int i = start; i < ini->lines->Count; i++) {
    ParsedLine parsed = Parse(LineAt(ini, i));
    if (parsed.kind == LineKind::Header) return -1;
    if (parsed.kind == LineKind::Key && SameName(parsed.name, key)) return i;
  }
  return -1;
}

int FindKey(const IniFile *ini, const char *section, const char *key) {
  return FindKeyFrom(ini, FindSection(ini, section), key);
}

// The first blank line or header at or after `start`, or -1: where a
// section's run of lines ends.
int SectionRunEnd(const IniFile *ini, int start) {
  for (int i = start; i < ini->lines->Count; i++) {
    LineKind kind = Parse(LineAt(ini, i)).kind;
    if (kind == LineKind::Blank || kind == LineKind::Header) return i;
  }
  return -1;
}

char *CopyText(const char *begin, size_t length) {
  char *copy = static_cast<char *>(std::malloc(length + 1));
  if (!copy) return nullptr;
  std::memcpy(copy, begin, length);
  copy[length] = '\0';
  return copy;
}

char *CopyString(const char *text) { return CopyText(text, std::strlen(text)); }

char *JoinKeyLine(const char *key, const char *value) {
  size_t keyLength = std::strlen(key), valueLength = std::strlen(value);
  char *line = static_cast<char *>(std::malloc(keyLength + valueLength + 2));
  if (!line) return nullptr;
  std::memcpy(line, key, keyLength);
  line[keyLength] = '=';
  std::memcpy(line + keyLength + 1, value, valueLength + 1);
  return line;
}

// Adds (index -1) or inserts a new line; the collection releases it when
// it can't take it.
bool PutNewLine(IniFile *ini, int index, char *line) {
  if (!line) return false;
  int result = index < 0 ? _Co_Add(ini->lines, line) : _Co_Insert(ini->lines, index, line);
  return result >= 0;
}

// Strips the line end that fgets left and returns which one it was.
const char *StripLineEnd(char *line) {
  size_t length = std::strlen(line);
  if (length == 0 || line[length - 1] != '\n') return nullptr;
  line[--length] = '\0';
  if (length > 0 && line[length - 1] == '\r') {
    line[length - 1] = '\0';
    return "\r\n";
  }
  return "\n";
}

bool LoadLines(IniFile *ini, FILE *file) {
  char *buffer = static_cast<char *>(std::malloc(INI_LINE_MAX + 1));
  if (!buffer) return false;
  bool ok = true;
  while (ok && std::fgets(buffer, INI_LINE_MAX + 1, file)) {
    const char *lineEnd = StripLineEnd(buffer);
    if (lineEnd && ini->lineEnd == kDefaultLineEnd) ini->lineEnd = lineEnd;
    ok = PutNewLine(ini, -1, CopyString(buffer));
  }
  std::free(buffer);
  return ok;
}

void Release(IniFile *ini) {
  _Co_Free(ini->lines);
  std::free(ini->fileName);
  os::SemFree(ini->Access);
  std::free(ini);
}

void CopyValue(const Text &value, char *buffer, size_t size) {
  size_t length = value.length < size - 1 ? value.length : size - 1;
  std::memcpy(buffer, value.begin, length);
  buffer[length] = '\0';
}

char *ReadValue(IniFile *ini, const char *section, const char *key, char *buffer,
                size_t size) {
  if (!ini || !buffer || size == 0) return buffer;
  Locked lock(ini);
  int index = FindKey(ini, section, key);
  if (index >= 0) CopyValue(Parse(LineAt(ini, index)).value, buffer, size);
  return buffer;
}

}  // namespace

extern "C" {

IniFile *_IniCreate(const char *path) {
  if (!path) return nullptr;
  auto *ini = static_cast<IniFile *>(std::calloc(1, sizeof(IniFile)));
  if (!ini) return nullptr;
  ini->lineEnd = kDefaultLineEnd;
  ini->Access = os::SemCreate(1, 2);
  ini->fileName = CopyString(path);
  ini->lines = _Co_Create(10, 10, nullptr);
  if (!ini->Access || !ini->fileName || !ini->lines) {
    Release(ini);
    return nullptr;
  }
  // Binary mode: the file's own line end is noted and written back.
  FILE *file = std::fopen(path, "rb");
  if (!file) {
    _DebugOut(9, "cini: config file doesn't exist %s\n", path);
    return ini;
  }
  bool loaded = LoadLines(ini, file);
  std::fclose(file);
  if (!loaded) {
    Release(ini);
    return nullptr;
  }
  return ini;
}

char *_IniReadStr(IniFile *ini, const char *section, const char *key, char *buffer) {
  return ReadValue(ini, section, key, buffer, INI_LINE_MAX + 1);
}

char *IniReadStrN(IniFile *ini, const char *section, const char *key, char *buffer,
                  size_t size) {
  return ReadValue(ini, section, key, buffer, size);
}

void _IniWriteStr(IniFile *ini, const char *section, const char *key, const char *value) {
  if (!ini || !key) return;
  Locked lock(ini);
  int start;
  if (IsUnnamed(section)) {
    // The unnamed section lies above the first header: make room for it.
    if (ini->lines->Count > 0 && Parse(LineAt(ini, 0)).kind == LineKind::Header &&
        !PutNewLine(ini, 0, CopyString("")))
      return;
    start = 0;
  } else {
    start = FindSection(ini, section);
    if (start < 0) {
      char *header = static_cast<char *>(std::malloc(std::strlen(section) + 3));
      if (header) std::sprintf(header, "[%s]", section);
      if (!PutNewLine(ini, -1, header)) return;
      start = ini->lines->Count;
    }
  }
  ini->dirty = 1;
  char *line = JoinKeyLine(key, value ? value : "");
  if (!line) return;
  int index = FindKeyFrom(ini, start, key);
  if (index >= 0) {
    _Co_Put(ini->lines, index, line);
    return;
  }
  // A new key goes at the end of the section's first run of lines. The
  // search includes the section's first line, so a header directly
  // followed by another header gets the key under itself.
  PutNewLine(ini, SectionRunEnd(ini, start), line);
}

int _IniReadInt(IniFile *ini, const char *section, const char *key, int def) {
  if (!ini) return def;
  Locked lock(ini);
  int index = FindKey(ini, section, key);
  if (index < 0) return def;
  // The value runs to the line's end but for trailing blanks, which strtol
  // stops at anyway.
  return static_cast<int>(std::strtol(Parse(LineAt(ini, index)).value.begin, nullptr, 10));
}

void _IniWriteInt(IniFile *ini, const char *section, const char *key, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  _IniWriteStr(ini, section, key, text);
}

void _IniDeleteKey(IniFile *ini, const char *section, const char *key) {
  if (!ini) return;
  Locked lock(ini);
  int index = FindKey(ini, section, key);
  if (index < 0) return;
  _Co_Delete(ini->lines, index);
  ini->dirty = 1;
}

void _IniEraseSection(IniFile *ini, const char *section) {
  if (!ini) return;
  Locked lock(ini);
  int start = FindSection(ini, section);
  if (start < 0) return;
  while (start < ini->lines->Count && SectionRunEnd(ini, start) != start) {
    _Co_Delete(ini->lines, start);
    ini->dirty = 1;
  }
}

void _IniReadSection(IniFile *ini, const char *section, Collection *lines) {
  if (!ini || !lines) return;
  Locked lock(ini);
  _Co_Clear(lines);
  int start = FindSection(ini, section);
  if (start < 0) return;
  for (int i = start; i < ini->lines->Count; i++) {
    LineKind kind = Parse(LineAt(ini, i)).kind;
    if (kind == LineKind::Header) return;
    if (kind == LineKind::Blank || kind == LineKind::Comment) continue;
    char *copy = CopyString(LineAt(ini, i));
    if (copy) _Co_Add(lines, copy);
  }
}

int IniKeyExists(IniFile *ini, const char *section, const char *key) {
  if (!ini) return 0;
  Locked lock(ini);
  return FindKey(ini, section, key) >= 0;
}

void IniClearSectionValues(IniFile *ini, const char *section) {
  if (!ini) return;
  Locked lock(ini);
  int start = FindSection(ini, section);
  if (start < 0) return;
  int end = SectionRunEnd(ini, start);
  if (end < 0) end = ini->lines->Count;
  for (int i = start; i < end; i++) {
    ParsedLine parsed = Parse(LineAt(ini, i));
    if (parsed.kind != LineKind::Key) continue;
    // The value is the line's tail: cutting it there keeps "key=".
    static_cast<char *>(_Co_Get(ini->lines, i))[parsed.value.begin - LineAt(ini, i)] = '\0';
    ini->dirty = 1;
  }
}

void IniReadSectionNames(IniFile *ini, Collection *names) {
  if (!ini || !names) return;
  Locked lock(ini);
  _Co_Clear(names);
  for (int i = 0; i < ini->lines->Count; i++) {
    ParsedLine parsed = Parse(LineAt(ini, i));
    if (parsed.kind != LineKind::Header || !parsed.named) continue;
    char *name = CopyText(parsed.name.begin, parsed.name.length);
    if (name) _Co_Add(names, name);
  }
}

void _IniUpdate(IniFile *ini) {
  if (!ini) return;
  Locked lock(ini);
  if (!ini->dirty) return;
  FILE *file = std::fopen(ini->fileName, "wb");
  if (!file) return;
  for (int i = 0; i < ini->lines->Count; i++) {
    std::fputs(LineAt(ini, i), file);
    std::fputs(ini->lineEnd, file);
  }
  std::fclose(file);
}

void _IniClose(IniFile *Ini) {
  if (!Ini) return;
  assert(Ini->Access != NULL);  // a live handle
  _IniUpdate(Ini);
  Release(Ini);
}

}  // extern "C"
