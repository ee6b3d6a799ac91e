// TStringList: an ordered list of text lines. Every change goes through a
// virtual operation so that a derived list can react to it (the translator's
// language lines re-parse themselves on each change).
#pragma once

#include <string>
#include <vector>

namespace forms {

class TStringList {
public:
  TStringList() = default;
  TStringList(std::initializer_list<std::string> lines) : lines_(lines) {}
  TStringList(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  TStringList(const TStringList&) = default;
  TStringList& operator=(const TStringList& other) {
    Assign(other);
    return *this;
  }
  virtual ~TStringList() = default;

  int Count() const { return static_cast<int>(lines_.size()); }
  const std::string& operator[](int index) const;
  const std::vector<std::string>& Lines() const { return lines_; }
  // Index of the first line equal to text, ignoring case; -1 if none.
  int IndexOf(const std::string& text) const;
  // The lines joined by CR LF, each line ended.
  std::string Text() const;

  virtual int Add(const std::string& line);
  virtual void AddStrings(const TStringList& other);
  virtual void Insert(int index, const std::string& line);
  virtual void Delete(int index);
  virtual void Move(int from, int to);
  virtual void Clear();
  virtual void Assign(const TStringList& other);
  // Replaces the lines by those of text, split at CR LF, LF or CR.
  virtual void SetText(const std::string& text);

  bool operator==(const TStringList& other) const { return lines_ == other.lines_; }

protected:
  void CheckIndex(int index, int limit) const;
  std::vector<std::string> lines_;
};

}  // namespace forms
