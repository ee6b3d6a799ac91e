// The eight exports and the blocking flows behind them: login at the login
// server, the session set-up at the BOS server, messages, SMS, offline
// messages, unregistration and registration.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <random>

#include "connection.h"
#include "packets.h"
#include "pagerwire.h"
#include "replies.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace icq;

namespace {

constexpr char kLoginServer[] = "login.icq.com";
constexpr char kRegistrationServer[] = "login.icq.com";
constexpr uint32_t kResendPauseMs = 100;
constexpr uint32_t kSignoffPauseMs = 10;

char *CopyText(const char *text) {
  if (!text) return nullptr;
  const size_t size = std::strlen(text) + 1;
  char *copy = static_cast<char *>(std::malloc(size));
  if (copy) std::memcpy(copy, text, size);
  return copy;
}

// A fresh FLAP sequence per connection, from a generator of our own so that
// the host's rand() sequence is left alone.
uint16_t RandomSequence() {
  std::minstd_rand generator(static_cast<unsigned>(std::time(nullptr)));
  const uint32_t r = generator() % 32768;
  return uint16_t(r * 65535u / 32768u);
}

// A packet that could not be built: overlong arguments are the caller's
// error, anything else counts as a failed send.
int BuildFailure(const Packet &packet, int sendFailure) {
  return packet.fault() == Packet::Fault::badArgument ? ICQ_ERR_ARGUMENT : sendFailure;
}

}  // namespace

struct IcqHandle {
  Connection bos;  // the session's socket (invalid when none) and its buffer
  bool connected = false;
  char *uin = nullptr;
  char *password = nullptr;
  char *nickname = nullptr;
  char *loginHost = nullptr;  // null: the service's own login server
  uint16_t metaSequence = 1;
  uint16_t flapSequence = 0;
  Progress progress{nullptr, 0};
  bool holdsSockets = false;  // this handle's start of the socket layer, stopped once

  ~IcqHandle() {
    std::free(uin);
    std::free(password);
    std::free(nickname);
    std::free(loginHost);
  }

  void EndSession() {
    bos.Close();
    connected = false;
  }
};

namespace {

// One login at the login server; fills the ticket on ICQ_OK.
int Login(IcqHandle *h, LoginTicket &ticket) {
  h->flapSequence = RandomSequence();
  Packet login = BuildLogin(h->flapSequence, h->uin, h->password);
  if (!login) return BuildFailure(login, ICQ_ERR_LOGIN_SEND);

  Connection server;
  if (!server.received.Allocate()) return ICQ_ERR_NO_CONNECTION;
  int result = ConnectServer(server, h->loginHost ? h->loginHost : kLoginServer, 0, h->progress);
  if (result != ICQ_OK) return result;
  h->progress.Report(ICQ_STATUS_LOGIN_CONNECTED);

  if (!Send(server, login)) {
    result = ICQ_ERR_LOGIN_SEND;
  } else {
    auto reply = [&ticket](const uint8_t *frame, size_t length) {
      return Step::Finish(ReadLoginReply(frame, length, ticket));
    };
    result = WaitLoop(server, h->progress, reply);
    if (result == kWaitedWithData) result = kLoginUnreadable;  // only part of a reply came
    if (result == ICQ_OK) h->progress.Report(ICQ_STATUS_LOGIN_ACCEPTED);
  }
  Send(server, BuildGoodbye(h->flapSequence));
  return result;
}

// Opens the session at the BOS server the ticket names and walks through
// its set-up: versions, rates, own information, privacy, ready.
int ConnectBos(IcqHandle *h, const LoginTicket &ticket, bool skipPrivacy) {
  if (ConnectServer(h->bos, ticket.host, ticket.port, h->progress) != ICQ_OK)
    return ICQ_ERR_NO_CONNECTION;
  h->flapSequence = RandomSequence();
  if (!Send(h->bos, BuildCookie(h->flapSequence, ticket.cookie.get(), ticket.cookieLength))) {
    h->EndSession();
    return ICQ_ERR_SEND;
  }

  bool ready = false;  // set once the own information came and ready was sent
  auto send = [h](const Packet &packet) {
    return Send(h->bos, packet) ? Step::Continue() : Step::Finish(ICQ_ERR_SEND);
  };
  auto reactor = [&](const uint8_t *frame, size_t length) {
    const FrameKind kind = Classify(frame, length, nullptr);
    if (kind == kUnusable) return Step::Continue();
    if (ready) return Step::Finish(ICQ_OK);
    switch (kind) {
      case kHostOnline:
        return send(BuildFamilyVersions(h->flapSequence));
      case kVersionsAccepted:
        return send(BuildRateRequest(h->flapSequence));
      case kRateInfo: {
        Step step = send(BuildRateAcknowledge(h->flapSequence));
        return step.finished ? step : send(BuildSelfInfoRequest(h->flapSequence));
      }
      case kSelfInfo:
        if (!skipPrivacy) Send(h->bos, BuildPrivacyRequest(h->flapSequence));  // answer not needed
        ready = true;
        return send(BuildReadyPair(h->flapSequence));
      default:
        return Step::Continue();
    }
  };
  if (WaitLoop(h->bos, h->progress, reactor) != ICQ_OK) {
    h->EndSession();
    return ICQ_ERR_NO_CONNECTION;
  }
  h->connected = true;
  return ICQ_OK;
}

// Sends a request of a connected session, once more after a pause if the
// first send fails (the same bytes, so the same FLAP sequence number).
bool SendWithRetry(IcqHandle *h, const Packet &packet) {
  if (Send(h->bos, packet)) return true;
  os::SleepMs(kResendPauseMs);
  return Send(h->bos, packet);
}

// A lost connection or a failed send ends the session.
int EndIfLost(IcqHandle *h, int result) {
  if (result == ICQ_ERR_CONNECTION_LOST || result == ICQ_ERR_SEND) h->EndSession();
  return result;
}

}  // namespace

extern "C" {

NETMON_EXPORT IcqHandle *PAGERWIRE_CALL _ICQ_Init(const char *uin, const char *password,
                                                  const char *nickname, const char *loginHost,
                                                  IcqProgressCallback callback, int user) {
  if (!uin || !password || !nickname) return nullptr;
  IcqHandle *h = new (std::nothrow) IcqHandle;
  if (!h) return nullptr;
  h->uin = CopyText(uin);
  h->password = CopyText(password);
  h->nickname = CopyText(nickname);
  h->loginHost = CopyText(loginHost);
  h->progress = Progress{callback, user};
  if (!h->uin || !h->password || !h->nickname || (loginHost && !h->loginHost) ||
      !h->bos.received.Allocate()) {
    delete h;
    return nullptr;
  }
  return h;
}

NETMON_EXPORT int PAGERWIRE_CALL _ICQ_Connect(IcqHandle *h, unsigned char skipPrivacy) {
  if (!h || !h->uin || !h->password) return ICQ_ERR_ARGUMENT;
  if (!h->holdsSockets) {
    if (!os::SocketsStart()) return ICQ_ERR_SOCKETS;
    h->holdsSockets = true;
  }
  h->EndSession();  // a new login replaces any earlier session
  LoginTicket ticket;
  int result = Login(h, ticket);
  if (result == ICQ_OK) result = ConnectBos(h, ticket, skipPrivacy != 0);
  return result;
}

NETMON_EXPORT int PAGERWIRE_CALL _ICQ_SendMessage(IcqHandle *h, const char *uin,
                                                  const char *text) {
  if (!h || !uin || !text || !h->connected) return ICQ_ERR_ARGUMENT;
  Packet message = BuildMessage(h->flapSequence, uin, text);
  if (!message) return BuildFailure(message, ICQ_ERR_SEND);
  if (!SendWithRetry(h, message)) return EndIfLost(h, ICQ_ERR_SEND);
  auto acknowledged = [uin](const uint8_t *frame, size_t length) {
    return Classify(frame, length, uin) == kAcknowledged ? Step::Finish(ICQ_MESSAGE_ACKNOWLEDGED)
                                                         : Step::Continue();
  };
  return EndIfLost(h, WaitLoop(h->bos, h->progress, acknowledged));
}

NETMON_EXPORT int PAGERWIRE_CALL _ICQ_SendSMS(IcqHandle *h, const char *phone, const char *text) {
  if (!h || !phone || !text || !h->connected) return ICQ_ERR_ARGUMENT;
  Packet sms = BuildSms(h->flapSequence, h->metaSequence, h->uin, h->nickname, phone, text,
                        std::time(nullptr));
  if (!sms) return BuildFailure(sms, ICQ_ERR_SEND);
  if (!SendWithRetry(h, sms)) return EndIfLost(h, ICQ_ERR_SEND);
  auto answered = [](const uint8_t *frame, size_t length) {
    switch (Classify(frame, length, nullptr)) {
      case kSmsDelivered:
      case kSmsDeliverable:
        return Step::Finish(ICQ_SMS_DELIVERED);
      case kSmsNotDelivered:
        return Step::Finish(ICQ_SMS_NOT_DELIVERED);
      default:
        return Step::Continue();
    }
  };
  return EndIfLost(h, WaitLoop(h->bos, h->progress, answered));
}

NETMON_EXPORT int PAGERWIRE_CALL _ICQ_PullOfflineMessages(IcqHandle *h) {
  if (!h || !h->connected) return ICQ_ERR_ARGUMENT;
  Packet request = BuildOfflineRequest(h->flapSequence, h->metaSequence, h->uin);
  if (!request) return BuildFailure(request, ICQ_ERR_SEND);
  if (!Send(h->bos, request)) return EndIfLost(h, ICQ_ERR_SEND);
  // The first offline message (or their end) is enough to delete them all.
  auto fetched = [h](const uint8_t *frame, size_t length) {
    if (Classify(frame, length, nullptr) != kOfflineMessage) return Step::Continue();
    const bool deleted = Send(h->bos, BuildOfflineDelete(h->flapSequence, h->metaSequence, h->uin));
    return Step::Finish(deleted ? ICQ_OFFLINE_FETCHED : ICQ_ERR_SEND);
  };
  return EndIfLost(h, WaitLoop(h->bos, h->progress, fetched));
}

NETMON_EXPORT int PAGERWIRE_CALL _ICQ_UnregisterUIN(IcqHandle *h) {
  if (!h || !h->connected) return 0;
  Send(h->bos, BuildUnregister(h->flapSequence, h->metaSequence, h->uin, h->password));
  os::SleepMs(kResendPauseMs);
  Send(h->bos, BuildGoodbye(h->flapSequence));
  h->EndSession();
  return 1;
}

NETMON_EXPORT void PAGERWIRE_CALL _ICQ_Disconnect(IcqHandle *h) {
  if (!h) return;
  if (h->connected) Send(h->bos, BuildGoodbye(h->flapSequence));
  h->EndSession();
  os::SleepMs(kSignoffPauseMs);
  if (h->holdsSockets) os::SocketsStop();
  delete h;
}

NETMON_EXPORT int PAGERWIRE_CALL _ICQ_RegisterNewUIN(const char *password, const char *server,
                                                     IcqProgressCallback callback, int user) {
  if (!password) return ICQ_ERR_ARGUMENT;
  uint16_t flapSequence = RandomSequence();
  Packet hello = BuildHello(flapSequence);
  Packet request = BuildRegistration(flapSequence, password);
  if (!hello) return BuildFailure(hello, ICQ_ERR_SEND);
  if (!request) return BuildFailure(request, ICQ_ERR_SEND);
  if (!os::SocketsStart()) return ICQ_ERR_SOCKETS;

  const Progress progress{callback, user};
  Connection connection;
  int result = connection.received.Allocate()
                   ? ConnectServer(connection, server ? server : kRegistrationServer, 0, progress)
                   : ICQ_ERR_NO_CONNECTION;
  if (result == ICQ_OK) {
    if (!Send(connection, hello) || !Send(connection, request)) {
      result = ICQ_ERR_SEND;
    } else {
      // Other frames may come first; only the reply, or a reply with the
      // wrong cookie, ends the wait.
      auto reply = [](const uint8_t *frame, size_t length) {
        RegistrationReply answer = ReadRegistrationReply(frame, length);
        switch (answer.kind) {
          case RegistrationReply::Kind::notTheReply:
            return Step::Continue();
          case RegistrationReply::Kind::accepted:
            if (answer.uin > 0 && answer.uin <= uint32_t(INT_MAX)) return Step::Finish(int(answer.uin));
            return Step::Finish(ICQ_ERR_REGISTRATION);
          default:
            return Step::Finish(ICQ_ERR_REGISTRATION);
        }
      };
      result = WaitLoop(connection, progress, reply);
      // A closed connection, a failed wait or silence after other frames
      // must not read as a new UIN.
      if (result == ICQ_ERR_CONNECTION_LOST || result == kWaitedWithData)
        result = ICQ_ERR_REGISTRATION;
    }
    Send(connection, BuildGoodbye(flapSequence));
    connection.Close();
  }
  os::SocketsStop();
  return result;
}

}  // extern "C"

#ifdef _WIN32
// The library keeps no per-process or per-thread state to set up.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#endif
