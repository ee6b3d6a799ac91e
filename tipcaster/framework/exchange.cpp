#include "exchange.h"

#include "com.h"

namespace com {
namespace {

// No persisted text of this control comes near this; a larger length in a
// stream is a damaged stream.
constexpr uint32_t kLongestStoredText = 1u << 20;

void ReplaceFont(IFont *&font, IFont *replacement) {
  if (font) font->Release();
  font = replacement;
}

}  // namespace

IFont *CreateDefaultFont() {
  FONTDESC description = {sizeof(FONTDESC), const_cast<LPOLESTR>(L"MS Sans Serif"), {80000, 0},
                          FW_NORMAL, ANSI_CHARSET, FALSE, FALSE, FALSE};
  IFont *font = nullptr;
  OleCreateFontIndirect(&description, IID_IFont, reinterpret_cast<void **>(&font));
  return font;
}

StreamExchange::StreamExchange(IStream *stream, bool loading) : stream_(stream), loading_(loading) {
  DWORD version = kStoredVersion;
  Move(&version, sizeof version);
}

bool StreamExchange::Move(void *bytes, ULONG size) {
  if (!ok_) return false;
  ULONG moved = 0;
  HRESULT result = loading_ ? stream_->Read(bytes, size, &moved) : stream_->Write(bytes, size, &moved);
  ok_ = SUCCEEDED(result) && moved == size;
  return ok_;
}

void StreamExchange::Text(const char *, std::string &value) {
  uint32_t length = static_cast<uint32_t>(value.size());
  if (!Move(&length, sizeof length)) return;
  if (!loading_) {
    Move(&value[0], length);
    return;
  }
  if (length > kLongestStoredText) {
    ok_ = false;
    return;
  }
  std::string loaded(length, '\0');
  if (Move(&loaded[0], length)) value = loaded;
}

void StreamExchange::Long(const char *, int32_t &value, int32_t) {
  int32_t moved = value;
  if (Move(&moved, sizeof moved)) value = moved;
}

void StreamExchange::Short(const char *, int16_t &value, int16_t) {
  int16_t moved = value;
  if (Move(&moved, sizeof moved)) value = moved;
}

void StreamExchange::Font(const char *, IFont *&font) {
  if (!ok_) return;
  if (!loading_) {
    IPersistStream *persist = nullptr;
    ok_ = font && SUCCEEDED(font->QueryInterface(IID_IPersistStream, reinterpret_cast<void **>(&persist)));
    if (!ok_) return;
    ok_ = SUCCEEDED(persist->Save(stream_, TRUE));
    persist->Release();
    return;
  }
  IFont *loaded = CreateDefaultFont();
  IPersistStream *persist = nullptr;
  ok_ = loaded && SUCCEEDED(loaded->QueryInterface(IID_IPersistStream, reinterpret_cast<void **>(&persist)));
  if (ok_) {
    ok_ = SUCCEEDED(persist->Load(stream_));
    persist->Release();
  }
  if (ok_) {
    ReplaceFont(font, loaded);
  } else if (loaded) {
    loaded->Release();
  }
}

BagExchange::BagExchange(IPropertyBag *bag, bool loading) : bag_(bag), loading_(loading) {
  VARIANT version;
  VariantInit(&version);
  if (loading_) {
    Read("_Version", VT_I4, version);
  } else {
    version.vt = VT_I4;
    version.lVal = static_cast<LONG>(kStoredVersion);
    Write("_Version", version);
  }
  VariantClear(&version);
}

bool BagExchange::Read(const char *name, VARTYPE type, VARIANT &value) {
  VariantInit(&value);
  value.vt = type;
  std::wstring wideName = ToWide(name);
  if (FAILED(bag_->Read(wideName.c_str(), &value, nullptr))) {
    VariantInit(&value);
    return false;
  }
  if (value.vt == type) return true;
  bool converted = SUCCEEDED(VariantChangeType(&value, &value, 0, type));
  if (!converted) VariantClear(&value);
  return converted;
}

void BagExchange::Write(const char *name, VARIANT &value) {
  std::wstring wideName = ToWide(name);
  if (ok_) ok_ = SUCCEEDED(bag_->Write(wideName.c_str(), &value));
}

void BagExchange::Text(const char *name, std::string &value) {
  VARIANT variant;
  if (loading_) {
    value = Read(name, VT_BSTR, variant) ? ToAnsi(variant.bstrVal) : std::string();
  } else {
    variant.vt = VT_BSTR;
    variant.bstrVal = ToBstr(value);
    Write(name, variant);
  }
  VariantClear(&variant);
}

void BagExchange::Long(const char *name, int32_t &value, int32_t fallback) {
  VARIANT variant;
  if (loading_) {
    value = Read(name, VT_I4, variant) ? variant.lVal : fallback;
  } else {
    variant.vt = VT_I4;
    variant.lVal = value;
    Write(name, variant);
  }
  VariantClear(&variant);
}

void BagExchange::Short(const char *name, int16_t &value, int16_t fallback) {
  // A bag keeps numbers as they are; a short goes in as a long.
  int32_t wide = value;
  Long(name, wide, fallback);
  value = static_cast<int16_t>(wide);
}

void BagExchange::Font(const char *name, IFont *&font) {
  VARIANT variant;
  if (!loading_) {
    variant.vt = VT_UNKNOWN;
    variant.punkVal = font;
    Write(name, variant);
    return;
  }
  IFont *stored = nullptr;
  if (Read(name, VT_UNKNOWN, variant) && variant.punkVal &&
      SUCCEEDED(variant.punkVal->QueryInterface(IID_IFont, reinterpret_cast<void **>(&stored)))) {
    IFont *copy = nullptr;
    if (SUCCEEDED(stored->Clone(&copy))) ReplaceFont(font, copy);
    stored->Release();
  } else {
    ReplaceFont(font, CreateDefaultFont());
  }
  VariantClear(&variant);
}

void ResetExchange::Text(const char *, std::string &value) { value.clear(); }
void ResetExchange::Long(const char *, int32_t &value, int32_t fallback) { value = fallback; }
void ResetExchange::Short(const char *, int16_t &value, int16_t fallback) { value = fallback; }
void ResetExchange::Font(const char *, IFont *&font) { ReplaceFont(font, CreateDefaultFont()); }

}  // namespace com
