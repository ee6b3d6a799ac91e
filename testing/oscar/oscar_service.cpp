#include "oscar_service.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>

#include "netsys.h"

namespace oscar {

namespace {

using os::kSendFlags;
using os::Raw;
using os::RawSocket;

constexpr unsigned kPollMs = 20;
constexpr unsigned kSplitPauseMs = 20;

void StartSockets() {
  static bool started = os::SocketsStart();
  (void)started;
}

os::Socket ListenOn(const std::string &address, uint16_t port) {
  RawSocket s = socket(AF_INET, SOCK_STREAM, 0);
  if (static_cast<os::Socket>(s) == os::kInvalidSocket) return os::kInvalidSocket;
  sockaddr_in addr;
  std::memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = inet_addr(address.c_str());
  if (bind(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(s, 8) != 0) {
    os::SocketClose(static_cast<os::Socket>(s));
    return os::kInvalidSocket;
  }
  return static_cast<os::Socket>(s);
}

uint16_t PortOf(os::Socket s) {
  sockaddr_in addr;
  socklen_t length = sizeof addr;
  getsockname(Raw(s), reinterpret_cast<sockaddr *>(&addr), &length);
  return ntohs(addr.sin_port);
}

bool SendBytes(os::Socket s, const std::string &bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    int n = static_cast<int>(
        send(Raw(s), bytes.data() + sent, static_cast<int>(bytes.size() - sent), kSendFlags));
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void Pause(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Replies to the set-up steps of a BOS session.
std::string HostOnline() {
  std::string families;
  for (uint16_t family : {1, 2, 3, 4, 6, 9, 0x0A, 0x0B, 0x13, 0x15}) families += Be16(family);
  return SnacFrame(1, 3, families);
}
std::string RateInfo() {
  return SnacFrame(1, 7, Be16(1) + Be16(1) + Be32(80) + Be32(2500) + std::string(27, '\0'));
}
std::string OwnInfo(const std::string &uin) {
  return SnacFrame(1, 0x0F, std::string(1, static_cast<char>(uin.size())) + uin + Be16(0) +
                                Be16(0));
}

const std::string kDeliverable = "<sms_response><deliverable>Yes</deliverable></sms_response>";

}  // namespace

const char *StageName(Stage stage) {
  static const char *const kNames[] = {
      "loginConnected", "login",        "clientHello",    "registration",   "bosConnected",
      "cookie",         "familyVersions", "rateRequest",  "rateAcknowledge", "selfInfo",
      "privacy",        "readyPrefix",  "clientReady",    "message",        "offlineRequest",
      "offlineDelete",  "sms",          "unregister",     "goodbye",        "other"};
  return kNames[static_cast<int>(stage)];
}

Service::Service(std::vector<uint16_t> loginPorts) {
  StartSockets();
  std::random_device device;
  std::mt19937 generator(device() ^ static_cast<unsigned>(
                                        std::chrono::steady_clock::now().time_since_epoch().count()));
  std::uniform_int_distribution<int> byte(1, 254);
  for (int attempt = 0; attempt < 50 && listeners_.empty(); ++attempt) {
    host_ = "127." + std::to_string(byte(generator)) + "." + std::to_string(byte(generator)) + "." +
            std::to_string(byte(generator));
    std::vector<Listener> opened;
    bool all = true;
    for (uint16_t port : loginPorts) {
      os::Socket s = ListenOn(host_, port);
      all = all && s != os::kInvalidSocket;
      if (s != os::kInvalidSocket) opened.push_back({s, false, port});
    }
    os::Socket bos = all ? ListenOn(host_, 0) : os::kInvalidSocket;
    if (bos == os::kInvalidSocket) {
      for (const Listener &l : opened) os::SocketClose(l.socket);
      continue;
    }
    bosPort_ = PortOf(bos);
    opened.push_back({bos, true, bosPort_});
    listeners_ = opened;
  }
  for (int i = 0; i < 64; ++i) cookie_ += static_cast<char>(0xC0 ^ i);
  for (const Listener &l : listeners_) threads_.emplace_back(&Service::Serve, this, l);
}

Service::~Service() { Stop(); }

void Service::Set(Stage stage, Answer answer) {
  std::lock_guard<std::mutex> guard(lock_);
  answers_[stage] = std::move(answer);
}

void Service::Silence(Stage stage) {
  Set(stage, [](const Frame &) { return Reply{}; });
}

void Service::CloseAt(Stage stage) {
  std::lock_guard<std::mutex> guard(lock_);
  closeAt_.insert(stage);
}

void Service::SetWrites(Writes writes) {
  std::lock_guard<std::mutex> guard(lock_);
  writes_ = writes;
}

std::vector<Received> Service::Frames() {
  std::lock_guard<std::mutex> guard(lock_);
  return received_;
}

std::vector<Received> Service::FramesAt(Stage stage) {
  std::vector<Received> found;
  for (const Received &r : Frames())
    if (r.stage == stage) found.push_back(r);
  return found;
}

bool Service::WaitFor(Stage stage, unsigned timeoutMs) {
  std::unique_lock<std::mutex> guard(lock_);
  return arrived_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
    for (const Received &r : received_)
      if (r.stage == stage) return true;
    return false;
  });
}

void Service::Stop() {
  stopping_ = true;
  for (std::thread &t : threads_)
    if (t.joinable()) t.join();
  threads_.clear();
  for (const Listener &l : listeners_) os::SocketClose(l.socket);
  listeners_.clear();
}

void Service::Serve(Listener listener) {
  while (!stopping_) {
    if (os::SocketWaitReadable(listener.socket, kPollMs) != 1) continue;
    RawSocket client = accept(Raw(listener.socket), nullptr, nullptr);
    if (static_cast<os::Socket>(client) == os::kInvalidSocket) continue;
    Session(static_cast<os::Socket>(client), listener);
    os::SocketClose(static_cast<os::Socket>(client));
  }
}

// Records each whole frame, then closes, answers or stays silent as the
// stage is set up. Ends when the client closes, or once the service stops
// and nothing more is waiting to be read.
void Service::Session(os::Socket client, const Listener &listener) {
  const bool bos = listener.bos;
  int connection;
  {
    std::lock_guard<std::mutex> guard(lock_);
    connection = ++connections_[bos ? 1 : 0];
  }
  std::string pending;
  Frame connected;
  bool first = true;
  for (;;) {
    Frame frame;
    Stage stage;
    size_t length = 0;
    if (first) {
      first = false;
      frame = connected;
      stage = bos ? Stage::bosConnected : Stage::loginConnected;
    } else if (WholeFrame(pending, length) && length > 0) {
      frame = ParseFrame(pending.substr(0, length));
      pending.erase(0, length);
      stage = Name(frame, bos);
    } else if (!WholeFrame(pending, length)) {
      return;  // the client sent something that is no FLAP frame
    } else {
      int ready = os::SocketWaitReadable(client, kPollMs);
      if (ready < 0) return;
      if (ready == 0) {
        if (stopping_) return;
        continue;
      }
      char buffer[4096];
      int n = static_cast<int>(recv(Raw(client), buffer, sizeof buffer, 0));
      if (n <= 0) return;
      pending.append(buffer, static_cast<size_t>(n));
      continue;
    }

    Reply reply;
    {
      std::lock_guard<std::mutex> guard(lock_);
      received_.push_back({bos, listener.port, connection, stage, frame});
      arrived_.notify_all();
      auto custom = answers_.find(stage);
      if (closeAt_.count(stage)) reply.close = true;
      else if (custom != answers_.end()) reply = custom->second(frame);
      else reply = Default(stage, frame);
    }
    if (!Respond(client, reply) || reply.close) return;
  }
}

Stage Service::Name(const Frame &f, bool bos) const {
  if (f.channel == 4) return Stage::goodbye;
  if (f.channel == 1) {
    if (f.data == Be32(1)) return Stage::clientHello;
    if (!bos && !TlvValue(f.data, 1, 4).empty()) return Stage::login;
    if (bos && !TlvValue(f.data, 6, 4).empty()) return Stage::cookie;
    return Stage::other;
  }
  if (!f.snac) return Stage::other;
  const uint32_t command = uint32_t(f.family) << 16 | f.subtype;
  if (!bos) return command == 0x00170004 ? Stage::registration : Stage::other;
  switch (command) {
    case 0x00010017: return Stage::familyVersions;
    case 0x00010006: return Stage::rateRequest;
    case 0x00010008: return Stage::rateAcknowledge;
    case 0x0001000E: return Stage::selfInfo;
    case 0x00090005: return Stage::privacy;
    case 0x0001001E: return Stage::readyPrefix;
    case 0x00010002: return Stage::clientReady;
    case 0x00040006: return Stage::message;
    case 0x00150002: {
      MetaRequest meta = ParseMeta(f);
      if (meta.type == 0x3C) return Stage::offlineRequest;
      if (meta.type == 0x3E) return Stage::offlineDelete;
      if (meta.type == 2000 && meta.subtype == 0x1482) return Stage::sms;
      if (meta.type == 2000 && meta.subtype == 0x04C4) return Stage::unregister;
      return Stage::other;
    }
    default: return Stage::other;
  }
}

Reply Service::Default(Stage stage, const Frame &f) const {
  switch (stage) {
    case Stage::loginConnected:
    case Stage::bosConnected:
      return {{Hello()}};
    case Stage::login:
      return {{LoginAccepted(TlvValue(f.data, 1, 4), host_ + ":" + std::to_string(bosPort_),
                             cookie_)}};
    case Stage::registration:
      // The reply echoes the cookie the request carries after its first 20 bytes.
      return {{RegistrationReply(kNewUin, GetBe32(f.body, 20))}};
    case Stage::cookie:
      if (TlvValue(f.data, 6, 4) != cookie_) return {{}, true};
      return {{HostOnline()}};
    case Stage::familyVersions:
      return {{SnacFrame(1, 0x18, f.body)}};
    case Stage::rateRequest:
      return {{RateInfo()}};
    case Stage::selfInfo:
      return {{OwnInfo("10001")}};
    case Stage::privacy:
      return {{SnacFrame(9, 3, Tlv(1, Be16(200)) + Tlv(2, Be16(200)))}};
    case Stage::clientReady:
      return {{SnacFrame(0x0B, 2, Be16(60))}};
    case Stage::message: {
      // cookie, channel, then the target UIN with its length byte
      const size_t uinLength = f.body.size() > 10 ? static_cast<uint8_t>(f.body[10]) : 0;
      return {{MessageAck(f.body.substr(std::min<size_t>(11, f.body.size()), uinLength))}};
    }
    case Stage::offlineRequest: {
      MetaRequest meta = ParseMeta(f);
      return {{OfflineMessage(meta.uin, meta.sequence, "while you were away"),
               OfflineEnd(meta.uin, meta.sequence)}};
    }
    case Stage::sms: {
      MetaRequest meta = ParseMeta(f);
      return {{SmsReply(meta.uin, meta.sequence, 0x96, kDeliverable)}};
    }
    case Stage::unregister: {
      MetaRequest meta = ParseMeta(f);
      return {{MetaReply(meta.uin, 0x07DA, meta.sequence, Le16(0x00C5) + "\x0A")}};
    }
    case Stage::goodbye:
      return {{}, true};
    default:
      return {};
  }
}

bool Service::Respond(os::Socket client, const Reply &reply) {
  Writes writes;
  {
    std::lock_guard<std::mutex> guard(lock_);
    writes = writes_;
  }
  if (writes == Writes::merged) {
    std::string all;
    for (const std::string &frame : reply.frames) all += frame;
    return SendBytes(client, all);
  }
  for (const std::string &frame : reply.frames) {
    if (writes == Writes::whole) {
      if (!SendBytes(client, frame)) return false;
      continue;
    }
    // Inside the header, inside the data, and the last byte.
    const size_t cuts[] = {0, std::min<size_t>(3, frame.size()),
                           frame.size() > 3 ? frame.size() - 1 : frame.size(), frame.size()};
    for (int i = 0; i < 3; ++i) {
      if (cuts[i + 1] <= cuts[i]) continue;
      if (!SendBytes(client, frame.substr(cuts[i], cuts[i + 1] - cuts[i]))) return false;
      Pause(kSplitPauseMs);
    }
  }
  return true;
}

}  // namespace oscar
