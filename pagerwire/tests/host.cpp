#include "host.h"

#include <algorithm>

ProgressHost *ProgressHost::current = nullptr;

void PAGERWIRE_CALL ProgressHost::Callback(int *status, int user) {
  ProgressHost *host = current;
  host->statuses.push_back(*status);
  host->users.push_back(user);
  if (*status != ICQ_STATUS_WAITING) return;
  ++host->waits;
  if ((host->abortAfterWaits > 0 && host->waits >= host->abortAfterWaits) ||
      std::chrono::steady_clock::now() > host->deadline)
    *status = ICQ_STATUS_ABORT;
}

PagerwireTest::~PagerwireTest() {
  for (IcqHandle *h : handles) api.disconnect(h);
  service.Stop();
  ProgressHost::current = nullptr;
}

void PagerwireTest::SetUp() {
  ASSERT_TRUE(library.loaded()) << PAGERWIRE_LIBRARY;
  ASSERT_TRUE(api.complete());
  ASSERT_TRUE(service.listening());
}

IcqHandle *PagerwireTest::Open(bool withCallback, const char *uin) {
  IcqHandle *h = api.init(uin, kPassword, kNickname, service.host().c_str(),
                          withCallback ? ProgressHost::Callback : nullptr, kUser);
  if (h) handles.push_back(h);
  return h;
}

IcqHandle *PagerwireTest::Connected() {
  IcqHandle *h = Open();
  EXPECT_EQ(api.connect(h, 0), ICQ_OK);
  return h;
}

void PagerwireTest::Disconnect(IcqHandle *handle) {
  handles.erase(std::remove(handles.begin(), handles.end(), handle), handles.end());
  api.disconnect(handle);
}

std::vector<oscar::Received> PagerwireTest::From(bool bos, oscar::Stage stage) {
  std::vector<oscar::Received> found;
  for (const oscar::Received &r : service.FramesAt(stage))
    if (r.bos == bos) found.push_back(r);
  return found;
}

std::vector<oscar::Stage> PagerwireTest::BosStages() {
  std::vector<oscar::Stage> stages;
  for (const oscar::Received &r : service.Frames())
    if (r.bos && r.connection == 1 && r.stage != oscar::Stage::bosConnected)
      stages.push_back(r.stage);
  return stages;
}
