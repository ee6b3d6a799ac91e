#include "events.h"

namespace com {

EventSource::~EventSource() {
  for (auto &sink : sinks_) sink.second->Release();
}

STDMETHODIMP EventSource::QueryInterface(REFIID iid, void **object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
    *object = static_cast<IConnectionPoint *>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP EventSource::GetConnectionInterface(IID *iid) {
  if (!iid) return E_POINTER;
  *iid = events_;
  return S_OK;
}

STDMETHODIMP EventSource::GetConnectionPointContainer(IConnectionPointContainer **container) {
  if (!container) return E_POINTER;
  *container = owner_;
  owner_->AddRef();
  return S_OK;
}

STDMETHODIMP EventSource::Advise(IUnknown *sink, DWORD *cookie) {
  if (!sink || !cookie) return E_POINTER;
  IUnknown *events = nullptr;
  if (FAILED(sink->QueryInterface(events_, reinterpret_cast<void **>(&events)))) return CONNECT_E_CANNOTCONNECT;
  *cookie = nextCookie_++;
  sinks_[*cookie] = events;
  return S_OK;
}

STDMETHODIMP EventSource::Unadvise(DWORD cookie) {
  auto found = sinks_.find(cookie);
  if (found == sinks_.end()) return CONNECT_E_NOCONNECTION;
  found->second->Release();
  sinks_.erase(found);
  return S_OK;
}

}  // namespace com
