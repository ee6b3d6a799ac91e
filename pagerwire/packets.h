// Builders of every packet the client sends to the ICQ service: FLAP frames
// carrying SNAC commands and TLV fields, and the ICQ meta requests inside
// them. Each builder writes one packet into its own heap buffer and steps
// the FLAP sequence (and the meta sequence where it uses one). A packet
// whose fields would not fit their 8-bit or 16-bit length fields, or that
// finds no memory, comes back empty with the reason.
#ifndef PAGERWIRE_PACKETS_H
#define PAGERWIRE_PACKETS_H

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>

namespace icq {

class Packet {
 public:
  enum class Fault { none, badArgument, noMemory };

  Packet() = default;
  explicit Packet(Fault fault) : fault_(fault) {}
  Packet(std::unique_ptr<uint8_t[]> bytes, size_t size) : bytes_(std::move(bytes)), size_(size) {}

  explicit operator bool() const { return fault_ == Fault::none && bytes_; }
  Fault fault() const { return fault_; }
  const uint8_t *data() const { return bytes_.get(); }
  size_t size() const { return size_; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t size_ = 0;
  Fault fault_ = Fault::none;
};

// The cookie the registration request carries and its reply must echo.
constexpr uint32_t kRegistrationCookie = 0x40640000;
// SMS texts are cut to this many characters.
constexpr size_t kSmsTextLimit = 160;

// Connection set-up.
Packet BuildHello(uint16_t &flapSequence);
Packet BuildLogin(uint16_t &flapSequence, const char *uin, const char *password);
Packet BuildCookie(uint16_t &flapSequence, const uint8_t *cookie, size_t cookieLength);
Packet BuildGoodbye(uint16_t &flapSequence);
Packet BuildFamilyVersions(uint16_t &flapSequence);
Packet BuildRateRequest(uint16_t &flapSequence);
Packet BuildRateAcknowledge(uint16_t &flapSequence);
Packet BuildSelfInfoRequest(uint16_t &flapSequence);
Packet BuildPrivacyRequest(uint16_t &flapSequence);
Packet BuildReadyPair(uint16_t &flapSequence);

// Messages and account requests.
Packet BuildMessage(uint16_t &flapSequence, const char *targetUin, const char *text);
Packet BuildOfflineRequest(uint16_t &flapSequence, uint16_t &metaSequence, const char *ownUin);
Packet BuildOfflineDelete(uint16_t &flapSequence, uint16_t &metaSequence, const char *ownUin);
// `now` fills the message's time field.
Packet BuildSms(uint16_t &flapSequence, uint16_t &metaSequence, const char *ownUin,
                const char *nickname, const char *phone, const char *text, time_t now);
Packet BuildUnregister(uint16_t &flapSequence, uint16_t &metaSequence, const char *ownUin,
                       const char *password);
Packet BuildRegistration(uint16_t &flapSequence, const char *password);

// The password as the login packet carries it: each byte XORed with the
// key byte at (index AND 15). Writes `length` bytes to `out`.
void ScramblePassword(const char *password, size_t length, uint8_t *out);

}  // namespace icq

#endif
