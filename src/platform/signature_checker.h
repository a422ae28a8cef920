// The check of a meeting's manifest against its publisher's signature: a component folder that holds the
// publisher's public keys takes only a manifest one of them signed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

class SignatureChecker {
 public:
  virtual ~SignatureChecker() = default;
  // Nothing when `signature` (the signature file's text) is a good signature of `manifest` by one of
  // `publicKeys` (the keys file's text); else why not, in plain words.
  virtual std::optional<std::string> Refusal(std::string_view manifest, std::string_view signature,
                                             std::string_view publicKeys) const = 0;
};

}  // namespace tarnwick
