#include "signature/minisign.h"

#include <sodium.h>

#include <array>
#include <cstddef>
#include <cstdint>
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

// A secret key as `minisign -G` writes it: "Ed"; "Sc" (its password by scrypt) or two zero bytes (no password);
// "B2" (its checksum by BLAKE2b-256); the salt and the scrypt limits; then the key material: the key id, the
// secret key and the checksum, over which the password's scrypt stream is laid (XOR).
constexpr std::string_view kScrypt = "Sc";
constexpr std::string_view kNoPassword{"\0\0", 2};
constexpr std::string_view kBlake2b = "B2";
constexpr std::size_t kKdfAt = kAlgorithmBytes;
constexpr std::size_t kChecksumAlgorithmAt = kKdfAt + kAlgorithmBytes;
constexpr std::size_t kSaltAt = kChecksumAlgorithmAt + kAlgorithmBytes;
constexpr std::size_t kOpsLimitAt = kSaltAt + crypto_pwhash_scryptsalsa208sha256_SALTBYTES;
constexpr std::size_t kMemLimitAt = kOpsLimitAt + 8;
constexpr std::size_t kMaterialAt = kMemLimitAt + 8;
constexpr std::size_t kChecksumBytes = crypto_generichash_BYTES;
constexpr std::size_t kMaterialBytes = kKeyIdBytes + crypto_sign_SECRETKEYBYTES + kChecksumBytes;
constexpr std::size_t kSecretKeyBytes = kMaterialAt + kMaterialBytes;
// What `minisign -S` writes above a signature unless told otherwise.
constexpr std::string_view kUntrustedComment = "untrusted comment: signature from minisign secret key";

// Key material, zeroed when it goes out of scope.
class Wiped {
 public:
  explicit Wiped(Bytes& bytes) : bytes_(bytes) {}
  Wiped(const Wiped&) = delete;
  Wiped& operator=(const Wiped&) = delete;
  ~Wiped() { sodium_memzero(bytes_.data(), bytes_.size()); }

 private:
  Bytes& bytes_;
};

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

// Whether a base64 line holds exactly as many bytes as `bytes`, decoded into it.
bool DecodeInto(std::string_view line, Bytes& bytes) {
  line = TrimAscii(line, " \t");
  std::size_t decoded = 0;
  return sodium_base642bin(bytes.data(), bytes.size(), line.data(), line.size(), nullptr, &decoded, nullptr,
                           sodium_base64_VARIANT_ORIGINAL) == 0 &&
         decoded == bytes.size();
}

// The bytes of a base64 line, when they are exactly `size` bytes.
std::optional<Bytes> Decode(std::string_view line, std::size_t size) {
  Bytes bytes(size);
  if (!DecodeInto(line, bytes)) {
    return std::nullopt;
  }
  return bytes;
}

std::string Base64(const unsigned char* bytes, std::size_t size) {
  std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
  text.pop_back();  // its terminating zero
  return text;
}

std::string_view Algorithm(const Bytes& bytes, std::size_t at = 0) {
  return {reinterpret_cast<const char*>(bytes.data() + at), kAlgorithmBytes};
}

std::uint64_t LittleEndian64(const unsigned char* bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = 8; i-- > 0;) {
    value = value << 8 | bytes[i];
  }
  return value;
}

bool SodiumStarted() {
  // Once for the process; sodium_init is safe to race, and a static's start is too.
  static const bool started = sodium_init() >= 0;
  return started;
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

// Whether `text` holds one secret key line of minisign, decoded into `key` (kSecretKeyBytes long).
bool ReadSecretKey(std::string_view text, Bytes& key) {
  std::size_t keyLines = 0;
  for (const Line& line : FilledLines(text)) {
    if (!line.text.starts_with(kUntrustedPrefix) && (++keyLines > 1 || !DecodeInto(line.text, key))) {
      return false;
    }
  }
  return keyLines == 1 && Algorithm(key) == kLegacy &&
         (Algorithm(key, kKdfAt) == kScrypt || Algorithm(key, kKdfAt) == kNoPassword) &&
         Algorithm(key, kChecksumAlgorithmAt) == kBlake2b;
}

MadeSignature Unsigned(std::string reason) {
  MadeSignature made;
  made.reason = std::move(reason);
  return made;
}

}  // namespace

std::optional<std::string> UnreadableKeys(std::string_view publicKeys) { return ReadKeys(publicKeys).unreadable; }

SignatureCheck CheckSignature(std::string_view message, std::string_view signature, std::string_view publicKeys) {
  if (!SodiumStarted()) {
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

Password::~Password() { sodium_memzero(bytes_.data(), bytes_.size()); }

bool Password::Take(char byte) {
  if (byte == '\n') {
    if (size_ > 0 && bytes_[size_ - 1] == '\r') {
      bytes_[--size_] = '\0';
    }
    return false;
  }
  if (size_ == bytes_.size()) {
    tooLong_ = true;
    return false;
  }
  bytes_[size_++] = byte;
  return true;
}

std::optional<bool> KeyHasPassword(std::string_view secretKey) {
  Bytes key(kSecretKeyBytes);
  const Wiped wiped{key};
  if (!ReadSecretKey(secretKey, key)) {
    return std::nullopt;
  }
  return Algorithm(key, kKdfAt) == kScrypt;
}

MadeSignature SignManifest(std::string_view message, std::string_view trustedComment, std::string_view secretKey,
                           std::string_view password, std::string_view keyName) {
  if (!SodiumStarted()) {
    return Unsigned("the cryptography library (libsodium) cannot start");
  }
  Bytes key(kSecretKeyBytes);
  const Wiped wipedKey{key};
  if (!ReadSecretKey(secretKey, key)) {
    return Unsigned(std::string(keyName) + " is not a secret key of minisign");
  }
  unsigned char* material = key.data() + kMaterialAt;
  const unsigned char* secret = material + kKeyIdBytes;
  if (Algorithm(key, kKdfAt) == kScrypt) {
    Bytes stream(kMaterialBytes);
    const Wiped wipedStream{stream};
    if (crypto_pwhash_scryptsalsa208sha256(stream.data(), stream.size(), password.data(), password.size(),
                                           key.data() + kSaltAt, LittleEndian64(key.data() + kOpsLimitAt),
                                           static_cast<std::size_t>(LittleEndian64(key.data() + kMemLimitAt))) != 0) {
      return Unsigned("the password of " + std::string(keyName) + " cannot be derived (out of memory?)");
    }
    for (std::size_t i = 0; i < kMaterialBytes; ++i) {
      material[i] ^= stream[i];
    }
    // The checksum tells a wrong password from a key that signs what no public key verifies. A key made
    // without a password is not checked: `minisign -G -W` leaves its checksum zero.
    std::array<unsigned char, kChecksumBytes> checksum{};
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, checksum.size());
    crypto_generichash_update(&state, key.data(), kAlgorithmBytes);
    crypto_generichash_update(&state, material, kKeyIdBytes + crypto_sign_SECRETKEYBYTES);
    crypto_generichash_final(&state, checksum.data(), checksum.size());
    if (sodium_memcmp(checksum.data(), secret + crypto_sign_SECRETKEYBYTES, checksum.size()) != 0) {
      return Unsigned("wrong password for the key " + std::string(keyName));
    }
  }

  // Prehashed, minisign's default: the key signs the manifest's BLAKE2b-512.
  std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
  crypto_generichash(hash.data(), hash.size(), reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                     nullptr, 0);
  Bytes signature(kPrehashed.begin(), kPrehashed.end());
  signature.insert(signature.end(), material, material + kKeyIdBytes);
  signature.resize(kAlgorithmBytes + kKeyIdBytes + crypto_sign_BYTES);
  unsigned char* ed25519 = signature.data() + kAlgorithmBytes + kKeyIdBytes;
  crypto_sign_detached(ed25519, nullptr, hash.data(), hash.size(), secret);

  // The trusted comment is signed with the signature, as the checker above checks it.
  Bytes global(ed25519, ed25519 + crypto_sign_BYTES);
  global.insert(global.end(), trustedComment.begin(), trustedComment.end());
  std::array<unsigned char, crypto_sign_BYTES> globalSignature{};
  crypto_sign_detached(globalSignature.data(), nullptr, global.data(), global.size(), secret);

  MadeSignature made;
  made.ok = true;
  made.signature = std::string(kUntrustedComment) + "\n" + Base64(signature.data(), signature.size()) + "\n" +
                   std::string(kTrustedPrefix) + std::string(trustedComment) + "\n" +
                   Base64(globalSignature.data(), globalSignature.size()) + "\n";
  return made;
}

std::optional<std::string> MinisignChecker::Refusal(std::string_view manifest, std::string_view signature,
                                                    std::string_view publicKeys) const {
  SignatureCheck check = CheckSignature(manifest, signature, publicKeys);
  return check.ok ? std::nullopt : std::optional(std::move(check.reason));
}

}  // namespace tarnwick
