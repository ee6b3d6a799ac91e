// A small control container for the tests: a window of its own, a client
// and in-place site, the help button created by its ProgID and activated
// in place, late-bound calls by name, a property bag in memory, and a
// watcher that records and closes every message box.
#ifndef TIPCASTER_TESTS_CONTAINER_H
#define TIPCASTER_TESTS_CONTAINER_H

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// An owned VARIANT.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  Variant(long number);                // NOLINT: arguments convert freely
  Variant(const char *text);           // NOLINT
  Variant(const std::string &text);    // NOLINT
  Variant(const Variant &other);
  Variant &operator=(const Variant &other);
  ~Variant() { VariantClear(&value_); }
  VARIANT *get() { return &value_; }
  const VARIANT &value() const { return value_; }
  std::string AsText() const;
  long AsLong() const;

 private:
  VARIANT value_;
};

// Calls by name through IDispatch; failures end the test with a message.
Variant GetProperty(IDispatch *object, const char *name);
void PutProperty(IDispatch *object, const char *name, const Variant &value);
Variant CallMethod(IDispatch *object, const char *name, const std::vector<Variant> &args);
HRESULT TryCall(IDispatch *object, const char *name, WORD flags, const std::vector<Variant> &args,
                Variant *result);

class ContainerSite;

class HelpButtonHost {
 public:
  HelpButtonHost();  // creates, initialises and activates a new control
  ~HelpButtonHost();
  HelpButtonHost(const HelpButtonHost &) = delete;
  HelpButtonHost &operator=(const HelpButtonHost &) = delete;

  IDispatch *control() const { return dispatch_; }
  HWND window() const { return window_; }
  HWND button() const;
  void Click();
  // Ends the control (deactivates and releases it) before the host goes.
  void DestroyControl();

 private:
  HWND window_ = nullptr;
  ContainerSite *site_ = nullptr;
  IOleObject *object_ = nullptr;
  IDispatch *dispatch_ = nullptr;
};

// A control created by ProgID alone, without a site.
IDispatch *CreateHelpButton();

// A property bag keeping its values in memory.
class MemoryPropertyBag : public IPropertyBag {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void **object) override;
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Read(LPCOLESTR name, VARIANT *value, IErrorLog *log) override;
  STDMETHODIMP Write(LPCOLESTR name, VARIANT *value) override;
  ~MemoryPropertyBag();
  bool Has(const wchar_t *name) const { return values_.count(name) != 0; }

 private:
  std::map<std::wstring, VARIANT> values_;
};

struct MessageBoxRecord {
  std::string caption;
  std::string text;
  bool owned;
};

// Records and closes (with OK) each top-level dialog of this process while
// it lives: the message boxes, and the property frame.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher();
  ~MessageBoxWatcher();
  std::vector<MessageBoxRecord> Boxes();
  std::vector<std::string> Texts();

 private:
  void Watch();
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<MessageBoxRecord> boxes_;
  std::thread thread_;
};

#endif
