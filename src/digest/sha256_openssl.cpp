#include "digest/sha256.h"

#include <openssl/evp.h>

#include <array>
#include <cstddef>
#include <stdexcept>

namespace tarnwick {

struct Sha256::State {
  EVP_MD_CTX* context = nullptr;

  ~State() { EVP_MD_CTX_free(context); }

  void Start() {
    if (EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) {
      throw std::runtime_error("SHA-256: libcrypto cannot start a digest");
    }
  }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  state_->context = EVP_MD_CTX_new();
  if (state_->context == nullptr) {
    throw std::runtime_error("SHA-256: libcrypto cannot make a digest context");
  }
  state_->Start();
}

Sha256::~Sha256() = default;

void Sha256::Add(std::string_view bytes) {
  if (EVP_DigestUpdate(state_->context, bytes.data(), bytes.size()) != 1) {
    throw std::runtime_error("SHA-256: libcrypto cannot take more bytes");
  }
}

std::string Sha256::Finish() {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(state_->context, digest.data(), &size) != 1) {
    throw std::runtime_error("SHA-256: libcrypto cannot finish the digest");
  }
  state_->Start();
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(std::size_t{2} * size);
  for (unsigned int i = 0; i < size; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 0xf];
  }
  return hex;
}

void Sha256::Reset() { state_->Start(); }

}  // namespace tarnwick
