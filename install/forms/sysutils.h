// Exceptions, text formatting and small text helpers of the component layer.
//
// Exception is the root of every failure the installer raises; EAbort is the
// silent one: the application's exception handler drops it without a word.
// Format fills a printf-like pattern from typed arguments and checks each
// specifier against its argument, so a pattern that asks for a number where a
// text was given raises EConvertError instead of reading the wrong thing.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

namespace forms {

class Exception : public std::exception {
public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }

private:
  std::string message_;
};

// Ends the current operation without an error display.
class EAbort : public Exception {
public:
  EAbort() : Exception("Operation aborted") {}
};

// A text that is not the number, pattern or value it should be.
class EConvertError : public Exception {
  using Exception::Exception;
};

// Raises EAbort.
[[noreturn]] void Abort();

// One argument of Format: an integer, a text or a floating-point number.
using FormatArg = std::variant<int64_t, std::string, double>;

// Supports %d %u %x %X %s %f %e %g %% with optional '-', width and precision.
// Raises EConvertError when a specifier has no argument or one of another type.
std::string Format(const std::string& pattern, const std::vector<FormatArg>& args);

std::string Trim(const std::string& text);
std::string UpperCase(const std::string& text);
bool SameText(const std::string& a, const std::string& b);
std::string IntToStr(int64_t value);
// Whole text as a decimal integer (optional sign, optional "0x" or '$' hex);
// false for anything else or a value outside int32.
bool TryStrToInt(const std::string& text, int32_t& value);

}  // namespace forms
