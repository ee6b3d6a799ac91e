// The control's event source: the connection point of its event interface,
// where a container connects its sink. The sinks are held until they
// disconnect or the control goes; the interface declares no events, so
// none are sent.
#ifndef TIPCASTER_FRAMEWORK_EVENTS_H
#define TIPCASTER_FRAMEWORK_EVENTS_H

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <map>

namespace com {

class EventSource : public IConnectionPoint {
 public:
  // owner answers for the references and is the connection point's container.
  EventSource(IConnectionPointContainer *owner, const IID &events) : owner_(owner), events_(events) {}
  ~EventSource();
  EventSource(const EventSource &) = delete;
  EventSource &operator=(const EventSource &) = delete;

  const IID &events() const { return events_; }

  STDMETHODIMP QueryInterface(REFIID iid, void **object) override;
  STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }

  STDMETHODIMP GetConnectionInterface(IID *iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer **container) override;
  STDMETHODIMP Advise(IUnknown *sink, DWORD *cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections **) override { return E_NOTIMPL; }

 private:
  IConnectionPointContainer *owner_;
  const IID &events_;
  std::map<DWORD, IUnknown *> sinks_;
  DWORD nextCookie_ = 1;
};

}  // namespace com

#endif
