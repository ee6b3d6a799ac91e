// SHA-1 (FIPS 180-1) from the system's cryptographic library: CryptoAPI on
// Windows, OpenSSL's libcrypto in the native build.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace install {

class Sha1 {
public:
  Sha1();
  ~Sha1();
  Sha1(const Sha1&) = delete;
  Sha1& operator=(const Sha1&) = delete;
  void Update(const void* data, size_t length);
  std::array<uint8_t, 20> Digest();

private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace install
