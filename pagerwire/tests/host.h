// What the flow tests share: the library loaded by name as the product's
// host loads it, a progress callback that records what it is told and
// aborts on request, and the fake ICQ service the handles log in to.
#ifndef PAGERWIRE_TESTS_HOST_H
#define PAGERWIRE_TESTS_HOST_H

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "dynlib.h"
#include "oscar_service.h"
#include "pagerwire.h"

struct PagerwireApi {
  explicit PagerwireApi(const DynamicLibrary &library)
      : init(library.get<decltype(&_ICQ_Init)>("_ICQ_Init")),
        connect(library.get<decltype(&_ICQ_Connect)>("_ICQ_Connect")),
        sendMessage(library.get<decltype(&_ICQ_SendMessage)>("_ICQ_SendMessage")),
        sendSms(library.get<decltype(&_ICQ_SendSMS)>("_ICQ_SendSMS")),
        pullOffline(library.get<decltype(&_ICQ_PullOfflineMessages)>("_ICQ_PullOfflineMessages")),
        disconnect(library.get<decltype(&_ICQ_Disconnect)>("_ICQ_Disconnect")),
        registerUin(library.get<decltype(&_ICQ_RegisterNewUIN)>("_ICQ_RegisterNewUIN")),
        unregisterUin(library.get<decltype(&_ICQ_UnregisterUIN)>("_ICQ_UnregisterUIN")) {}
  bool complete() const {
    return init && connect && sendMessage && sendSms && pullOffline && disconnect && registerUin &&
           unregisterUin;
  }

  decltype(&_ICQ_Init) init;
  decltype(&_ICQ_Connect) connect;
  decltype(&_ICQ_SendMessage) sendMessage;
  decltype(&_ICQ_SendSMS) sendSms;
  decltype(&_ICQ_PullOfflineMessages) pullOffline;
  decltype(&_ICQ_Disconnect) disconnect;
  decltype(&_ICQ_RegisterNewUIN) registerUin;
  decltype(&_ICQ_UnregisterUIN) unregisterUin;
};

// The host side of the progress callback. A test that never gets its
// answer is ended by the deadline instead of hanging.
struct ProgressHost {
  std::vector<int> statuses;
  std::vector<int> users;
  int waits = 0;
  int abortAfterWaits = 0;  // 0: only at the deadline
  std::chrono::steady_clock::time_point deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(20);

  static ProgressHost *current;
  static void PAGERWIRE_CALL Callback(int *status, int user);
};

constexpr int kUser = 77;
constexpr char kUin[] = "10001";
constexpr char kPassword[] = "secret";
constexpr char kNickname[] = "Nick";

class PagerwireTest : public testing::Test {
 protected:
  PagerwireTest() { ProgressHost::current = &host; }
  ~PagerwireTest() override;
  void SetUp() override;

  // A handle logging in to the fake service, with the recording callback
  // unless told otherwise; freed after the test.
  IcqHandle *Open(bool withCallback = true, const char *uin = kUin);
  IcqHandle *Connected();
  void Disconnect(IcqHandle *handle);  // frees it now

  std::vector<oscar::Received> BosFrames(oscar::Stage stage) { return From(true, stage); }
  std::vector<oscar::Received> LoginFrames(oscar::Stage stage) { return From(false, stage); }
  std::vector<oscar::Received> From(bool bos, oscar::Stage stage);
  std::vector<oscar::Stage> BosStages();  // of the first BOS connection, in order

  DynamicLibrary library{PAGERWIRE_LIBRARY};
  PagerwireApi api{library};
  ProgressHost host;
  oscar::Service service;
  std::vector<IcqHandle *> handles;
};

#endif
