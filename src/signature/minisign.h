// A manifest's signature in minisign's format, checked against its publisher's public keys with libsodium,
// and made with the publisher's secret key.
// - [x] Ed25519 over the prehashed form "ED" (BLAKE2b-512 of the file) and the legacy "Ed" (the file itself)
// - [x] the signature's key id matched against the keys' ids
// - [x] the global signature, over the signature and the trusted comment, checked
// - [x] several public keys in one file; blank lines and CR LF line ends
// - [x] signing as `minisign -S` does by default: prehashed, with the trusted comment's global signature
// - [x] secret keys with a password (scrypt; a wrong one told by the key's checksum) and without (`-G -W`)
// - [ ] making keys: `minisign -G` makes them
// - [ ] legacy signatures made: only checked
// - [ ] the untrusted comments' meaning: they are read past
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/signature_checker.h"

namespace tarnwick {

// What a check of a manifest against its publisher's keys came to.
struct SignatureCheck {
  bool ok = false;
  // When not ok, why in plain words, e.g. "the signature does not match the manifest".
  std::string reason;
  // When ok, the text of the "trusted comment:" line after its prefix, as the publisher wrote it.
  std::string trustedComment;
};

// `publicKeys`: the text of a file holding one or more public keys as `minisign -G` writes them (an
// "untrusted comment:" line then the base64 key line, each pair after another; blank lines and CR LF
// allowed). `signature`: the text of a .minisig file (untrusted comment line, base64 signature line,
// "trusted comment: ..." line, base64 global signature line). `message`: the manifest's bytes.
SignatureCheck CheckSignature(std::string_view message, std::string_view signature, std::string_view publicKeys);

// Why `publicKeys` cannot serve (it holds no key, or a line that is neither a key, an untrusted comment nor
// blank); nothing when it can. CheckSignature fails for the same reason.
std::optional<std::string> UnreadableKeys(std::string_view publicKeys);

// A secret key's password as typed on one line, wiped from memory when it goes. Its room is fixed, so that
// no copy is left behind by a growth.
class Password {
 public:
  Password() = default;
  Password(const Password&) = delete;
  Password& operator=(const Password&) = delete;
  ~Password();

  // Takes the next byte of the line; false once the line has ended ("\n", a "\r" before it dropped as a line
  // from Windows ends) or would be longer than the room, which TooLong() then tells.
  bool Take(char byte);
  bool TooLong() const { return tooLong_; }
  std::string_view Text() const { return {bytes_.data(), size_}; }

 private:
  std::array<char, 1024> bytes_{};
  std::size_t size_ = 0;
  bool tooLong_ = false;
};

// Whether `secretKey`, the text of a secret key file as `minisign -G` writes it, asks for a password (made
// without -W); nothing when it is no such key (SignManifest then says why).
std::optional<bool> KeyHasPassword(std::string_view secretKey);

// What signing a manifest came to: the text of its .minisig file, else why not in plain words.
struct MadeSignature {
  bool ok = false;
  std::string signature;
  std::string reason;  // e.g. "wrong password for the key meeting.key"
};

// `message` signed as `minisign -S -t TRUSTED_COMMENT` signs it, with the secret key file's text
// `secretKey`, opened with `password` when it has one. `trustedComment` is one line, without its line end;
// `keyName` names the key in reasons.
MadeSignature SignManifest(std::string_view message, std::string_view trustedComment, std::string_view secretKey,
                           std::string_view password, std::string_view keyName);

// The run's check of a manifest, by CheckSignature.
class MinisignChecker : public SignatureChecker {
 public:
  std::optional<std::string> Refusal(std::string_view manifest, std::string_view signature,
                                     std::string_view publicKeys) const override;
};

}  // namespace tarnwick
