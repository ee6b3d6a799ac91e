#include "stringlist.h"

#include "sysutils.h"

namespace forms {

void TStringList::CheckIndex(int index, int limit) const {
  if (index < 0 || index > limit)
    throw Exception(Format("List index out of bounds (%d)", {int64_t{index}}));
}

const std::string& TStringList::operator[](int index) const {
  CheckIndex(index, Count() - 1);
  return lines_[static_cast<size_t>(index)];
}

int TStringList::IndexOf(const std::string& text) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(lines_[static_cast<size_t>(i)], text)) return i;
  return -1;
}

std::string TStringList::Text() const {
  std::string text;
  for (const auto& line : lines_) text += line + "\r\n";
  return text;
}

int TStringList::Add(const std::string& line) {
  lines_.push_back(line);
  return Count() - 1;
}

void TStringList::AddStrings(const TStringList& other) {
  std::vector<std::string> copy = other.lines_;
  lines_.insert(lines_.end(), copy.begin(), copy.end());
}

void TStringList::Insert(int index, const std::string& line) {
  CheckIndex(index, Count());
  lines_.insert(lines_.begin() + index, line);
}

void TStringList::Delete(int index) {
  CheckIndex(index, Count() - 1);
  lines_.erase(lines_.begin() + index);
}

void TStringList::Move(int from, int to) {
  CheckIndex(from, Count() - 1);
  CheckIndex(to, Count() - 1);
  std::string line = lines_[static_cast<size_t>(from)];
  lines_.erase(lines_.begin() + from);
  lines_.insert(lines_.begin() + to, line);
}

void TStringList::Clear() { lines_.clear(); }

void TStringList::Assign(const TStringList& other) {
  if (&other != this) lines_ = other.lines_;
}

void TStringList::SetText(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(line);
      line.clear();
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  lines_ = std::move(lines);
}

}  // namespace forms
