#include "signature/minisign.h"

#include <sodium.h>

#include <array>
#include <cstddef>
#include <utility>
#include <vector>

#include "base/ascii.h"

namespace tarnwick {
namespace {

// The component folder's file of the publisher's keys, as reasons name it.
constexpr std::string_view kKeysFile = "MeetingKey.pub";
constexpr std::string_view kUntrustedPrefix = "untrusted comment:";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
constexpr std::string_view kLegacy = "Ed";     // Ed25519 over the message itself
constexpr std::string_view kPrehashed = "ED";  // Ed25519 over the message's BLAKE2b-512

using Bytes = std::vector<unsigned char>;
constexpr std::size_t kAlgorithmBytes = 2;
constexpr std::size_t kKeyIdBytes = 8;

struct PublicKey {
  Bytes id;
  Bytes key;
};

struct Signature {
  bool prehashed = false;  // "ED", else "Ed"
  Bytes keyId;
  Bytes signature;
  std::string_view trustedComment;
  Bytes globalSignature;
};

struct Line {
  std::size_t number;  // from 1, blank lines counted
  std::string_view text;
};

// The lines that are not blank, without their line ends (LF or CR LF).
std::vector<Line> FilledLines(std::string_view text) {
  std::vector<Line> lines;
  for (std::size_t number = 1; !text.empty(); ++number) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (!TrimAscii(line, " \t").empty()) {
      lines.push_back({number, line});
    }
  }
  return lines;
}

// The bytes of a base64 line, when they are exactly `size` bytes.
std::optional<Bytes> Decode(std::string_view line, std::size_t size) {
  line = TrimAscii(line, " \t");
  Bytes bytes(size);
  std::size_t decoded = 0;
  if (sodium_base642bin(bytes.data(), bytes.size(), line.data(), line.size(), nullptr, &decoded, nullptr,
                        sodium_base64_VARIANT_ORIGINAL) != 0 ||
      decoded != size) {
    return std::nullopt;
  }
  return bytes;
}

std::string_view Algorithm(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), kAlgorithmBytes};
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t size) {
  return {bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(from + size)};
}

// A key id as minisign shows it: a little-endian number in hexadecimal.
std::string KeyIdText(const Bytes& id) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (auto byte = id.rbegin(); byte != id.rend(); ++byte) {
    text += kHex[*byte >> 4];
    text += kHex[*byte & 0xf];
  }
  return text;
}

struct Keys {
  std::vector<PublicKey> keys;
  std::optional<std::string> unreadable;
};

Keys ReadKeys(std::string_view text) {
  Keys read;
  for (const Line& line : FilledLines(text)) {
    if (line.text.starts_with(kUntrustedPrefix)) {
      continue;
    }
    const auto bytes = Decode(line.text, kAlgorithmBytes + kKeyIdBytes + crypto_sign_PUBLICKEYBYTES);
    if (!bytes || Algorithm(*bytes) != kLegacy) {
      read.unreadable = "line " + std::to_string(line.number) + " of " + std::string(kKeysFile) +
                        " is not an Ed25519 public key of minisign";
      return read;
    }
    read.keys.push_back({Slice(*bytes, kAlgorithmBytes, kKeyIdBytes),
                         Slice(*bytes, kAlgorithmBytes + kKeyIdBytes, crypto_sign_PUBLICKEYBYTES)});
  }
  if (read.keys.empty()) {
    read.unreadable = std::string(kKeysFile) + " holds no public key";
  }
  return read;
}

std::optional<Signature> ReadSignature(std::string_view text) {
  const std::vector<Line> lines = FilledLines(text);
  if (lines.size() != 4 || !lines[0].text.starts_with(kUntrustedPrefix) || !lines[2].text.starts_with(kTrustedPrefix)) {
    return std::nullopt;
  }
  const auto signatureBytes = Decode(lines[1].text, kAlgorithmBytes + kKeyIdBytes + crypto_sign_BYTES);
  const auto global = Decode(lines[3].text, crypto_sign_BYTES);
  if (!signatureBytes || !global ||
      (Algorithm(*signatureBytes) != kLegacy && Algorithm(*signatureBytes) != kPrehashed)) {
    return std::nullopt;
  }
  return Signature{Algorithm(*signatureBytes) == kPrehashed, Slice(*signatureBytes, kAlgorithmBytes, kKeyIdBytes),
                   Slice(*signatureBytes, kAlgorithmBytes + kKeyIdBytes, crypto_sign_BYTES),
                   lines[2].text.substr(kTrustedPrefix.size()), *global};
}

bool Verifies(const Bytes& signature, const unsigned char* message, std::size_t size, const Bytes& key) {
  return crypto_sign_verify_detached(signature.data(), message, size, key.data()) == 0;
}

SignatureCheck Failed(std::string reason) {
  SignatureCheck check;
  check.reason = std::move(reason);
  return check;
}

}  // namespace

std::optional<std::string> UnreadableKeys(std::string_view publicKeys) { return ReadKeys(publicKeys).unreadable; }

SignatureCheck CheckSignature(std::string_view message, std::string_view signature, std::string_view publicKeys) {
  // Once for the process; sodium_init is safe to race, and a static's start is too.
  static const bool started = sodium_init() >= 0;
  if (!started) {
    return Failed("the cryptography library (libsodium) cannot start");
  }
  const Keys keys = ReadKeys(publicKeys);
  if (keys.unreadable) {
    return Failed(*keys.unreadable);
  }
  const std::optional<Signature> read = ReadSignature(signature);
  if (!read) {
    return Failed("the signature file cannot be read");
  }

  // What the key signed: the message itself, or its BLAKE2b-512 (minisign's default since 0.8).
  const auto* signedBytes = reinterpret_cast<const unsigned char*>(message.data());
  std::size_t signedSize = message.size();
  std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
  if (read->prehashed) {
    if (crypto_generichash(hash.data(), hash.size(), signedBytes, signedSize, nullptr, 0) != 0) {
      return Failed("the cryptography library (libsodium) cannot hash the manifest");
    }
    signedBytes = hash.data();
    signedSize = hash.size();
  }

  // Ids are not unique by force: every key of the signature's id is tried.
  const PublicKey* signer = nullptr;
  bool idKnown = false;
  for (const PublicKey& key : keys.keys) {
    if (key.id == read->keyId) {
      idKnown = true;
      if (Verifies(read->signature, signedBytes, signedSize, key.key)) {
        signer = &key;
        break;
      }
    }
  }
  if (!idKnown) {
    return Failed("no key of " + std::string(kKeysFile) + " signed it (key id " + KeyIdText(read->keyId) + ")");
  }
  if (signer == nullptr) {
    return Failed("the signature does not match the manifest");
  }

  // The trusted comment is signed with the signature, so that neither is taken from another file.
  Bytes global(read->signature);
  global.insert(global.end(), read->trustedComment.begin(), read->trustedComment.end());
  if (!Verifies(read->globalSignature, global.data(), global.size(), signer->key)) {
    return Failed("the trusted comment's signature does not check out");
  }
  SignatureCheck check;
  check.ok = true;
  check.trustedComment = read->trustedComment;
  return check;
}

std::optional<std::string> MinisignChecker::Refusal(std::string_view manifest, std::string_view signature,
                                                    std::string_view publicKeys) const {
  SignatureCheck check = CheckSignature(manifest, signature, publicKeys);
  return check.ok ? std::nullopt : std::optional(std::move(check.reason));
}

}  // namespace tarnwick
