#include <openssl/evp.h>

#include "core/exceptions.h"
#include "distribution/sha1.h"

namespace install {

struct Sha1::State {
  EVP_MD_CTX* context = nullptr;
};

Sha1::Sha1() : state_(std::make_unique<State>()) {
  state_->context = EVP_MD_CTX_new();
  if (!state_->context || !EVP_DigestInit_ex(state_->context, EVP_sha1(), nullptr)) {
    EVP_MD_CTX_free(state_->context);
    throw Exception("The system's SHA-1 is not available");
  }
}

Sha1::~Sha1() { EVP_MD_CTX_free(state_->context); }

void Sha1::Update(const void* data, size_t length) {
  if (!EVP_DigestUpdate(state_->context, data, length)) throw Exception("The system's SHA-1 failed");
}

std::array<uint8_t, 20> Sha1::Digest() {
  std::array<uint8_t, 20> digest{};
  unsigned int length = 0;
  if (!EVP_DigestFinal_ex(state_->context, digest.data(), &length) || length != digest.size())
    throw Exception("The system's SHA-1 failed");
  return digest;
}

}  // namespace install
