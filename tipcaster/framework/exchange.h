// Property exchange: one routine per control names its persisted properties
// in order, and the exchange object moves each one to or from a stream, a
// property bag, or its default value (reset).
#ifndef TIPCASTER_FRAMEWORK_EXCHANGE_H
#define TIPCASTER_FRAMEWORK_EXCHANGE_H

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstdint>
#include <string>

namespace com {

// The stored version of the properties; older versions would be converted
// on load, and there is only this one.
constexpr DWORD kStoredVersion = 0x00010000;  // 1.0

class PropertyExchange {
 public:
  virtual ~PropertyExchange() = default;
  virtual void Text(const char *name, std::string &value) = 0;  // default: empty
  virtual void Long(const char *name, int32_t &value, int32_t fallback) = 0;
  virtual void Short(const char *name, int16_t &value, int16_t fallback) = 0;
  // A font object: a loaded font replaces *font (released); reset gives the
  // default font.
  virtual void Font(const char *name, IFont *&font) = 0;
  // False once a read or write failed; later values are left alone.
  bool ok() const { return ok_; }

 protected:
  bool ok_ = true;
};

// The font a control has before anything is loaded.
IFont *CreateDefaultFont();

// Reading (loading) or writing one stream: the version, then each value in
// order. Texts are a 32-bit length and the bytes; a loaded text longer than
// the stream could sensibly hold fails the load.
class StreamExchange : public PropertyExchange {
 public:
  StreamExchange(IStream *stream, bool loading);
  void Text(const char *name, std::string &value) override;
  void Long(const char *name, int32_t &value, int32_t fallback) override;
  void Short(const char *name, int16_t &value, int16_t fallback) override;
  void Font(const char *name, IFont *&font) override;

 private:
  bool Move(void *bytes, ULONG size);
  IStream *stream_;
  bool loading_;
};

// A property bag: each value under its name; a missing value loads as its
// default.
class BagExchange : public PropertyExchange {
 public:
  BagExchange(IPropertyBag *bag, bool loading);
  void Text(const char *name, std::string &value) override;
  void Long(const char *name, int32_t &value, int32_t fallback) override;
  void Short(const char *name, int16_t &value, int16_t fallback) override;
  void Font(const char *name, IFont *&font) override;

 private:
  bool Read(const char *name, VARTYPE type, VARIANT &value);
  void Write(const char *name, VARIANT &value);
  IPropertyBag *bag_;
  bool loading_;
};

// Sets every property to its default.
class ResetExchange : public PropertyExchange {
 public:
  void Text(const char *name, std::string &value) override;
  void Long(const char *name, int32_t &value, int32_t fallback) override;
  void Short(const char *name, int16_t &value, int16_t fallback) override;
  void Font(const char *name, IFont *&font) override;
};

}  // namespace com

#endif
