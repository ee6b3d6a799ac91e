#include "sysutils.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace forms {

void Abort() { throw EAbort(); }

namespace {

[[noreturn]] void InvalidFormat(const std::string& pattern) {
  throw EConvertError("Format '" + pattern + "' invalid or incompatible with argument");
}

// Formats one argument with a C conversion built from the checked specifier.
std::string FormatOne(const std::string& specifier, char conversion, const FormatArg& arg,
                      const std::string& pattern) {
  char buffer[512];
  std::string c_format = "%" + specifier;
  switch (conversion) {
    case 'd':
    case 'u':
    case 'x':
    case 'X': {
      const auto* value = std::get_if<int64_t>(&arg);
      if (!value) InvalidFormat(pattern);
      c_format += "ll";
      c_format += conversion == 'u' ? 'u' : conversion;
      std::snprintf(buffer, sizeof buffer, c_format.c_str(), static_cast<long long>(*value));
      return buffer;
    }
    case 'f':
    case 'e':
    case 'g': {
      double value;
      if (const auto* d = std::get_if<double>(&arg)) {
        value = *d;
      } else if (const auto* i = std::get_if<int64_t>(&arg)) {
        value = static_cast<double>(*i);
      } else {
        InvalidFormat(pattern);
      }
      c_format += conversion;
      std::snprintf(buffer, sizeof buffer, c_format.c_str(), value);
      return buffer;
    }
    case 's': {
      const auto* value = std::get_if<std::string>(&arg);
      if (!value) InvalidFormat(pattern);
      // Width and precision are applied here: the text may be longer than
      // any fixed buffer.
      std::string text = *value;
      size_t dot = specifier.find('.');
      if (dot != std::string::npos) {
        size_t precision = std::strtoul(specifier.c_str() + dot + 1, nullptr, 10);
        if (text.size() > precision) text.resize(precision);
      }
      bool left = !specifier.empty() && specifier[0] == '-';
      size_t width = std::strtoul(specifier.c_str() + (left ? 1 : 0), nullptr, 10);
      if (text.size() < width) {
        std::string pad(width - text.size(), ' ');
        text = left ? text + pad : pad + text;
      }
      return text;
    }
  }
  InvalidFormat(pattern);
}

}  // namespace

std::string Format(const std::string& pattern, const std::vector<FormatArg>& args) {
  std::string out;
  size_t next_arg = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      out += pattern[i];
      continue;
    }
    if (++i >= pattern.size()) InvalidFormat(pattern);
    if (pattern[i] == '%') {
      out += '%';
      continue;
    }
    std::string specifier;
    if (pattern[i] == '-') specifier += pattern[i++];
    while (i < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[i])))
      specifier += pattern[i++];
    if (i < pattern.size() && pattern[i] == '.') {
      specifier += pattern[i++];
      while (i < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[i])))
        specifier += pattern[i++];
    }
    if (i >= pattern.size() || specifier.size() > 8) InvalidFormat(pattern);
    char conversion = static_cast<char>(std::tolower(static_cast<unsigned char>(pattern[i])));
    if (pattern[i] == 'X') conversion = 'X';
    if (next_arg >= args.size()) InvalidFormat(pattern);
    out += FormatOne(specifier, conversion, args[next_arg++], pattern);
  }
  return out;
}

std::string Trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

std::string UpperCase(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

bool SameText(const std::string& a, const std::string& b) { return UpperCase(a) == UpperCase(b); }

std::string IntToStr(int64_t value) { return std::to_string(value); }

bool TryStrToInt(const std::string& text, int32_t& value) {
  std::string digits = Trim(text);
  if (digits.empty() || digits != text) return false;
  bool negative = false;
  size_t pos = 0;
  if (digits[pos] == '-' || digits[pos] == '+') negative = digits[pos++] == '-';
  int base = 10;
  if (digits.compare(pos, 2, "0x") == 0 || digits.compare(pos, 2, "0X") == 0) {
    base = 16;
    pos += 2;
  } else if (pos < digits.size() && digits[pos] == '$') {
    base = 16;
    ++pos;
  }
  if (pos >= digits.size()) return false;
  long long magnitude = 0;
  for (; pos < digits.size(); ++pos) {
    int digit = std::isdigit(static_cast<unsigned char>(digits[pos]))
                    ? digits[pos] - '0'
                    : (base == 16 && std::isxdigit(static_cast<unsigned char>(digits[pos])))
                          ? std::tolower(static_cast<unsigned char>(digits[pos])) - 'a' + 10
                          : -1;
    if (digit < 0) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > 0x80000000LL) return false;
  }
  long long result = negative ? -magnitude : magnitude;
  if (result < std::numeric_limits<int32_t>::min() || result > std::numeric_limits<int32_t>::max())
    return false;
  value = static_cast<int32_t>(result);
  return true;
}

}  // namespace forms
