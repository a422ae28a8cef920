// A manifest's signature in minisign's format, checked against its publisher's public keys with libsodium.
// - [x] Ed25519 over the prehashed form "ED" (BLAKE2b-512 of the file) and the legacy "Ed" (the file itself)
// - [x] the signature's key id matched against the keys' ids
// - [x] the global signature, over the signature and the trusted comment, checked
// - [x] several public keys in one file; blank lines and CR LF line ends
// - [ ] signing, making keys
// - [ ] encrypted secret keys
// - [ ] the untrusted comments' meaning: they are read past
#pragma once

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

// The run's check of a manifest, by CheckSignature.
class MinisignChecker : public SignatureChecker {
 public:
  std::optional<std::string> Refusal(std::string_view manifest, std::string_view signature,
                                     std::string_view publicKeys) const override;
};

}  // namespace tarnwick
