#include "digest/sha256.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h: bcrypt.h takes its types from there.
#include <bcrypt.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <stdexcept>

namespace tarnwick {
namespace {

constexpr ULONG kDigestSize = 32;

void Check(NTSTATUS status, const char* what) {
  if (!BCRYPT_SUCCESS(status)) {
    throw std::runtime_error(std::string("SHA-256: CNG cannot ") + what);
  }
}

}  // namespace

// The provider is opened once per object; each digest is a hash object of its own, made again after Finish
// and Reset (no BCRYPT_HASH_REUSABLE_FLAG: not before Windows 8, and Reset would still need a new one).
struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;

  ~State() {
    Drop();
    if (algorithm != nullptr) {
      BCryptCloseAlgorithmProvider(algorithm, 0);
    }
  }

  void Drop() {
    if (hash != nullptr) {
      BCryptDestroyHash(hash);
      hash = nullptr;
    }
  }

  // The hash object's memory is the system's to allocate (no buffer given).
  void Start() {
    Drop();
    Check(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0), "make a hash object");
  }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  Check(BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0),
        "open the SHA-256 provider");
  state_->Start();
}

Sha256::~Sha256() = default;

void Sha256::Add(std::string_view bytes) {
  // A ULONG of bytes at a time: 32 bits, on 64-bit Windows too.
  while (!bytes.empty()) {
    const auto piece = static_cast<ULONG>(std::min<size_t>(bytes.size(), ULONG_MAX));
    // The input is only read; the parameter is not const in the API.
    auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
    Check(BCryptHashData(state_->hash, data, piece, 0), "take more bytes");
    bytes.remove_prefix(piece);
  }
}

std::string Sha256::Finish() {
  std::array<UCHAR, kDigestSize> digest{};
  Check(BCryptFinishHash(state_->hash, digest.data(), kDigestSize, 0), "finish the digest");
  state_->Start();
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(std::size_t{2} * kDigestSize);
  for (const UCHAR byte : digest) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 0xf];
  }
  return hex;
}

void Sha256::Reset() { state_->Start(); }

}  // namespace tarnwick
