#include <windows.h>
#include <wincrypt.h>

#include "core/exceptions.h"
#include "distribution/sha1.h"

namespace install {

struct Sha1::State {
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
};

Sha1::Sha1() : state_(std::make_unique<State>()) {
  if (!CryptAcquireContextA(&state_->provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) ||
      !CryptCreateHash(state_->provider, CALG_SHA1, 0, 0, &state_->hash)) {
    if (state_->provider) CryptReleaseContext(state_->provider, 0);
    throw Exception("The system's SHA-1 is not available");
  }
}

Sha1::~Sha1() {
  CryptDestroyHash(state_->hash);
  CryptReleaseContext(state_->provider, 0);
}

void Sha1::Update(const void* data, size_t length) {
  if (!CryptHashData(state_->hash, static_cast<const BYTE*>(data), static_cast<DWORD>(length), 0))
    throw Exception("The system's SHA-1 failed");
}

std::array<uint8_t, 20> Sha1::Digest() {
  std::array<uint8_t, 20> digest{};
  DWORD length = digest.size();
  if (!CryptGetHashParam(state_->hash, HP_HASHVAL, digest.data(), &length, 0) || length != digest.size())
    throw Exception("The system's SHA-1 failed");
  return digest;
}

}  // namespace install
