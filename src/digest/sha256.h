// SHA-256 of a file as it arrives, from the system's own cryptography: libcrypto's EVP interface (OpenSSL)
// on Linux, CNG (bcrypt) on Windows; one header, a source for each.
// - [x] fed in pieces of any size, each one call into the library (no copy, no buffer of our own)
// - [x] the digest as 64 lower-case hex digits
// - [x] one object for one file after another: Finish and Reset start anew
// - [ ] other digests (MD5, SHA-1, SHA-512)
// - [ ] a state kept across runs: a download resumed in a later run hashes its file again from the start
// - [ ] one object used by two threads at once
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tarnwick {

// Throws std::runtime_error when the library cannot set up or feed a hash (and std::bad_alloc, as any
// allocation may).
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  // More of the file.
  void Add(std::string_view bytes);
  // The digest of everything added since construction or the last Finish or Reset; then starts anew.
  std::string Finish();
  // Drops what was added.
  void Reset();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tarnwick
